#include "shell/plain_text.h"

#include <cstring>

namespace lumar {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool Holds(std::string_view haystack, std::string_view needle) {
    // The C library's memmem compares many bytes at a time and stays linear where a plain
    // find stops at every byte that begins the needle.
    return ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
    const size_t first = text.find_first_not_of(blanks);
    // Still a view into `text`: callers take offsets from where the result lies.
    if (first == std::string_view::npos) return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
        out.append(text.substr(start, at - start));
        out += to;
        start = at + from.size();
    }
    out.append(text.substr(start));
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

std::string Printable(std::string_view text, bool keepTabs) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7F) || (keepTabs && c == '\t')) {
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string Shortened(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    constexpr std::string_view kEllipsis = "...";
    size_t keep = maxBytes > kEllipsis.size() ? maxBytes - kEllipsis.size() : 0;
    // Back off continuation bytes, then the lead byte whose sequence they would leave unfinished.
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
    return std::string(text.substr(0, keep)).append(kEllipsis.substr(0, maxBytes));
}

}  // namespace lumar
