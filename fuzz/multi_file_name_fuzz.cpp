// Splitting a file dialog's multi-selection result: no crash on any text, no empty names,
// and every joined path ends in its name (less the separators it may start with).
#include "fuzz_check.h"
#include "shell/multi_file_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumar::MultiFileSelection selection = lumar::ParseMultiFileName(Text(data, size));
    const std::vector<std::string> paths = selection.FullPaths();
    Check(paths.size() == selection.names.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& name = selection.names[i];
        Check(!name.empty() && name.find('\0') == std::string::npos);
        Check(paths[i].ends_with(name.substr(std::min(name.find_first_not_of('/'), name.size()))));
    }
    // Rebuilding the result from what was parsed parses back to the same names.
    if (selection.names.size() > 1 && !selection.folder.empty() &&
        selection.folder.find('\0') == std::string::npos)
        Check(
            lumar::ParseMultiFileName(lumar::BuildMultiFileName(selection.folder, selection.names))
                .names == selection.names);
    return 0;
}
