#pragma once
// The result of a multi-selection Open dialog: either one full path, or the folder followed by
// the chosen names, each ended by NUL, the whole ended by a second NUL.
#include <string>
#include <string_view>
#include <vector>

namespace lumar {

struct MultiFileSelection {
    std::string folder;              // as the dialog gave it: without trailing separator for
                                     // several names, with it for a single full path
    std::vector<std::string> names;  // in the order the dialog gave them

    // folder and name joined by exactly one separator, in order. A single chosen file thus
    // keeps its plain path instead of getting a doubled separator before the name.
    [[nodiscard]] std::vector<std::string> FullPaths() const;
};

// Splits the dialog's Filename. An empty text (cancelled dialog) gives no names. Text after
// the first pair of NULs is ignored; a NUL-free text is one full path.
MultiFileSelection ParseMultiFileName(std::string_view filename);

// Builds the result format from a folder and names, as a dialog implementation hands it back
// ("folder\0a\0b\0\0" for several names, the full path for one).
std::string BuildMultiFileName(const std::string& folder, const std::vector<std::string>& names);

}  // namespace lumar
