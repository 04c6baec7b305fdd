// Splitting a file dialog's multi-selection result: no crash on any text, no empty names,
// and every joined path ends in its name (less the separators it may start with).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/multi_file_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const lumar::MultiFileSelection selection = lumar::ParseMultiFileName(text);
    const std::vector<std::string> paths = selection.FullPaths();
    if (paths.size() != selection.names.size()) std::abort();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& name = selection.names[i];
        if (name.empty() || name.find('\0') != std::string::npos) std::abort();
        const std::string tail = name.substr(std::min(name.find_first_not_of('/'), name.size()));
        if (!paths[i].ends_with(tail)) std::abort();
    }
    // Rebuilding the result from what was parsed parses back to the same names.
    if (selection.names.size() > 1 && !selection.folder.empty() &&
        selection.folder.find('\0') == std::string::npos &&
        lumar::ParseMultiFileName(lumar::BuildMultiFileName(selection.folder, selection.names))
                .names != selection.names)
        std::abort();
    return 0;
}
