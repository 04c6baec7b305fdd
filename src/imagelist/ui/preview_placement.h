#pragma once
// Where a picture goes inside the preview box: scaled down to fit (never enlarged), centred.
namespace lumar::ui {

struct PicturePlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Box of boxWidth x boxHeight pixels, picture of pictureWidth x pictureHeight pixels. The
// aspect comparison is done in single precision and scaled sides round half to even, so the
// layout matches the one users know (300 x 170 in 200 x 150 gives 200 x 113 at (0, 18)).
PicturePlacement PlacePicture(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight);

}  // namespace lumar::ui
