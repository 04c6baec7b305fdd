#include "shell/window_geometry.h"

#include <cctype>

namespace lumar {

int TwipsToPixels(long long twips) {
    return static_cast<int>(twips / kTwipsPerPixel);
}

long long PixelsToTwips(int pixels) {
    return static_cast<long long>(pixels) * kTwipsPerPixel;
}

long long SnapAxis(long long proposed, long long screenExtent, long long windowExtent,
                   long long snapDistance) {
    long long edge = proposed;
    if (edge < snapDistance) edge = 0;
    if (edge > screenExtent - snapDistance - windowExtent) edge = screenExtent - windowExtent;
    // Only a window larger than the screen gets here with a negative edge; pushing it off the
    // near side would hide the images that close and minimise it.
    if (edge < 0) edge = 0;
    return edge;
}

TwipPoint DragWindowTo(TwipPoint currentCorner, TwipPoint mouse, TwipPoint pressedAt,
                       TwipPoint screenSize, TwipPoint windowSize) {
    TwipPoint to;
    to.x = SnapAxis(currentCorner.x + mouse.x - pressedAt.x, screenSize.x, windowSize.x);
    to.y = SnapAxis(currentCorner.y + mouse.y - pressedAt.y, screenSize.y, windowSize.y);
    return to;
}

std::string AppVersionText(int revision) {
    return "1.0" + std::to_string(revision);
}

int RevisionOf(const std::string& version) {
    const size_t dot = version.rfind('.');
    const std::string last = dot == std::string::npos ? version : version.substr(dot + 1);
    int value = 0;
    for (char c : last) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        if (value > 100000) return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace lumar
