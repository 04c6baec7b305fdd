#include "shell/multi_file_name.h"

#include "shell/file_io.h"

namespace lumar {

std::vector<std::string> MultiFileSelection::FullPaths() const {
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) paths.push_back(JoinPath(folder, name));
    return paths;
}

MultiFileSelection ParseMultiFileName(std::string_view filename) {
    MultiFileSelection result;
    std::string_view s = filename.substr(0, filename.find(std::string_view("\0\0", 2)));
    const std::size_t firstNul = s.find('\0');
    if (firstNul == std::string_view::npos || firstNul + 1 == s.size()) {
        // One full path (possibly followed by a single NUL).
        if (firstNul != std::string_view::npos) s = s.substr(0, firstNul);
        if (s.empty()) return result;
        const std::size_t slash = s.find_last_of(kPathSeparator);
        if (slash == std::string_view::npos) {
            result.names.emplace_back(s);
        } else if (slash + 1 < s.size()) {
            result.folder.assign(s.substr(0, slash + 1));
            result.names.emplace_back(s.substr(slash + 1));
        }
        return result;
    }
    result.folder.assign(s.substr(0, firstNul));
    std::size_t start = firstNul + 1;
    while (start <= s.size()) {
        std::size_t end = s.find('\0', start);
        if (end == std::string_view::npos) end = s.size();
        if (end > start) result.names.emplace_back(s.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::string BuildMultiFileName(const std::string& folder, const std::vector<std::string>& names) {
    if (names.empty()) return {};
    if (names.size() == 1) return JoinPath(folder, names.front());
    std::string out = folder;
    for (const std::string& name : names) {
        out += '\0';
        out += name;
    }
    out += std::string(2, '\0');
    return out;
}

}  // namespace lumar
