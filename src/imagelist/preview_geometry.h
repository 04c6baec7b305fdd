#pragma once
// Where a picture goes in the preview box: scaled down to fit with its proportions kept and
// centred; a picture that fits is never enlarged.

namespace lumar {

struct PictureRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const PictureRect&, const PictureRect&) = default;
};

// The drawing rectangle of a pictureWidth x pictureHeight picture in a boxWidth x boxHeight box
// (pixels). A scaled side is rounded to the nearest pixel, halves to even; offsets are rounded
// down. A picture or box without area gives a rectangle without area at (0, 0), which the
// caller treats as "nothing to draw".
PictureRect FitPictureInto(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight);

}  // namespace lumar
