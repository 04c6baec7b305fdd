#pragma once
// The text operations of the BBCode editor, on the editor's text and its selection.
//
// Text is UTF-8, but every position and length is counted in UTF-16 code units, the unit in
// which the editor's text box reports its cursor. The caller passes the box's plain text
// (line breaks as the box has them) and gets back the new text and the selection or caret
// to set; a caret is a selection of length 0.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imagelist/text_blocks.h"

namespace lumar {

struct EditorText {
    std::string text;
    int selectionStart = 0;   // UTF-16 units
    int selectionLength = 0;  // UTF-16 units; 0 = a caret at selectionStart
};

// The entries of the colour (40), font (21) and size (7) lists, in list order.
const std::vector<std::string>& EditorColorNames();
const std::vector<std::string>& EditorFontNames();
const std::vector<std::string>& EditorSizeNames();
// Splits a ";"-separated list text into its entries.
std::vector<std::string> SplitListText(std::string_view text);

// Inserts `insert` at the end of the box's selection (the caret when nothing is selected).
// `insertPosition` receives that position; the returned selection is left as it was, the
// caller places the caret.
EditorText InsertAtCaret(const EditorText& box, std::string_view insert, int* insertPosition);

// The style buttons: 0 bold "[B]", 1 italic "[I]", 2 underline "[U]", 3 "setze Schrift" with
// the chosen font, size and colour. A selection is wrapped in the tags and stays selected
// inside them; without one the pair of tags is inserted with the caret between them.
struct FontChoice {
    std::string font;   // text of the font list, e.g. "Arial"
    std::string size;   // text of the size list, e.g. "3"
    std::string color;  // text of the colour list, e.g. "Black"
};
EditorText ApplyStyleButton(const EditorText& box, int index, const FontChoice& choice);

// The insert buttons: 0 "Bild", 1 "Link", 2 "Linie", 3 "Quote", 4 "Center". Without a
// selection their text is inserted and the caret placed inside it; with a selection "Quote"
// and "Center" wrap it like the style buttons and the other three change nothing.
EditorText ApplyInsertButton(const EditorText& box, int index);

// Ctrl+A: the whole text selected.
EditorText SelectAll(const EditorText& box);

// Number of UTF-16 code units of a UTF-8 text (bytes that are no valid UTF-8 count one each).
int Utf16Length(std::string_view utf8);

// The editor's remembered choices (section VBCode): list indexes and the placement option.
struct EditorChoices {
    int color = 0;  // Black
    int font = 0;   // Arial
    int size = 2;   // 3
    TextBlockPlacement placement = TextBlockPlacement::kBefore;
};
// Reads Color, Font, Size and Ausrichtung; a stored index outside its list (a hand-edited
// file) gives that key's default.
EditorChoices ReadEditorChoices(const std::string& settingsFile);

// "Übernehmen": writes Color, Font and Size, stores the text as a new block (New) or as block
// `editIndex` (Change), then writes the placement as Ausrichtung. Returns the number of the
// stored block, or nullopt when Change names no stored block (then nothing is stored).
std::optional<int> TakeOverTextBlock(const std::string& settingsFile, TextBlocks& blocks,
                                     TextBlockEditMode mode, int editIndex, std::string text,
                                     const EditorChoices& choices);

}  // namespace lumar
