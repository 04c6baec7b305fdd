#include "posting/bbcode_tags.h"

#include "shell/plain_text.h"

namespace lumar {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

size_t FindNoCase(std::string_view text, std::string_view what, size_t from) {
    for (size_t i = from; i + what.size() <= text.size(); ++i)
        if (StartsWithNoCase(text.substr(i), what)) return i;
    return std::string_view::npos;
}

}  // namespace

std::optional<BBCodeTag> ReadBBCodeTag(std::string_view text, size_t pos) {
    const size_t end = text.find_first_of("[]", pos + 1);
    if (end == std::string_view::npos || text[end] != ']') return std::nullopt;
    BBCodeTag tag;
    tag.inner = text.substr(pos + 1, end - pos - 1);
    std::string_view rest = tag.inner;
    if (rest.starts_with('/')) {
        tag.closing = true;
        rest.remove_prefix(1);
    }
    size_t letters = 0;
    while (letters < rest.size() && IsLetter(rest[letters])) ++letters;
    if (letters == 0) return std::nullopt;
    tag.spelling = rest.substr(0, letters);
    for (char c : tag.spelling) tag.name += Lower(c);
    rest.remove_prefix(letters);
    if (!rest.empty()) {
        if (rest[0] != '=' || tag.closing) return std::nullopt;
        tag.arg = Trim(rest.substr(1), " \t\"'");
    }
    tag.length = end - pos + 1;
    return tag;
}

size_t BBCodeCloseFinder::Find(std::string_view text, size_t from) {
    if (missing_) return std::string_view::npos;
    const size_t at = ignoreCase_ ? FindNoCase(text, tag_, from) : text.find(tag_, from);
    missing_ = at == std::string_view::npos;
    return at;
}

}  // namespace lumar
