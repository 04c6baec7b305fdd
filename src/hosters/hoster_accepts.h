#pragma once
// Which picture types a row takes (hosters.ini key Accepts, e.g. "jpeg,png"). The hosts the
// classic rows were made for take JPEG files only; today's hosts take all four types.
#include <optional>
#include <string>
#include <string_view>

#include "hosters/hoster_table.h"
#include "imagelist/image_info.h"

namespace lumar {

// The list in its written form ("jpeg,png,gif,webp", "jpg" read as "jpeg", commas or "|"
// between items, any case), or nothing when an item names no type Lumar knows. An empty text
// gives "", the default of the row's kind.
std::optional<std::string> ParseAcceptedTypes(std::string_view text);

bool RowAccepts(const HosterDef& row, ImageType type);

// Whether the row takes JPEG files and nothing else.
bool RowTakesJpegOnly(const HosterDef& row);

// "PNG", "GIF", "WebP", "JPEG".
std::string_view ImageTypeName(ImageType type);

}  // namespace lumar
