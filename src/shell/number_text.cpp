#include "shell/number_text.h"

#include <charconv>

namespace lumar {

std::optional<double> ParseNumber(std::string_view text) {
    // from_chars takes no "+", which strtod (and so every file written so far) allows.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

std::string FormatFixed(double value, int decimals, std::string_view decimalSeparator) {
    // Room for every finite double: up to 309 integer digits, the point and the decimals.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text = result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
    if (const size_t point = text.find('.'); point != std::string::npos)
        text.replace(point, 1, decimalSeparator);
    return text;
}

}  // namespace lumar
