#include "imagelist/ui/preview_placement.h"

#include <cmath>

namespace lumar::ui {

PicturePlacement PlacePicture(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight) {
    PicturePlacement at;
    if (boxWidth <= 0 || boxHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return at;
    const long long sw = boxWidth, sh = boxHeight, pw = pictureWidth, ph = pictureHeight;
    if (pw > sw || ph > sh) {
        const float pictureAspect = static_cast<float>(pw) / static_cast<float>(ph);
        const float boxAspect = static_cast<float>(sw) / static_cast<float>(sh);
        if (pictureAspect <= boxAspect) {
            at.width = static_cast<int>(std::nearbyint(static_cast<double>(pw * sh) / ph));
            at.height = boxHeight;
            at.x = static_cast<int>(std::floor((sw - at.width) / 2.0));
            at.y = 0;
        } else {
            at.width = boxWidth;
            at.height = static_cast<int>(std::nearbyint(static_cast<double>(ph * sw) / pw));
            at.x = 0;
            at.y = static_cast<int>(std::floor((sh - at.height) / 2.0));
        }
    } else {
        at.width = pictureWidth;
        at.height = pictureHeight;
        at.x = static_cast<int>((sw - pw) / 2);
        at.y = static_cast<int>((sh - ph) / 2);
    }
    // A sliver picture can round to nothing; keep one pixel so it still shows.
    if (at.width < 1) at.width = 1;
    if (at.height < 1) at.height = 1;
    return at;
}

}  // namespace lumar::ui
