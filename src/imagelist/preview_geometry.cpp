#include "imagelist/preview_geometry.h"

#include <cmath>

namespace lumar {

namespace {

// Nearest whole number, an exact half to the even neighbour.
int RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction > 0.5) return static_cast<int>(lower) + 1;
    if (fraction < 0.5) return static_cast<int>(lower);
    const int whole = static_cast<int>(lower);
    return whole % 2 == 0 ? whole : whole + 1;
}

int HalfDown(int value) {
    return static_cast<int>(std::floor(value / 2.0));
}

// A very thin picture must still show as a line rather than vanish.
int AtLeastOne(int value) {
    return value < 1 ? 1 : value;
}

}  // namespace

PictureRect FitPictureInto(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return {};
    PictureRect r;
    if (pictureWidth > boxWidth || pictureHeight > boxHeight) {
        // The ratios are compared in single precision, so a picture whose ratio equals the
        // box's within that precision fills the box's height.
        const float pictureRatio =
            static_cast<float>(pictureWidth) / static_cast<float>(pictureHeight);
        const float boxRatio = static_cast<float>(boxWidth) / static_cast<float>(boxHeight);
        if (pictureRatio <= boxRatio) {
            r.width = AtLeastOne(
                RoundHalfEven(static_cast<double>(pictureWidth) * boxHeight / pictureHeight));
            r.height = boxHeight;
            r.x = HalfDown(boxWidth - r.width);
        } else {
            r.width = boxWidth;
            r.height = AtLeastOne(
                RoundHalfEven(static_cast<double>(pictureHeight) * boxWidth / pictureWidth));
            r.y = HalfDown(boxHeight - r.height);
        }
    } else {
        r.width = pictureWidth;
        r.height = pictureHeight;
        r.x = HalfDown(boxWidth - pictureWidth);
        r.y = HalfDown(boxHeight - pictureHeight);
    }
    return r;
}

}  // namespace lumar
