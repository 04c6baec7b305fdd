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

std::string AppVersionText(std::string_view version) {
    int numbers[3] = {0, 0, 0};
    for (int& number : numbers) {
        const size_t dot = version.find('.');
        const std::string_view part = version.substr(0, dot);
        version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
        if (part.empty() || part.size() > 5) continue;
        for (char c : part) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                number = 0;
                break;
            }
            number = number * 10 + (c - '0');
        }
    }
    return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) +
           std::to_string(numbers[2]);
}

}  // namespace lumar
