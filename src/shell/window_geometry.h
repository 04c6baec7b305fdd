#pragma once
// The main window's fixed geometry and the arithmetic of dragging it with edge snapping.
//
// Positions and sizes are kept in twips, the unit the window's layout was designed in, and
// converted to pixels at a fixed 15 twips per pixel. Everything here is pure so that the
// snapping rules can be checked without a screen.
#include <string>
#include <string_view>

namespace lumar {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr long long kWindowWidthTwips = 9680;
inline constexpr long long kWindowHeightTwips = 7680;
// Upload panel and code panel share this top-left corner.
inline constexpr long long kPanelLeftTwips = 120;
inline constexpr long long kPanelTopTwips = 840;
// A dragged edge that comes this close to a screen edge jumps onto it.
inline constexpr long long kSnapDistanceTwips = 350;
// Width and height of the ellipse that rounds each window corner, in pixels.
inline constexpr int kCornerEllipsePixels = 20;

// Twips to whole pixels, rounded down (9680 twips are 645 pixels).
int TwipsToPixels(long long twips);
long long PixelsToTwips(int pixels);

// One axis of a drag. `proposed` is the window edge the mouse asks for, relative to the
// screen's edge; the result is that edge after snapping: within the snap distance of the near
// screen edge it becomes 0, within the snap distance of the far edge the window sits flush
// with it. A window larger than the screen keeps its near edge on the screen, so its close
// and minimise images can always be reached.
long long SnapAxis(long long proposed, long long screenExtent, long long windowExtent,
                   long long snapDistance = kSnapDistanceTwips);

struct TwipPoint {
    long long x = 0;
    long long y = 0;
};

// The window's new top-left corner for a mouse move during a drag: current corner plus the
// mouse's travel since the press (both mouse points relative to the window), snapped on both
// axes. All values in twips, relative to the screen's top-left corner.
TwipPoint DragWindowTo(TwipPoint currentCorner, TwipPoint mouse, TwipPoint pressedAt,
                       TwipPoint screenSize, TwipPoint windowSize);

// The version label of a dotted version: the major number, a dot, the minor number and the
// revision run together ("2.0.0" gives "2.00", "1.0.10" gives "1.010"). Missing or malformed
// parts count as 0.
std::string AppVersionText(std::string_view version);

}  // namespace lumar
