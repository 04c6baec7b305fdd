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

// Whether `needle` occurs in `haystack`, in time linear in both even for a haystack of the
// needle's first byte over and over (a picture scanned for a multipart boundary).
bool Holds(std::string_view haystack, std::string_view needle);

// Whether `text` starts with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Text as the user may see it in a terminal or a text box, with control characters written
// out ("\n", "\r", "\t", "\x1B"): a name with a line break cannot start a line of its own,
// nor ESC drive the terminal. For text Lumar did not write itself. `keepTabs` leaves tabs as
// they are, for text shown as a block rather than in tab-separated columns.
std::string Printable(std::string_view text, bool keepTabs = false);

// At most `maxBytes` of `text`, never ending inside a UTF-8 sequence, with "..." in place of
// what is cut (counted in `maxBytes`); `text` itself when it fits.
std::string Shortened(std::string_view text, size_t maxBytes);

}  // namespace lumar
