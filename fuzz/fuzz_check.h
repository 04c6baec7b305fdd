#pragma once
// What every fuzz target shares: the input as text, its fields, and a check that ends the run
// at once, in every build type.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline void Check(bool ok) {
    if (!ok) std::abort();
}

inline std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The text cut at every `separator`: always one field more than separators.
inline std::vector<std::string> Fields(std::string_view text, char separator) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == separator)
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    return fields;
}

// The text before the first `separator`, and what follows it (empty without one).
inline std::pair<std::string, std::string> Cut(std::string_view text, char separator) {
    const size_t at = std::min(text.find(separator), text.size());
    return {std::string(text.substr(0, at)),
            std::string(text.substr(std::min(at + 1, text.size())))};
}
