#pragma once
// Conversion between the 8-bit text files Lumar shares with older Windows installs
// (Windows-1252) and the UTF-8 text the program works with internally.
//
// Every byte of Windows-1252 maps to exactly one code point and back, including the five
// bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), which map to the C1
// controls of the same value. So a Windows-1252 file survives a read and a write unchanged.
#include <optional>
#include <string>
#include <string_view>

namespace lumar {

enum class TextEncoding {
    kWindows1252,  // the classic code page; pure ASCII files count as this
    kUtf8,         // valid UTF-8 holding at least one non-ASCII character, without BOM
    kUtf8Bom,      // UTF-8 starting with EF BB BF
};

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// How a file's bytes are to be read: a BOM means UTF-8; valid UTF-8 with non-ASCII bytes is
// UTF-8; anything else (pure ASCII included) is Windows-1252.
TextEncoding DetectEncoding(std::string_view bytes);

// Windows-1252 bytes to UTF-8. Never fails.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text to Windows-1252 bytes, or nullopt when a character has no Windows-1252 byte
// (or the input is not valid UTF-8).
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

// A file's bytes as UTF-8 text (BOM removed), with the encoding they were in.
struct DecodedText {
    std::string text;
    TextEncoding encoding;
};
DecodedText DecodeFileText(std::string_view bytes);

// UTF-8 text as file bytes. A Windows-1252 file keeps its encoding while every character
// fits; otherwise the text is written as UTF-8 (with a BOM when the file had one), so
// nothing is lost. Returns the encoding used next to the bytes.
struct EncodedText {
    std::string bytes;
    TextEncoding encoding;
};
EncodedText EncodeFileText(std::string_view utf8, TextEncoding preferred);

}  // namespace lumar
