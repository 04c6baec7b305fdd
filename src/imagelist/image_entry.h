#pragma once
// One row of the image list: an image to upload, or a marker row (line break or own text
// block) that shapes the posting. Every field is text, as the list shows it.
#include <string>
#include <string_view>

namespace lumar {

inline constexpr std::string_view kBreakRowText = "*UMBRUCH*";

struct ImageEntry {
    std::string text;    // column 0: file name, or the marker text
    std::string folder;  // column 1: folder of the file, ending in the separator; empty for markers
    std::string width;   // column 2: pixels, may carry leading blanks
    std::string height;  // column 3
    std::string kB;      // column 4: size in kB with one decimal
    std::string thumb;   // column 5: never filled, carried along
    std::string copy;    // column 6: never filled, carried along
    std::string upload;  // column 7: the posting code once the upload succeeded
    bool checked = true; // still to be uploaded (image rows); marker rows start checked too

    // The one test every part of the program uses: a marker row's text contains "*".
    bool IsMarker() const { return text.find('*') != std::string::npos; }
    bool IsImage() const { return !IsMarker(); }
    // Folder followed by text, nothing in between.
    std::string FullPath() const { return folder + text; }
};

// "*VBCode_" + number + "*"
inline std::string TextBlockRowText(int number) { return "*VBCode_" + std::to_string(number) + "*"; }

}  // namespace lumar
