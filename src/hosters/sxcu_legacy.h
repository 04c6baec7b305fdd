#pragma once
// The older generation of custom uploader files (up to version 13.7) wrote templates as
// "$json:data.url$" and referred to a separate list of patterns with "$regex:N|GROUP$" or
// "$regex:N,GROUP$", the group by number or name.
#include <string>
#include <string_view>
#include <vector>

#include "hosters/text_result.h"

namespace lumar {

// True when the version is 13.7 or older.
bool IsOlderGeneration(std::string_view version);

// True when the text holds a "$name$" or "$name:...$" call of a template function.
bool HasOlderSyntax(std::string_view text);

// The text in the current syntax: "$name:a|b$" becomes "{name:a|b}", "$regex:N|G$" (or "N,G")
// embeds pattern N (counted from 1) of `regex_list`, and characters that are special in the current
// syntax are escaped. "\$" is a literal dollar sign. A regex number outside the list fails.
TextResult ConvertOlderSyntax(std::string_view text, const std::vector<std::string>& regexList);

}  // namespace lumar
