#pragma once
// One row of the image list: an image to upload, or a marker row (line break or own text
// block) that shapes the posting. Sizes are kept as numbers; the list formats them where it
// shows them (ColumnText).
#include <cstdint>
#include <string>
#include <string_view>

namespace lumar {

inline constexpr std::string_view kBreakRowText = "*UMBRUCH*";

// What a row is, fixed when the row is made. A file name may hold any character, "*" included,
// so the text cannot tell an image from a marker.
enum class RowKind { kImage, kMarker };

struct ImageEntry {
    std::string text;    // column 0: file name, or the marker text
    std::string folder;  // column 1: folder of the file, ending in the separator; empty for markers
    int width = 0;       // column 2: pixels; 0 when the header named none
    int height = 0;      // column 3
    std::int64_t bytes = 0;  // column 4 shows it in kB with one decimal
    bool padded = false;     // from a folder scan: the three numbers are shown right-aligned
    std::string thumb;       // column 5: never filled, carried along
    std::string copy;        // column 6: never filled, carried along
    std::string upload;      // column 7: the posting code once the upload succeeded
    bool checked = true;     // still to be uploaded (image rows); marker rows start checked too
    // Why the last run did not upload it, in the interface's words; kept with the row until a
    // run tries it again. Never stored, never part of the posting.
    std::string failure{};
    RowKind kind = RowKind::kImage;

    [[nodiscard]] bool IsMarker() const { return kind == RowKind::kMarker; }
    [[nodiscard]] bool IsImage() const { return kind == RowKind::kImage; }
    // An image row the next run still has to upload.
    [[nodiscard]] bool IsImageToUpload() const { return checked && IsImage(); }
    // Folder followed by text, nothing in between.
    [[nodiscard]] std::string FullPath() const { return folder + text; }
};

// A checked marker row with empty fields (its numbers are not shown).
inline ImageEntry MarkerRow(std::string text) {
    ImageEntry row;
    row.kind = RowKind::kMarker;
    row.text = std::move(text);
    return row;
}

// "*VBCode_" + number + "*"
inline std::string TextBlockRowText(int number) {
    return "*VBCode_" + std::to_string(number) + "*";
}

}  // namespace lumar
