#include "imagelist/preview_geometry.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

TEST(PreviewGeometry, FitsCentresAndNeverEnlarges) {
    EXPECT_EQ(FitPictureInto(200, 150, 600, 900), (PictureRect{50, 0, 100, 150}));
    EXPECT_EQ(FitPictureInto(200, 150, 300, 170), (PictureRect{0, 18, 200, 113}));
    EXPECT_EQ(FitPictureInto(200, 150, 400, 100), (PictureRect{0, 50, 200, 50}));
    EXPECT_EQ(FitPictureInto(200, 150, 100, 300),
              (PictureRect{75, 0, 50, 150}));  // one side too large
    // Small pictures are centred, never enlarged.
    EXPECT_EQ(FitPictureInto(200, 150, 100, 50), (PictureRect{50, 50, 100, 50}));
    EXPECT_EQ(FitPictureInto(200, 150, 200, 150), (PictureRect{0, 0, 200, 150}));
    // Halves round to even: 112.5 -> 112, 187.5 -> 188.
    EXPECT_EQ(FitPictureInto(300, 150, 300, 400), (PictureRect{94, 0, 112, 150}));
    EXPECT_EQ(FitPictureInto(300, 150, 500, 400), (PictureRect{56, 0, 188, 150}));
    // A very thin picture keeps one pixel across.
    EXPECT_EQ(FitPictureInto(200, 150, 1, 1000), (PictureRect{99, 0, 1, 150}));
    EXPECT_EQ(FitPictureInto(200, 150, 1000, 1), (PictureRect{0, 74, 200, 1}));
    // Nothing to draw without area.
    EXPECT_EQ(FitPictureInto(200, 150, 0, 100), PictureRect{});
    EXPECT_EQ(FitPictureInto(0, 150, 100, 100), PictureRect{});
}

}  // namespace
}  // namespace lumar
