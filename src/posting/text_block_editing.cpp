#include "posting/text_block_editing.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "shell/settings_keys.h"

namespace lumar {
namespace {

constexpr std::string_view kColorList =
    "Black;Sienna;DarkOliveGreen;DarkGreen;DarkSlateBlue;Navy;Indigo;DarkSlateGray;DarkRed;"
    "DarkOrange;Olive;Green;Teal;Blue;SlateGray;DimGray;Red;SandyBrown;YellowGreen;SeaGreen;"
    "MediumTurquoise;RoyalBlue;Purple;Gray;Magenta;Orange;Yellow;Lime;Cyan;DeepSkyBlue;DarkOrchid;"
    "Silver;Pink;Wheat;LemonChiffon;PaleGreen;PaleTurquoise;LightBlue;Plum;White";
constexpr std::string_view kFontList =
    "Arial;Arial Black;Arial Narrow;Book Antiqua;Century Gothic;Comic Sans MS;Courier New;Fixedsys;"
    "Franklin Gothic Medium;Garamond;Georgia;Impact;Lucida Console;Lucida Sans Unicode;"
    "Microsoft Sans Serif;Palatino Linotype;System;Tahoma;Times New Roman;Trebuchet MS;Verdana";
constexpr std::string_view kSizeList = "1;2;3;4;5;6;7";

struct InsertButton {
    std::string_view text;  // inserted without a selection
    int caretOffset;        // where the caret lands inside it
    std::string_view open;  // wraps a selection; empty = a selection is left alone
    std::string_view close;
};
constexpr std::array<InsertButton, 5> kInsertButtons = {{
    {"[IMG]http://[/IMG]", 12, "", ""},
    {"[URL=http://][/URL]", 12, "", ""},
    {"[HR][/HR]", 4, "", ""},
    {"[QUOTE][/QUOTE]", 7, "[QUOTE]", "[/QUOTE]"},
    {"[CENTER][/CENTER]", 8, "[CENTER]", "[/CENTER]"},
}};

// Length in bytes of the UTF-8 sequence starting at text[i], or 1 for a byte that starts no
// well-formed sequence. `units` receives its UTF-16 length.
size_t SequenceAt(std::string_view text, size_t i, int& units) {
    const auto b0 = static_cast<uint8_t>(text[i]);
    size_t length = 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        length = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
        length = 3;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
        length = 4;
    units = 1;
    if (length == 1 || i + length > text.size()) return 1;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return 1;
    if (length == 4) units = 2;
    return length;
}

// Byte offset of the UTF-16 position `units` (clamped to the text; a position inside a
// character moves to its start).
size_t ByteOffset(std::string_view text, int units) {
    size_t i = 0;
    int done = 0;
    while (i < text.size()) {
        int n = 0;
        const size_t length = SequenceAt(text, i, n);
        if (done + n > units) break;
        done += n;
        i += length;
    }
    return i;
}

struct Span {
    int start;
    int length;
};

// The selection clamped to the text.
Span Clamped(const EditorText& box) {
    const int total = Utf16Length(box.text);
    const int start = std::clamp(box.selectionStart, 0, total);
    const int length = std::clamp(box.selectionLength, 0, total - start);
    return {start, length};
}

// The box with its selection clamped to the text, for operations that change no text.
EditorText Unchanged(const EditorText& box) {
    const Span s = Clamped(box);
    return EditorText{box.text, s.start, s.length};
}

EditorText Wrap(const EditorText& box, std::string_view open, std::string_view close) {
    const Span s = Clamped(box);
    if (s.length == 0) {
        std::string pair(open);
        pair += close;
        int position = 0;
        EditorText out = InsertAtCaret(box, pair, &position);
        out.selectionStart = position + Utf16Length(open);
        out.selectionLength = 0;
        return out;
    }
    const size_t from = ByteOffset(box.text, s.start);
    const size_t to = ByteOffset(box.text, s.start + s.length);
    EditorText out;
    out.text.reserve(box.text.size() + open.size() + close.size());
    out.text.append(box.text, 0, from);
    out.text += open;
    out.text.append(box.text, from, to - from);
    out.text += close;
    out.text.append(box.text, to, std::string::npos);
    out.selectionStart = s.start + Utf16Length(open);
    out.selectionLength = s.length;
    return out;
}

int ReadIndex(const std::string& file, const SettingKey& key) {
    return ReadIntSetting(file, key);
}

}  // namespace

std::vector<std::string> SplitListText(std::string_view text) {
    std::vector<std::string> entries;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(';', start);
        entries.emplace_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return entries;
}

const std::vector<std::string>& EditorColorNames() {
    static const std::vector<std::string> names = SplitListText(kColorList);
    return names;
}
const std::vector<std::string>& EditorFontNames() {
    static const std::vector<std::string> names = SplitListText(kFontList);
    return names;
}
const std::vector<std::string>& EditorSizeNames() {
    static const std::vector<std::string> names = SplitListText(kSizeList);
    return names;
}

int Utf16Length(std::string_view utf8) {
    int total = 0;
    for (size_t i = 0; i < utf8.size();) {
        int n = 0;
        i += SequenceAt(utf8, i, n);
        total += n;
    }
    return total;
}

EditorText InsertAtCaret(const EditorText& box, std::string_view insert, int* insertPosition) {
    const Span s = Clamped(box);
    const int position = s.start + s.length;
    const size_t at = ByteOffset(box.text, position);
    EditorText out = box;
    out.text.insert(at, insert);
    if (insertPosition) *insertPosition = position;
    return out;
}

EditorText ApplyStyleButton(const EditorText& box, int index, const FontChoice& choice) {
    switch (index) {
        case 0:
            return Wrap(box, "[B]", "[/B]");
        case 1:
            return Wrap(box, "[I]", "[/I]");
        case 2:
            return Wrap(box, "[U]", "[/U]");
        case 3: {
            const std::string open =
                "[FONT=" + choice.font + "][SIZE=" + choice.size + "][COLOR=" + choice.color + "]";
            return Wrap(box, open, "[/COLOR][/SIZE][/FONT]");
        }
        default:
            return Unchanged(box);
    }
}

EditorText ApplyInsertButton(const EditorText& box, int index) {
    if (index < 0 || index >= static_cast<int>(kInsertButtons.size())) return Unchanged(box);
    const InsertButton& button = kInsertButtons[static_cast<size_t>(index)];
    if (Clamped(box).length > 0)
        return button.open.empty() ? Unchanged(box) : Wrap(box, button.open, button.close);
    int position = 0;
    EditorText out = InsertAtCaret(box, button.text, &position);
    out.selectionStart = position + button.caretOffset;
    out.selectionLength = 0;
    return out;
}

EditorText SelectAll(const EditorText& box) {
    EditorText out = box;
    out.selectionStart = 0;
    out.selectionLength = Utf16Length(box.text);
    return out;
}

EditorChoices ReadEditorChoices(const std::string& settingsFile) {
    EditorChoices choices;
    choices.color = ReadIndex(settingsFile, keys::Color);
    choices.font = ReadIndex(settingsFile, keys::Font);
    choices.size = ReadIndex(settingsFile, keys::Size);
    choices.placement = ReadIndex(settingsFile, keys::Ausrichtung) == 1
                            ? TextBlockPlacement::kAfter
                            : TextBlockPlacement::kBefore;
    return choices;
}

std::optional<int> TakeOverTextBlock(const std::string& settingsFile, TextBlocks& blocks,
                                     TextBlockEditMode mode, int editIndex, std::string text,
                                     const EditorChoices& choices) {
    WriteSetting(settingsFile, keys::Color, choices.color);
    WriteSetting(settingsFile, keys::Font, choices.font);
    WriteSetting(settingsFile, keys::Size, choices.size);
    std::optional<int> stored;
    if (mode == TextBlockEditMode::kNew) {
        stored = blocks.Add(std::move(text));
    } else if (blocks.Set(editIndex, std::move(text))) {
        stored = editIndex;
    }
    WriteSetting(settingsFile, keys::Ausrichtung, static_cast<long long>(choices.placement));
    return stored;
}

}  // namespace lumar
