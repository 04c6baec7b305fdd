#pragma once
// The hosters.ini keys of standard rows: how each is read into a HosterDef, and what a
// standard row must hold to be usable.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosters/hoster_table.h"

namespace lumar {

// Request comes first: whether the other keys are needed depends on it.
inline constexpr std::array<std::string_view, 17> kStandardKeys = {
    "Request",     "Method",       "Body",        "Headers",      "Parameters",     "CaFile",
    "URL",         "ThumbnailURL", "DeletionURL", "ErrorMessage", "CodeStyle",      "MaxFileSize",
    "Connections", "Retries",      "Accepts",     "Secrets",      "DeletionConfirm"};

// Sets the field of one of kStandardKeys from its text; returns why the text is refused,
// empty when it was taken.
std::string ApplyStandardKey(HosterDef& row, std::string_view key, const std::string& value);

// What keeps a standard row from being used: an UploadUrl that is no http(s) URL, a multipart
// body without FileField, an answer template that cannot be read. Empty for classic rows.
std::vector<std::string> StandardRowProblems(const HosterDef& row);

// "200000", "200 kB", "2MB": a byte count, kB and MB counted in 1024s.
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

}  // namespace lumar
