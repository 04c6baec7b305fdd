#include "posting/vbc_file.h"

#include <dirent.h>

#include <gtest/gtest.h>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

class VbcFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(VbcFileTest, Windows1252WhenEverythingFitsWithOneClosingCrLf) {
    const std::string path = dir.file("posting.vbc");
    const std::string text = "[B]Grüße €[/B]\r\nZeile 2";
    ASSERT_EQ(SaveVbcFile(path, text), "");
    EXPECT_EQ(dir.read("posting.vbc"), "[B]Gr\xFC\xDF" "e \x80[/B]\r\nZeile 2\r\n");
    // Reading gives the text back with its closing CR LF, as loading appends it.
    EXPECT_EQ(LoadVbcFile(path), text + "\r\n");
}

TEST_F(VbcFileTest, Utf8WhenACharacterHasNoWindows1252Byte) {
    const std::string path = dir.file("block.vbc");
    const std::string text = "Привет \xF0\x9F\x98\x80 ä";
    ASSERT_EQ(SaveVbcFile(path, text), "");
    EXPECT_EQ(dir.read("block.vbc"), text + "\r\n");
    EXPECT_EQ(LoadVbcFile(path), text + "\r\n");
}

TEST_F(VbcFileTest, RoundTripOfTextsThatLookLikeTheOtherEncoding) {
    // "Ã¤" in Windows-1252 is C3 A4, which reads as UTF-8 "ä"; a leading U+FEFF looks like a
    // byte-order mark. Both must come back unchanged.
    for (const std::string& text : {std::string("Ã¤"), std::string("\xEF\xBB\xBFstart"), std::string(""),
                                   std::string("\x81\x8D ctl \xC2\x81")}) {
        EXPECT_EQ(VbcTextFromBytes(VbcFileBytes(text)), text + "\r\n");
    }
    // A file written by an older install in Windows-1252 reads as such.
    EXPECT_EQ(VbcTextFromBytes("Gr\xFC\xDF" "e\r\n"), "Grüße\r\n");
}

TEST_F(VbcFileTest, FailedSaveReportsReasonAndLeavesNoHalfFile) {
    // A folder where the file should go cannot be replaced; nothing may be left beside it.
    dir.write("taken.vbc/inner", "keep");
    EXPECT_NE(SaveVbcFile(dir.file("taken.vbc"), "new"), "");
    EXPECT_EQ(dir.read("taken.vbc/inner"), "keep");
    DIR* folder = opendir(dir.path().c_str());
    ASSERT_NE(folder, nullptr);
    int entries = 0;
    while (const dirent* e = readdir(folder))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++entries;
    closedir(folder);
    EXPECT_EQ(entries, 1);

    EXPECT_NE(SaveVbcFile(dir.file("missing/x.vbc"), "x"), "");
    EXPECT_NE(SaveVbcFile("", "x"), "");
    std::string reason;
    EXPECT_FALSE(LoadVbcFile(dir.file("none.vbc"), &reason));
    EXPECT_NE(reason, "");
}

TEST_F(VbcFileTest, RemembersFolderOfSavedFileWithSeparator) {
    const std::string ini = dir.file("Lumar.ini");
    RememberSaveFolder(ini, keys::SavePathCode, "/home/u/posts/a.vbc");
    EXPECT_EQ(ReadValue(ini, "VBCode", "SavePathCode", ""), "/home/u/posts/");
    RememberSaveFolder(ini, keys::SavePath, "/b.vbc");
    EXPECT_EQ(ReadValue(ini, "VBCode", "SavePath", ""), "/");
}

}  // namespace
}  // namespace lumar
