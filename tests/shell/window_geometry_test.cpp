#include "shell/window_geometry.h"

#include <gtest/gtest.h>

#include <utility>

namespace lumar {
namespace {

// A 1024 x 768 pixel screen in twips, and the window's own size.
constexpr long long kScreenW = 1024 * 15;
constexpr long long kScreenH = 768 * 15;

TEST(WindowGeometry, EdgesWithinTheSnapDistanceJumpOntoTheScreenEdge) {
    // Near edge: 200 twips is inside the distance, 349 too, 350 is not.
    EXPECT_EQ(SnapAxis(200, kScreenW, kWindowWidthTwips), 0);
    EXPECT_EQ(SnapAxis(349, kScreenW, kWindowWidthTwips), 0);
    EXPECT_EQ(SnapAxis(350, kScreenW, kWindowWidthTwips), 350);
    EXPECT_EQ(SnapAxis(-4000, kScreenW, kWindowWidthTwips), 0);
    // Far edge: flush as soon as the right edge comes within 350 twips, and when dragged past.
    const long long flush = kScreenW - kWindowWidthTwips;
    EXPECT_EQ(SnapAxis(flush - 350, kScreenW, kWindowWidthTwips), flush - 350);
    EXPECT_EQ(SnapAxis(flush - 349, kScreenW, kWindowWidthTwips), flush);
    EXPECT_EQ(SnapAxis(flush + 3000, kScreenW, kWindowWidthTwips), flush);
}

TEST(WindowGeometry, WindowLargerThanTheScreenKeepsItsTopLeftVisible) {
    EXPECT_EQ(SnapAxis(100, 400 * 15, kWindowHeightTwips), 0);
    EXPECT_EQ(SnapAxis(5000, 400 * 15, kWindowHeightTwips), 0);
    // Exactly as large as the screen: flush is 0 on both sides.
    EXPECT_EQ(SnapAxis(2000, kWindowHeightTwips, kWindowHeightTwips), 0);
}

TEST(WindowGeometry, DragMovesByTheMouseTravelAndSnapsEachAxis) {
    const TwipPoint screen{kScreenW, kScreenH};
    const TwipPoint window{kWindowWidthTwips, kWindowHeightTwips};
    const auto drag = [&](TwipPoint from, TwipPoint mouse, TwipPoint pressed) {
        const TwipPoint to = DragWindowTo(from, mouse, pressed, screen, window);
        return std::pair(to.x, to.y);
    };
    // Pressed at (300, 150) inside the window, mouse now at (450, 90): travel (150, -60).
    EXPECT_EQ(drag({3000, 3000}, {450, 90}, {300, 150}), std::pair(3150LL, 2940LL));
    // Left edge would land at 200: snaps to 0; top stays.
    EXPECT_EQ(drag({500, 3000}, {0, 150}, {300, 150}), std::pair(0LL, 3000LL));
    // Dragged past the bottom-right corner: flush with both far edges.
    EXPECT_EQ(drag({kScreenW - kWindowWidthTwips, 3000}, {9000, 9000}, {0, 0}),
              std::pair(kScreenW - kWindowWidthTwips, kScreenH - kWindowHeightTwips));
}

TEST(WindowGeometry, VersionLabelFollowsEveryPartOfTheVersion) {
    for (const auto& [version, label] : {std::pair("2.0.0", "2.00"), std::pair("1.0.10", "1.010"),
                                         std::pair("2.1.x", "2.10"), std::pair("12", "12.00")})
        EXPECT_EQ(AppVersionText(version), label) << version;
}

}  // namespace
}  // namespace lumar
