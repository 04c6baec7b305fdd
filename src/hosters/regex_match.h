#pragma once
// Regular expressions over host answers with PCRE2, bounded: a pattern that backtracks
// catastrophically on a long answer stops at its match limit instead of hanging the upload
// (and never recurses on the stack, as std::regex does).
#include <cstdint>
#include <string>
#include <string_view>

#include "hosters/text_result.h"

namespace lumar {

// Empty when the pattern compiles, else the compiler's reason.
std::string RegexPatternProblem(std::string_view pattern);

// The text of `group` (a number, or a name of a named group; empty = the whole match) in the
// first match of `pattern` in `input`; empty text when nothing matches or the group took no
// part. A bad pattern, an unknown group or a match that hits its limit is a failure.
//
// With `stepsLeft`, the match also draws on that budget (one step for each item of the
// pattern it tries) and fails once it is used up, so many calls on one answer cannot add up
// to what one call may not do.
TextResult MatchRegex(std::string_view input, std::string_view pattern, std::string_view group,
                      std::uint64_t* stepsLeft = nullptr);

}  // namespace lumar
