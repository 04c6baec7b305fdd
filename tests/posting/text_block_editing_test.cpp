#include "posting/text_block_editing.h"

#include <gtest/gtest.h>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

EditorText Box(std::string text, int start, int length = 0) { return EditorText{std::move(text), start, length}; }

void ExpectBox(const EditorText& box, const std::string& text, int start, int length) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.selectionStart, start);
    EXPECT_EQ(box.selectionLength, length);
}

const FontChoice kArial3Black{"Arial", "3", "Black"};

TEST(StyleButtons, WrapSelectionAndReselectInside) {
    EditorText box = Box("Hallo", 0, 5);
    box = ApplyStyleButton(box, 0, kArial3Black);
    ExpectBox(box, "[B]Hallo[/B]", 3, 5);
    box = ApplyStyleButton(box, 1, kArial3Black);
    ExpectBox(box, "[B][I]Hallo[/I][/B]", 6, 5);
    box = ApplyStyleButton(Box("x Hallo y", 2, 5), 3, kArial3Black);
    ExpectBox(box, "x [FONT=Arial][SIZE=3][COLOR=Black]Hallo[/COLOR][/SIZE][/FONT] y", 35, 5);
}

TEST(StyleButtons, WithoutSelectionInsertPairWithCaretBetween) {
    ExpectBox(ApplyStyleButton(Box("ab", 1), 2, kArial3Black), "a[U][/U]b", 4, 0);
    ExpectBox(ApplyStyleButton(Box("", 0), 3, kArial3Black),
              "[FONT=Arial][SIZE=3][COLOR=Black][/COLOR][/SIZE][/FONT]", 33, 0);
}

TEST(StyleButtons, PositionsCountUtf16UnitsNotBytes) {
    // "ä" is two bytes but one unit; the emoji is four bytes and two units.
    ExpectBox(ApplyStyleButton(Box("äö\xF0\x9F\x98\x80x", 1, 3), 0, kArial3Black),
              "ä[B]ö\xF0\x9F\x98\x80[/B]x", 4, 3);
    // A selection running past the end is clamped to the text.
    ExpectBox(ApplyStyleButton(Box("äb", 1, 99), 0, kArial3Black), "ä[B]b[/B]", 4, 1);
    EXPECT_EQ(Utf16Length("ä\xF0\x9F\x98\x80"), 3);
}

TEST(InsertButtons, CaretOffsetsWithoutSelection) {
    ExpectBox(ApplyInsertButton(Box("ab", 1), 0), "a[IMG]http://[/IMG]b", 13, 0);
    ExpectBox(ApplyInsertButton(Box("ab", 2), 1), "ab[URL=http://][/URL]", 14, 0);
    ExpectBox(ApplyInsertButton(Box("", 0), 2), "[HR][/HR]", 4, 0);
    ExpectBox(ApplyInsertButton(Box("", 0), 3), "[QUOTE][/QUOTE]", 7, 0);
    ExpectBox(ApplyInsertButton(Box("", 0), 4), "[CENTER][/CENTER]", 8, 0);
}

TEST(InsertButtons, SelectionWrappedOnlyByQuoteAndCenter) {
    for (int index : {0, 1, 2}) ExpectBox(ApplyInsertButton(Box("Hallo", 1, 3), index), "Hallo", 1, 3);
    // The selection handed back always lies inside the text.
    ExpectBox(ApplyInsertButton(Box("ab", 1, 9), 0), "ab", 1, 1);
    ExpectBox(ApplyInsertButton(Box("Hallo", 1, 3), 3), "H[QUOTE]all[/QUOTE]o", 8, 3);
    ExpectBox(ApplyInsertButton(Box("Hallo", 1, 3), 4), "H[CENTER]all[/CENTER]o", 9, 3);
}

TEST(InsertAtCaret, InsertsAfterTheSelectionAndReportsPosition) {
    int position = -1;
    EditorText box = InsertAtCaret(Box("abcd", 1, 2), "X", &position);
    EXPECT_EQ(position, 3);
    ExpectBox(box, "abcXd", 1, 2);
    EXPECT_EQ(SelectAll(Box("äbc", 1)).selectionLength, 3);
}

class TakeOverTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string ini = dir.file("Lumar.ini");
};

TEST_F(TakeOverTest, NewBlocksNumberedAndChangeKeepsNumber) {
    TextBlocks blocks;
    EditorChoices choices{5, 17, 0, TextBlockPlacement::After};
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::New, 0, "eins", choices), 1);
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::New, 0, "", choices), 2);
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::Change, 1, "EINS", choices), 1);
    EXPECT_EQ(blocks.Count(), 2);
    EXPECT_EQ(blocks.Get(1), "EINS");
    EXPECT_EQ(blocks.Get(2), "");
    // Changing a block that was never stored stores nothing.
    EXPECT_EQ(TakeOverTextBlock(ini, blocks, TextBlockEditMode::Change, 7, "x", choices), std::nullopt);
    EXPECT_EQ(blocks.Count(), 2);

    // The choices are remembered for the next opening, written in their order.
    EXPECT_EQ(ReadValue(ini, "VBCode", "Color", ""), "5");
    EXPECT_EQ(ReadValue(ini, "VBCode", "Font", ""), "17");
    EXPECT_EQ(ReadValue(ini, "VBCode", "Size", ""), "0");
    EXPECT_EQ(ReadValue(ini, "VBCode", "Ausrichtung", ""), "1");
    const std::string file = dir.read("Lumar.ini");
    EXPECT_LT(file.find("Color"), file.find("Font"));
    EXPECT_LT(file.find("Size"), file.find("Ausrichtung"));
    const EditorChoices read = ReadEditorChoices(ini);
    EXPECT_EQ(read.color, 5);
    EXPECT_EQ(read.font, 17);
    EXPECT_EQ(read.size, 0);
    EXPECT_EQ(read.placement, TextBlockPlacement::After);
}

TEST_F(TakeOverTest, ChoicesDefaultWhenMissingOrOutsideTheLists) {
    EditorChoices d = ReadEditorChoices(ini);
    EXPECT_EQ(d.color, 0);
    EXPECT_EQ(d.font, 0);
    EXPECT_EQ(d.size, 2);
    EXPECT_EQ(d.placement, TextBlockPlacement::Before);
    dir.write("Lumar.ini", "[VBCode]\r\nColor=40\r\nFont=-1\r\nSize=abc\r\nAusrichtung=7\r\n");
    d = ReadEditorChoices(ini);
    EXPECT_EQ(d.color, 0);
    EXPECT_EQ(d.font, 0);
    EXPECT_EQ(d.size, 2);
    EXPECT_EQ(d.placement, TextBlockPlacement::Before);
}

}  // namespace
}  // namespace lumar
