#include "shell/window_geometry.h"

#include <gtest/gtest.h>

#include <utility>

#include "shell/multi_file_name.h"
#include "shell/update_check.h"

namespace lumar {
namespace {

// A 1024 x 768 pixel screen in twips, and the window's own size.
constexpr long long kScreenW = 1024 * 15;
constexpr long long kScreenH = 768 * 15;

TEST(WindowGeometry, EdgesWithinTheSnapDistanceJumpOntoTheScreenEdge) {
    // Near edge: 349 twips is inside the distance, 350 is not.
    EXPECT_EQ(SnapAxis(349, kScreenW, kWindowWidthTwips), 0);
    EXPECT_EQ(SnapAxis(350, kScreenW, kWindowWidthTwips), 350);
    EXPECT_EQ(SnapAxis(-4000, kScreenW, kWindowWidthTwips), 0);
    // Far edge: flush as soon as the right edge comes within 350 twips, and when dragged past.
    const long long flush = kScreenW - kWindowWidthTwips;
    EXPECT_EQ(SnapAxis(flush - 350, kScreenW, kWindowWidthTwips), flush - 350);
    EXPECT_EQ(SnapAxis(flush - 349, kScreenW, kWindowWidthTwips), flush);
    EXPECT_EQ(SnapAxis(flush + 3000, kScreenW, kWindowWidthTwips), flush);
    // A window larger than the screen keeps its top left visible.
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
    // Dragged past the bottom-right corner: flush with both far edges.
    EXPECT_EQ(drag({kScreenW - kWindowWidthTwips, 3000}, {9000, 9000}, {0, 0}),
              std::pair(kScreenW - kWindowWidthTwips, kScreenH - kWindowHeightTwips));
}

TEST(WindowGeometry, VersionLabelFollowsEveryPartOfTheVersion) {
    for (const auto& [version, label] : {std::pair("2.0.0", "2.00"), std::pair("1.0.10", "1.010"),
                                         std::pair("2.1.x", "2.10"), std::pair("12", "12.00")})
        EXPECT_EQ(AppVersionText(version), label) << version;
}

TEST(UpdateCheck, OffersOnlyAnotherPlausibleVersionFromASuccessfulShortAnswer) {
    const std::string current = CurrentVersionText();
    std::string lower = current;
    lower[0] = 'v';
    for (const std::string& offered :
         {std::string("V1.01.0009"), lower, " " + current})  // any difference counts
        EXPECT_TRUE(ShouldOfferUpdate(offered)) << offered;
    EXPECT_FALSE(ShouldOfferUpdate(current + " \t\r\n"));
    EXPECT_FALSE(ShouldOfferUpdate("\r\n"));
    EXPECT_FALSE(ShouldOfferUpdate("V1.02.0000 <br>"));  // a page, not a version

    EXPECT_EQ(UpdateVersionText("2.12.345"), "V2.12.0345");
    EXPECT_EQ(UpdateVersionText("1.x"), "V1.00.0000");

    EXPECT_EQ(VersionDocumentText(200, "V1.01.0011"), "V1.01.0011");
    EXPECT_EQ(VersionDocumentText(301, "Moved"), "");
    EXPECT_EQ(VersionDocumentText(200, std::string(kMaxVersionDocumentBytes + 1, 'V')), "");
}

using Names = std::vector<std::string>;

TEST(MultiFileName, ResultShapes) {
    struct Case {
        std::string filename, folder;
        Names paths;
    };
    const Case cases[] = {
        {std::string("/home/u/Bilder\0a.jpg\0b.jpg\0\0", 28),
         "/home/u/Bilder",
         {"/home/u/Bilder/a.jpg", "/home/u/Bilder/b.jpg"}},
        // One chosen file is a full path, or a name followed by the NULs filling the dialog's
        // buffer; one separator, not two, before the name.
        {"/home/u/Bilder/a.jpg", "/home/u/Bilder/", {"/home/u/Bilder/a.jpg"}},
        {std::string("a.jpg\0\0", 7), "", {"a.jpg"}},
        {std::string("/\0a.jpg\0b.jpg\0\0", 16), "/", {"/a.jpg", "/b.jpg"}},
        // Cancelled: nothing.
        {std::string("\0\0", 2), "", {}},
        // Whatever follows the closing pair of NULs is not a name.
        {std::string("/d\0a\0\0stale\0", 12), "/d", {"/d/a"}},
        {std::string("/d\0a\0", 5), "/d", {"/d/a"}},  // one NUL at the end names nothing
    };
    for (const Case& c : cases) {
        const MultiFileSelection s = ParseMultiFileName(c.filename);
        EXPECT_EQ(s.folder, c.folder) << c.filename;
        EXPECT_EQ(s.FullPaths(), c.paths) << c.filename;
    }
}

}  // namespace
}  // namespace lumar
