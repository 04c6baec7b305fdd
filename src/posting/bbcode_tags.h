#pragma once
// Reading the tags of BBCode as hosts and text blocks write them, for the writers that turn a
// posting into another format. A tag is "[" + letters + optionally "=" and an argument + "]",
// or "[/" + letters + "]"; anything else in brackets is text.
#include <optional>
#include <string>
#include <string_view>

namespace lumar {

struct BBCodeTag {
    std::string name;           // lower case
    std::string_view spelling;  // the name as written
    std::string_view inner;     // everything between the brackets, as written
    std::string arg;            // what follows "=", blanks and quotes around it removed
    bool closing = false;
    size_t length = 0;  // brackets included
};

// The tag starting at text[pos] (a "["), when the brackets hold one. A tag holds no "[", so
// the search stops at the next one and a text full of brackets is read in one pass.
[[nodiscard]] std::optional<BBCodeTag> ReadBBCodeTag(std::string_view text, size_t pos);

// The closing tag of an element whose content is an address ("[/img]"). Once one is missing
// it is missing for every later opening tag too, so each is searched for at most once in vain.
class BBCodeCloseFinder {
  public:
    // `ignoreCase` false: only the spelling given counts.
    BBCodeCloseFinder(std::string_view tag, bool ignoreCase) : tag_(tag), ignoreCase_(ignoreCase) {}

    // The position of the next closing tag at or after `from`, or npos.
    [[nodiscard]] size_t Find(std::string_view text, size_t from);
    [[nodiscard]] size_t TagLength() const { return tag_.size(); }

  private:
    std::string_view tag_;
    bool ignoreCase_;
    bool missing_ = false;
};

}  // namespace lumar
