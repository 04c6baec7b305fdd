#include "imagelist/row_text.h"

namespace lumar {

std::string AlignRight(std::string_view text, std::size_t width) {
    std::string out;
    if (text.size() < width) out.assign(width - text.size(), ' ');
    out += text;
    return out;
}

namespace {

// Tenths of a kB, halves rounded up, in integers so large files stay exact.
std::int64_t KilobyteTenths(std::int64_t bytes) {
    if (bytes < 0) bytes = 0;
    return (bytes / 1024) * 10 + ((bytes % 1024) * 10 + 512) / 1024;
}

}  // namespace

std::string KilobyteText(std::int64_t bytes, char decimalSeparator) {
    const std::int64_t tenths = KilobyteTenths(bytes);
    const std::int64_t whole = tenths / 10;
    std::string out = whole == 0 ? std::string() : std::to_string(whole);
    out += decimalSeparator;
    out += static_cast<char>('0' + tenths % 10);
    return out;
}

double Kilobytes(std::int64_t bytes) {
    return static_cast<double>(KilobyteTenths(bytes)) / 10;
}

}  // namespace lumar
