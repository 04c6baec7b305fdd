#pragma once
// Cutting an image's forum code out of a hoster's HTML answer with the three markers of its
// row: no HTML parsing, three plain searches that ignore the case of letters.
#include <optional>
#include <string>
#include <string_view>

#include "upload/hoster_table.h"

namespace lumar {

// The code, or nullopt when there is none: the start marker is missing, or the cut cannot be
// made (code marker or end marker missing after it, or the code shorter than the trim).
// The code begins with the marker found last and ends before the end marker; every "&amp;"
// (in any case) becomes "&", then TrimCount characters are cut from its end.
std::optional<std::string> ExtractCode(std::string_view answer, const HosterDef& hoster);

// Position of the first occurrence of `needle` in `text` at or after `from`, comparing ASCII
// letters without regard to case; npos when there is none. An empty needle is found at `from`.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);

}  // namespace lumar
