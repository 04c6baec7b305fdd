#include "shell/multi_file_name.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

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
        // One chosen file is a full path, with or without the NULs filling the dialog's buffer;
        // one separator, not two, before the name.
        {"/home/u/Bilder/a.jpg", "/home/u/Bilder/", {"/home/u/Bilder/a.jpg"}},
        {std::string("/home/u/Bilder/a.jpg\0\0\0\0", 24),
         "/home/u/Bilder/",
         {"/home/u/Bilder/a.jpg"}},
        {std::string("a.jpg\0\0", 7), "", {"a.jpg"}},
        {std::string("/\0a.jpg\0b.jpg\0\0", 16), "/", {"/a.jpg", "/b.jpg"}},
        // Cancelled: nothing.
        {"", "", {}},
        {std::string("\0\0", 2), "", {}},
        // Whatever follows the closing pair of NULs is not a name.
        {std::string("/d\0a\0\0stale\0", 12), "/d", {"/d/a"}},
    };
    for (const Case& c : cases) {
        const MultiFileSelection s = ParseMultiFileName(c.filename);
        EXPECT_EQ(s.folder, c.folder) << c.filename;
        EXPECT_EQ(s.FullPaths(), c.paths) << c.filename;
    }
}

TEST(MultiFileName, BuiltResultsParseBack) {
    EXPECT_EQ(BuildMultiFileName("/d", {"a.jpg", "b c.jpg"}),
              std::string("/d\0a.jpg\0b c.jpg\0\0", 18));
    EXPECT_EQ(BuildMultiFileName("/d", {"a.jpg"}), "/d/a.jpg");
    EXPECT_EQ(BuildMultiFileName("/d", {}), "");
}

}  // namespace
}  // namespace lumar
