#include "imagelist/row_text.h"

#include <charconv>

namespace lumar {

std::string AlignRight(std::string_view text, std::size_t width) {
    std::string out;
    if (text.size() < width) out.assign(width - text.size(), ' ');
    out += text;
    return out;
}

std::string KilobyteText(std::int64_t bytes, char decimalSeparator) {
    if (bytes < 0) bytes = 0;
    // Tenths of a kB, halves rounded up, in integers so large files stay exact.
    const std::int64_t tenths = (bytes / 1024) * 10 + ((bytes % 1024) * 10 + 512) / 1024;
    const std::int64_t whole = tenths / 10;
    std::string out = whole == 0 ? std::string() : std::to_string(whole);
    out += decimalSeparator;
    out += static_cast<char>('0' + tenths % 10);
    return out;
}

double KilobyteValue(std::string_view text, char decimalSeparator) {
    std::string s;
    for (char c : text) {
        if (c == ' ') continue;
        s += (c == decimalSeparator) ? '.' : c;
    }
    // The number at the start counts, whatever follows it.
    double value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    return result.ec == std::errc() ? value : 0;
}

}  // namespace lumar
