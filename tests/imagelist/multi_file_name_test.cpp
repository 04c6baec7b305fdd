#include "imagelist/multi_file_name.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

using Names = std::vector<std::string>;

TEST(MultiFileName, SeveralNamesFollowTheFolder) {
    const MultiFileSelection s = ParseMultiFileName(std::string("/home/u/Bilder\0a.jpg\0b.jpg\0\0", 28));
    EXPECT_EQ(s.folder, "/home/u/Bilder");
    EXPECT_EQ(s.names, (Names{"a.jpg", "b.jpg"}));
    EXPECT_EQ(s.FullPaths(), (Names{"/home/u/Bilder/a.jpg", "/home/u/Bilder/b.jpg"}));
}

TEST(MultiFileName, OneChosenFileIsAFullPath) {
    // With or without the NULs that fill the rest of the dialog's buffer.
    for (const std::string& filename : {std::string("/home/u/Bilder/a.jpg"), std::string("/home/u/Bilder/a.jpg\0\0\0\0", 24)}) {
        const MultiFileSelection s = ParseMultiFileName(filename);
        EXPECT_EQ(s.folder, "/home/u/Bilder/");
        EXPECT_EQ(s.names, Names{"a.jpg"});
        // One separator, not two, between folder and name.
        EXPECT_EQ(s.FullPaths(), Names{"/home/u/Bilder/a.jpg"});
    }
    const MultiFileSelection bare = ParseMultiFileName(std::string("a.jpg\0\0", 7));
    EXPECT_EQ(bare.folder, "");
    EXPECT_EQ(bare.FullPaths(), Names{"a.jpg"});
}

TEST(MultiFileName, RootFolderAndCancel) {
    const MultiFileSelection root = ParseMultiFileName(std::string("/\0a.jpg\0b.jpg\0\0", 16));
    EXPECT_EQ(root.FullPaths(), (Names{"/a.jpg", "/b.jpg"}));
    EXPECT_TRUE(ParseMultiFileName("").names.empty());
    EXPECT_TRUE(ParseMultiFileName(std::string("\0\0", 2)).names.empty());
    // Whatever follows the closing pair of NULs is not a name.
    EXPECT_EQ(ParseMultiFileName(std::string("/d\0a\0\0stale\0", 12)).names, Names{"a"});
}

TEST(MultiFileName, BuiltResultsParseBack) {
    EXPECT_EQ(BuildMultiFileName("/d", {"a.jpg", "b c.jpg"}), std::string("/d\0a.jpg\0b c.jpg\0\0", 18));
    EXPECT_EQ(BuildMultiFileName("/d", {"a.jpg"}), "/d/a.jpg");
    EXPECT_EQ(BuildMultiFileName("/d", {}), "");
    const Names names{"x.jpg", "y.jpeg", "z.JPG"};
    EXPECT_EQ(ParseMultiFileName(BuildMultiFileName("/p q", names)).names, names);
}

}  // namespace
}  // namespace lumar
