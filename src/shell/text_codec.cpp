#include "shell/text_codec.h"

#include <array>
#include <cstdint>

namespace lumar {
namespace {

// Code points of bytes 0x80..0x9F; the undefined ones keep their own value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at bytes[i]; advances i. Returns nullopt on malformed input.
std::optional<char32_t> NextCodePoint(std::string_view bytes, size_t& i) {
    const auto b0 = static_cast<uint8_t>(bytes[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t extra;
    char32_t cp;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + extra >= bytes.size()) return std::nullopt;
    for (size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<uint8_t>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    i += extra + 1;
    return cp;
}

bool HasNonAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<uint8_t>(c) >= 0x80) return true;
    return false;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size())
        if (!NextCodePoint(bytes, i)) return false;
    return true;
}

TextEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with(kBom)) return TextEncoding::kUtf8Bom;
    if (HasNonAscii(bytes) && IsValidUtf8(bytes)) return TextEncoding::kUtf8;
    return TextEncoding::kWindows1252;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        const char32_t cp = (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : b;
        AppendUtf8(out, cp);
    }
    return out;
}

std::optional<std::string> Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto cp = NextCodePoint(utf8, i);
        if (!cp) return std::nullopt;
        if (*cp < 0x80 || (*cp >= 0xA0 && *cp <= 0xFF)) {
            out += static_cast<char>(*cp);
            continue;
        }
        bool found = false;
        for (size_t k = 0; k < kHighControls.size(); ++k) {
            if (kHighControls[k] == *cp) {
                out += static_cast<char>(0x80 + k);
                found = true;
                break;
            }
        }
        if (!found) return std::nullopt;
    }
    return out;
}

DecodedText DecodeFileText(std::string_view bytes) {
    switch (DetectEncoding(bytes)) {
        case TextEncoding::kUtf8Bom:
            return {std::string(bytes.substr(kBom.size())), TextEncoding::kUtf8Bom};
        case TextEncoding::kUtf8:
            return {std::string(bytes), TextEncoding::kUtf8};
        case TextEncoding::kWindows1252:
            break;
    }
    return {Windows1252ToUtf8(bytes), TextEncoding::kWindows1252};
}

EncodedText EncodeFileText(std::string_view utf8, TextEncoding preferred) {
    if (preferred == TextEncoding::kWindows1252) {
        // Windows-1252 bytes that happen to form valid UTF-8 (say "Ã¤") would be read back as
        // UTF-8 and change; a BOM keeps such a file unambiguous.
        if (auto ansi = Utf8ToWindows1252(utf8); ansi && DetectEncoding(*ansi) == preferred)
            return {std::move(*ansi), preferred};
        if (DetectEncoding(utf8) == TextEncoding::kUtf8)
            return {std::string(utf8), TextEncoding::kUtf8};
        return {std::string(kBom) + std::string(utf8), TextEncoding::kUtf8Bom};
    }
    if (preferred == TextEncoding::kUtf8Bom)
        return {std::string(kBom) + std::string(utf8), preferred};
    return {std::string(utf8), TextEncoding::kUtf8};
}

}  // namespace lumar
