#pragma once
// Numbers as text, the same whatever locale the process runs under. The C library's
// conversions (strtod, printf) follow the locale a desktop session sets, so a German session
// would read "150.0" as 150 and write "2,500000" into files meant for every session.
#include <optional>
#include <string>
#include <string_view>

namespace lumar {

// The whole text as a number with "." as decimal point (optional sign, digits, fraction,
// exponent, as strtod reads them in the C locale); nullopt when anything else is in it.
std::optional<double> ParseNumber(std::string_view text);

// `value` with exactly `decimals` decimals, rounded, with `decimalSeparator` in place of the
// point (a display text passes the user's separator; files keep ".").
std::string FormatFixed(double value, int decimals, std::string_view decimalSeparator = ".");

}  // namespace lumar
