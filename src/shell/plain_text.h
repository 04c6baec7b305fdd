#pragma once
// Small text helpers the rooms share, on bytes: no locale, no encoding.
#include <string>
#include <string_view>

namespace lumar {

// `text` without the leading and trailing characters found in `blanks`; always a view into
// `text` (all blanks give the empty view at its end).
std::string_view Trim(std::string_view text, std::string_view blanks = " \t");

// `text` with every `from` replaced by `to`, left to right, never rescanning a replacement.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Whether `text` starts with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace lumar
