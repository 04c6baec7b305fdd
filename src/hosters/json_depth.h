#pragma once
// Serializing JSON recurses once per level, so a hostile answer or file of a million '['
// would overflow the stack; both readers refuse text nested deeper than any real one.
#include <cstddef>
#include <string_view>

namespace lumar {

inline constexpr size_t kMaxJsonDepth = 256;

// The deepest nesting of arrays and objects in the text, ignoring brackets inside strings.
inline size_t JsonNestingDepth(std::string_view text) {
    size_t depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace lumar
