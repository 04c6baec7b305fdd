#include "imagelist/metadata_strip.h"

#include <array>
#include <cstdint>

namespace lumar {
namespace {

unsigned Byte(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

unsigned BigEndian16(std::string_view bytes, size_t at) {
    return Byte(bytes, at) << 8 | Byte(bytes, at + 1);
}

std::uint32_t BigEndian32(std::string_view bytes, size_t at) {
    return static_cast<std::uint32_t>(BigEndian16(bytes, at)) << 16 | BigEndian16(bytes, at + 2);
}

std::uint32_t LittleEndian32(std::string_view bytes, size_t at) {
    return Byte(bytes, at) | Byte(bytes, at + 1) << 8 | Byte(bytes, at + 2) << 16 |
           static_cast<std::uint32_t>(Byte(bytes, at + 3)) << 24;
}

StripResult Failure(ReasonCode code, const char* type) {
    return Reason(code, {type});
}

// --- JPEG -------------------------------------------------------------------------------

constexpr unsigned kStartOfScan = 0xDA;
constexpr unsigned kEndOfImage = 0xD9;
constexpr unsigned kComment = 0xFE;

bool IsStandalone(unsigned marker) {
    return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01;
}

// Inside compressed data a 0xFF byte is followed by 0x00 (a stuffed data byte) or by a
// restart marker; anything else starts the next segment.
size_t NextMarker(std::string_view jpeg, size_t pos) {
    for (; pos + 1 < jpeg.size(); ++pos) {
        if (Byte(jpeg, pos) != 0xFF) continue;
        const unsigned next = Byte(jpeg, pos + 1);
        if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) return pos;
    }
    return jpeg.size();
}

// The orientation tag of IFD0 in an APP1 body ("Exif\0\0" and a TIFF structure), 1 when the
// block holds none or cannot be read.
int ExifOrientation(std::string_view body) {
    if (body.size() < 14 || body.substr(0, 6) != std::string_view("Exif\0\0", 6)) return 1;
    const std::string_view tiff = body.substr(6);
    const bool little = tiff.substr(0, 4) == std::string_view("II*\0", 4);
    if (!little && tiff.substr(0, 4) != std::string_view("MM\0*", 4)) return 1;
    auto word = [&](size_t at) -> unsigned {
        return little ? Byte(tiff, at) | Byte(tiff, at + 1) << 8 : BigEndian16(tiff, at);
    };
    auto dword = [&](size_t at) -> std::uint32_t {
        return little ? LittleEndian32(tiff, at) : BigEndian32(tiff, at);
    };
    const std::uint64_t ifd = dword(4);
    if (ifd + 2 > tiff.size()) return 1;
    const unsigned count = word(ifd);
    for (unsigned i = 0; i < count; ++i) {
        const std::uint64_t entry = ifd + 2 + 12ull * i;
        if (entry + 12 > tiff.size()) return 1;
        // Tag 0x0112, type SHORT, one value held in the entry itself.
        if (word(entry) != 0x0112) continue;
        const unsigned value = word(entry + 8);
        return word(entry + 2) == 3 && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

// An APP1 segment with one IFD of one entry: the orientation.
std::string MinimalExif(int orientation) {
    static constexpr std::array<unsigned char, 36> kSegment = {
        0xFF, 0xE1, 0x00, 0x22, 'E',  'x',  'i',  'f',  0x00, 0x00, 'M',  'M',
        0x00, 0x2A, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x01, 0x12, 0x00, 0x03,
        0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::string segment(kSegment.begin(), kSegment.end());
    segment[29] = static_cast<char>(orientation);
    return segment;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool KeepsApp(unsigned marker, std::string_view body) {
    if (marker == 0xE0 || marker == 0xEE) return true;  // JFIF, Adobe (colour transform)
    return marker == 0xE2 && StartsWith(body, std::string_view("ICC_PROFILE\0", 12));
}

}  // namespace

int JpegOrientation(std::string_view jpeg) {
    if (jpeg.size() < 4 || BigEndian16(jpeg, 0) != 0xFFD8) return 1;
    for (size_t pos = 2; pos + 4 <= jpeg.size();) {
        if (Byte(jpeg, pos) != 0xFF) return 1;
        const unsigned marker = Byte(jpeg, pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (IsStandalone(marker)) {
            pos += 2;
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage) return 1;
        const size_t length = BigEndian16(jpeg, pos + 2);
        if (length < 2 || pos + 2 + length > jpeg.size()) return 1;
        if (marker == 0xE1) {
            const int orientation = ExifOrientation(jpeg.substr(pos + 4, length - 2));
            if (orientation != 1) return orientation;
        }
        pos += 2 + length;
    }
    return 1;
}

size_t JpegSegmentCount(std::string_view jpeg) {
    if (jpeg.size() < 4 || BigEndian16(jpeg, 0) != 0xFFD8) return 0;
    size_t count = 0;
    for (size_t pos = 2; pos + 4 <= jpeg.size();) {
        if (Byte(jpeg, pos) != 0xFF) {  // compressed data, or bytes no segment claims
            pos = NextMarker(jpeg, pos);
            continue;
        }
        const unsigned marker = Byte(jpeg, pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == kEndOfImage) break;
        if (IsStandalone(marker) || marker == 0x00) {
            pos += 2;
            continue;
        }
        ++count;
        pos += 2 + BigEndian16(jpeg, pos + 2);
    }
    return count;
}

StripResult StripJpegMetadata(std::string_view jpeg) {
    if (jpeg.size() < 4 || BigEndian16(jpeg, 0) != 0xFFD8)
        return Failure(ReasonCode::kNotOfType, "JPEG");
    std::string out("\xFF\xD8", 2);
    bool exifWritten = false;
    bool inScan = false;
    size_t pos = 2;
    while (true) {
        if (inScan) {
            const size_t marker = NextMarker(jpeg, pos);
            out.append(jpeg.substr(pos, marker - pos));
            // A file cut short in its image data still shows what it holds; keep it so.
            if (marker >= jpeg.size()) break;
            pos = marker;
        }
        if (pos + 2 > jpeg.size() || Byte(jpeg, pos) != 0xFF)
            return Failure(ReasonCode::kPictureDamaged, "JPEG");
        const unsigned marker = Byte(jpeg, pos + 1);
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == kEndOfImage) {
            // What follows the image (a second picture, a phone's video) keeps its own metadata.
            if (!inScan) return Failure(ReasonCode::kNoImageData, "JPEG");
            out.append("\xFF\xD9", 2);
            break;
        }
        if (IsStandalone(marker)) {
            out.append(jpeg.substr(pos, 2));
            pos += 2;
            continue;
        }
        if (pos + 4 > jpeg.size()) return Failure(ReasonCode::kPictureCutShort, "JPEG");
        const size_t length = BigEndian16(jpeg, pos + 2);
        if (length < 2 || pos + 2 + length > jpeg.size())
            return Failure(ReasonCode::kPictureCutShort, "JPEG");
        const std::string_view segment = jpeg.substr(pos, 2 + length);
        const std::string_view body = segment.substr(4);
        pos += segment.size();
        if (marker >= 0xE0 && marker <= 0xEF) {
            if (marker == 0xE1 && !exifWritten) {
                const int orientation = ExifOrientation(body);
                if (orientation != 1) {
                    out += MinimalExif(orientation);
                    exifWritten = true;
                }
            }
            if (!KeepsApp(marker, body)) continue;
        } else if (marker == kComment) {
            continue;
        }
        out.append(segment);
        if (marker == kStartOfScan) inScan = true;
    }
    return out;
}

// --- PNG --------------------------------------------------------------------------------

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

bool IsAnimation(std::string_view bytes) {
    if (StartsWith(bytes, "RIFF") && bytes.size() > 20 && bytes.substr(12, 4) == "VP8X")
        return (bytes[20] & 0x02) != 0;
    if (!StartsWith(bytes, kPngSignature)) return false;
    for (size_t pos = kPngSignature.size(); pos + 12 <= bytes.size();) {
        const std::string_view type = bytes.substr(pos + 4, 4);
        if (type == "acTL") return true;
        if (type == "IDAT") return false;
        pos += 12 + static_cast<size_t>(BigEndian32(bytes, pos));
    }
    return false;
}

StripResult StripPngMetadata(std::string_view png) {
    if (!StartsWith(png, kPngSignature)) return Failure(ReasonCode::kNotOfType, "PNG");
    static constexpr std::array<std::string_view, 5> kDropped = {"tEXt", "zTXt", "iTXt", "eXIf",
                                                                 "tIME"};
    std::string out(kPngSignature);
    for (size_t pos = kPngSignature.size();;) {
        if (pos + 12 > png.size()) return Failure(ReasonCode::kPictureCutShort, "PNG");
        const std::uint64_t length = BigEndian32(png, pos);
        if (length > png.size() - pos - 12) return Failure(ReasonCode::kPictureCutShort, "PNG");
        const std::string_view chunk = png.substr(pos, 12 + length);
        const std::string_view type = chunk.substr(4, 4);
        pos += chunk.size();
        bool dropped = false;
        for (std::string_view name : kDropped) dropped = dropped || type == name;
        if (!dropped) out.append(chunk);
        if (type == "IEND") break;
    }
    return out;
}

// --- WebP -------------------------------------------------------------------------------

StripResult StripWebPMetadata(std::string_view webp) {
    if (webp.size() < 12 || !StartsWith(webp, "RIFF") || webp.substr(8, 4) != "WEBP")
        return Failure(ReasonCode::kNotOfType, "WebP");
    std::string out(webp.substr(0, 12));
    size_t flagsAt = 0;
    for (size_t pos = 12; pos < webp.size();) {
        if (pos + 8 > webp.size()) return Failure(ReasonCode::kPictureCutShort, "WebP");
        const std::uint64_t length = LittleEndian32(webp, pos + 4);
        const std::uint64_t padded = length + (length & 1);
        if (padded > webp.size() - pos - 8) return Failure(ReasonCode::kPictureCutShort, "WebP");
        const std::string_view chunk = webp.substr(pos, 8 + padded);
        const std::string_view type = chunk.substr(0, 4);
        pos += chunk.size();
        if (type == "EXIF" || type == "XMP ") continue;
        if (type == "VP8X" && length >= 1) flagsAt = out.size() + 8;
        out.append(chunk);
    }
    if (flagsAt) out[flagsAt] = static_cast<char>(Byte(out, flagsAt) & ~0x0Cu);  // EXIF, XMP
    const std::uint32_t riff = static_cast<std::uint32_t>(out.size() - 8);
    for (size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(riff >> (8 * i) & 0xFF);
    return out;
}

}  // namespace lumar
