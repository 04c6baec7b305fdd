#include "posting/vbc_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

TEST(VbcFile, RoundTripInBothEncodingsWithOneClosingCrLf) {
    test::TempDir dir;
    // Windows-1252 when everything fits, else UTF-8; reading gives the text back with its
    // closing CR LF, as loading appends it.
    for (const auto& [text, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"[B]Grüße €[/B]\r\nZeile 2",
              "[B]Gr\xFC\xDF"
              "e \x80[/B]\r\nZeile 2\r\n"},
             {"Привет \xF0\x9F\x98\x80 ä", "Привет \xF0\x9F\x98\x80 ä\r\n"}}) {
        ASSERT_EQ(SaveVbcFile(dir.file("a.vbc"), text), "");
        EXPECT_EQ(dir.read("a.vbc"), bytes);
        EXPECT_EQ(LoadVbcFile(dir.file("a.vbc")), text + "\r\n");
    }
    // Texts that look like the other encoding ("Ã¤" in Windows-1252 reads as UTF-8 "ä"; a
    // leading U+FEFF looks like a byte-order mark) come back unchanged.
    for (const std::string& text : {std::string("Ã¤"), std::string("\xEF\xBB\xBFstart"),
                                    std::string(""), std::string("\x81\x8D ctl \xC2\x81")})
        EXPECT_EQ(VbcTextFromBytes(VbcFileBytes(text)), text + "\r\n");
    // A file written by an older install in Windows-1252 reads as such.
    EXPECT_EQ(VbcTextFromBytes("Gr\xFC\xDF"
                               "e\r\n"),
              "Grüße\r\n");
}

TEST(VbcFile, FailuresReportAReasonAndLeaveNoHalfFile) {
    test::TempDir dir;
    // A folder where the file should go cannot be replaced; nothing may be left beside it.
    dir.write("taken.vbc/inner", "keep");
    EXPECT_NE(SaveVbcFile(dir.file("taken.vbc"), "new"), "");
    EXPECT_EQ(dir.read("taken.vbc/inner"), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_NE(SaveVbcFile(dir.file("missing/x.vbc"), "x"), "");
    EXPECT_NE(SaveVbcFile("", "x"), "");
    std::string reason;
    EXPECT_FALSE(LoadVbcFile(dir.file("none.vbc"), &reason));
    EXPECT_NE(reason, "");

    // The remembered folder keeps its separator, also at the root.
    RememberSaveFolder(dir.file("Lumar.ini"), keys::SavePath, "/b.vbc");
    EXPECT_EQ(ReadValue(dir.file("Lumar.ini"), "VBCode", "SavePath", ""), "/");
}

}  // namespace
}  // namespace lumar
