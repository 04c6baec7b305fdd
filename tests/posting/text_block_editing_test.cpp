#include "posting/text_block_editing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "posting/vbc_file.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

std::tuple<std::string, int, int> Tie(const EditorText& b) {
    return {b.text, b.selectionStart, b.selectionLength};
}

EditorText Style(const EditorText& box, int index) {
    return ApplyStyleButton(box, index, FontChoice{"Arial", "3", "Black"});
}

// Positions are UTF-16 units, as the text box counts them.
TEST(EditorButtons, StyleAndInsertButtonsOnSelectionOrCaret) {
    struct Case {
        EditorText in;
        EditorText (*button)(const EditorText&, int);
        int index;
        EditorText out;
    };
    const std::string font = "[FONT=Arial][SIZE=3][COLOR=Black]";
    const std::vector<Case> cases = {
        // Style tags wrap the selection and reselect inside.
        {{"Hallo", 0, 5}, Style, 0, {"[B]Hallo[/B]", 3, 5}},
        {{"x Hallo y", 2, 5}, Style, 3, {"x " + font + "Hallo[/COLOR][/SIZE][/FONT] y", 35, 5}},
        // Without a selection the pair goes in with the caret between.
        {{"ab", 1, 0}, Style, 2, {"a[U][/U]b", 4, 0}},
        // "ä" is two bytes but one unit; the emoji four bytes and two units.
        {{"äö\xF0\x9F\x98\x80x", 1, 3}, Style, 0, {"ä[B]ö\xF0\x9F\x98\x80[/B]x", 4, 3}},
        {{"äb", 1, 99}, Style, 0, {"ä[B]b[/B]", 4, 1}},  // clamped to the text
        // Insert buttons: caret offsets ("Link" inside the address).
        {{"ab", 1, 0}, ApplyInsertButton, 0, {"a[IMG]http://[/IMG]b", 13, 0}},
        {{"ab", 2, 0}, ApplyInsertButton, 1, {"ab[URL=http://][/URL]", 14, 0}},
        // Only "Quote" and "Center" wrap a selection; "Bild", "Link", "Linie" leave it alone.
        {{"Hallo", 1, 3}, ApplyInsertButton, 2, {"Hallo", 1, 3}},
        {{"ab", 1, 9}, ApplyInsertButton, 0, {"ab", 1, 1}},  // handed back inside the text
        {{"Hallo", 1, 3}, ApplyInsertButton, 3, {"H[QUOTE]all[/QUOTE]o", 8, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Tie(c.button(c.in, c.index)), Tie(c.out)) << c.in.text << " button " << c.index;

    int position = -1;
    EXPECT_EQ(Tie(InsertAtCaret({"abcd", 1, 2}, "X", &position)), Tie({"abcXd", 1, 2}));
    EXPECT_EQ(position, 3);
    EXPECT_EQ(SelectAll({"äbc", 1, 0}).selectionLength, 3);
}

void ExpectChoices(const EditorChoices& c, int color, int font, int size,
                   TextBlockPlacement placement) {
    EXPECT_EQ(std::tuple(c.color, c.font, c.size, c.placement),
              std::tuple(color, font, size, placement));
}

TEST(TakeOverTextBlock, NewNumbersChangeKeepsNumberAndChoicesAreRemembered) {
    test::TempDir dir;
    const std::string ini = dir.file("Lumar.ini");
    ExpectChoices(ReadEditorChoices(ini), 0, 0, 2, TextBlockPlacement::kBefore);

    TextBlocks blocks;
    const EditorChoices choices{5, 17, 0, TextBlockPlacement::kAfter};
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::kNew, 0, "eins", choices), 1);
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::kNew, 0, "", choices), 2);
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::kChange, 1, "EINS", choices), 1);
    // Changing a block that was never stored stores nothing.
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::kChange, 7, "x", choices),
              std::nullopt);
    EXPECT_EQ(blocks.Count(), 2);
    EXPECT_EQ(blocks.Get(1), "EINS");
    EXPECT_EQ(blocks.Get(2), "");

    // Written in their order, read back at the next opening.
    EXPECT_EQ(dir.read("Lumar.ini"),
              "[VBCode]\r\nColor=5\r\nFont=17\r\nSize=0\r\nAusrichtung=1\r\n");
    ExpectChoices(ReadEditorChoices(ini), 5, 17, 0, TextBlockPlacement::kAfter);
    // A value outside its list (a hand-edited file) gives that key's default; the others stay.
    dir.write("Lumar.ini", "[VBCode]\r\nColor=40\r\nFont=3\r\nSize=-1\r\nAusrichtung=2\r\n");
    ExpectChoices(ReadEditorChoices(ini), 0, 3, 2, TextBlockPlacement::kBefore);
}

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
}

TEST(VbcFile, FailuresReportAReasonAndLeaveNoHalfFile) {
    test::TempDir dir;
    // A folder where the file should go cannot be replaced; nothing may be left beside it.
    dir.write("taken.vbc/inner", "keep");
    EXPECT_NE(SaveVbcFile(dir.file("taken.vbc"), "new"), "");
    EXPECT_EQ(dir.read("taken.vbc/inner"), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    std::string reason;
    EXPECT_FALSE(LoadVbcFile(dir.file("none.vbc"), &reason));
    EXPECT_NE(reason, "");
    // No text box takes a file of gigabytes; it is refused before it is read.
    dir.write("huge.vbc", "");
    ASSERT_EQ(::truncate(dir.file("huge.vbc").c_str(), 1LL << 32), 0);
    EXPECT_FALSE(LoadVbcFile(dir.file("huge.vbc"), &reason));
    EXPECT_EQ(reason, "file larger than 16 MiB");

    // The remembered folder keeps its separator, also at the root.
    RememberSaveFolder(dir.file("Lumar.ini"), keys::SavePath, "/b.vbc");
    EXPECT_EQ(ReadValue(dir.file("Lumar.ini"), "VBCode", "SavePath", ""), "/");
}

}  // namespace
}  // namespace lumar
