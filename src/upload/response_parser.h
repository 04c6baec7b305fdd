#pragma once
// Cutting an image's forum code out of a hoster's HTML answer with the three markers of its
// row: no HTML parsing, three plain searches that ignore the case of letters.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "hosters/hoster_table.h"

namespace lumar {

// No forum code comes near this; a longer cut is a host's junk, not a code to keep.
inline constexpr size_t kMaxCodeBytes = 64 * 1024;

enum class CutProblem {
    kNone,
    kNoCode,   // the start marker is missing, or the cut cannot be made
    kEmpty,    // the markers meet: nothing between them (after the trim)
    kTooLong,  // more than kMaxCodeBytes between the markers, or after the start without an end
};

struct CodeCut {
    std::string code;  // set only when `problem` is None
    CutProblem problem = CutProblem::kNone;
};

// The code begins with the marker found last and ends before the end marker; every "&amp;"
// (in any case) becomes "&", then TrimCount characters are cut from its end, and control
// characters other than tabs are dropped (they would reach the terminal and the posting).
// NoCode when the start marker is missing or the cut cannot be made (code marker or end marker
// missing after it, or the code shorter than the trim).
CodeCut CutCode(std::string_view answer, const HosterDef& hoster);

// The code of CutCode, or nullopt for any problem.
std::optional<std::string> ExtractCode(std::string_view answer, const HosterDef& hoster);

// Position of the first occurrence of `needle` in `text` at or after `from`, comparing ASCII
// letters without regard to case; npos when there is none. An empty needle is found at `from`.
// Linear in the text and the needle, whatever they hold.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);

}  // namespace lumar
