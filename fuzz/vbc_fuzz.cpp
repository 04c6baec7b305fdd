// Arbitrary .vbc bytes: reading never fails, and writing what was read and reading it again
// gives the same text with one more closing CR LF. The text then goes through the editor's
// operations with a selection taken from the input, which must stay inside the new text.

#include "fuzz_check.h"
#include "posting/text_block_editing.h"
#include "posting/vbc_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = lumar::VbcTextFromBytes(Text(data, size));
    Check(lumar::VbcTextFromBytes(lumar::VbcFileBytes(text)) == text + "\r\n");

    const int length = lumar::Utf16Length(text);
    const int start = size > 0 ? data[0] - 64 : 0;
    const int selected = size > 1 ? data[1] - 64 : 0;
    const lumar::FontChoice font{"Arial", "3", "Black"};
    for (int i = 0; i < 9; ++i) {
        const lumar::EditorText box{text, start, selected};
        const lumar::EditorText out =
            i < 4 ? lumar::ApplyStyleButton(box, i, font) : lumar::ApplyInsertButton(box, i - 4);
        const int outLength = lumar::Utf16Length(out.text);
        Check(out.text.size() >= text.size());
        Check(outLength >= length);
        Check(out.selectionStart >= 0 && out.selectionLength >= 0);
        Check(out.selectionStart + out.selectionLength <= outLength);
    }
    return 0;
}
