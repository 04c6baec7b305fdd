#pragma once
// The text forms of the numeric columns of an image row.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumar {

// Blanks in front of the text until it is `width` characters long; longer text stays as it is.
std::string AlignRight(std::string_view text, std::size_t width);

// Bytes / 1024 with exactly one decimal and no digit before the separator below 1 kB:
// 512 -> ".5", 153600 -> "150.0". `decimalSeparator` is the user's locale separator.
std::string KilobyteText(std::int64_t bytes, char decimalSeparator = '.');

// The value KilobyteText shows, as a number: 512 -> 0.5. Totals add what the user sees.
double Kilobytes(std::int64_t bytes);

// Padding widths of rows that come from a folder scan.
inline constexpr std::size_t kFolderSizeWidth = 4;  // width and height columns
inline constexpr std::size_t kFolderKbWidth = 6;    // kB column

}  // namespace lumar
