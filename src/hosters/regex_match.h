#pragma once
// Regular expressions over host answers with PCRE2, bounded: a pattern that backtracks
// catastrophically on a long answer stops at its match limit instead of hanging the upload
// (and never recurses on the stack, as std::regex does).
#include <string>
#include <string_view>

#include "hosters/text_result.h"

namespace lumar {

// Empty when the pattern compiles, else the compiler's reason.
std::string RegexPatternProblem(std::string_view pattern);

// The text of `group` (a number, or a name of a named group; empty = the whole match) in the
// first match of `pattern` in `input`; empty text when nothing matches or the group took no
// part. A bad pattern, an unknown group or a match that hits its limit is a failure.
TextResult MatchRegex(std::string_view input, std::string_view pattern, std::string_view group);

}  // namespace lumar
