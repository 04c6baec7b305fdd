#include "imagelist/image_info.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>

#include "imagelist/jpeg_info.h"
#include "shell/file_io.h"

namespace lumar {

namespace {

// Enough for every header judged by its first bytes: the WebP VP8X canvas ends at byte 30.
constexpr std::size_t kHeadBytes = 32;

// The first read of a file: a JPEG's frame header lies within it unless an APP1 segment (at
// most 64 KiB) or several fill the start, and then the walk reads on.
constexpr std::int64_t kFirstRead = 64 * 1024;

bool StartsWith(std::string_view bytes, std::string_view magic, std::size_t at = 0) {
    return bytes.size() >= at + magic.size() && bytes.substr(at, magic.size()) == magic;
}

unsigned Byte(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

std::uint32_t BigEndian32(std::string_view b, std::size_t at) {
    return std::uint32_t{Byte(b, at)} << 24 | Byte(b, at + 1) << 16 | Byte(b, at + 2) << 8 |
           Byte(b, at + 3);
}

unsigned LittleEndian16(std::string_view b, std::size_t at) {
    return Byte(b, at) | Byte(b, at + 1) << 8;
}

std::uint32_t LittleEndian24(std::string_view b, std::size_t at) {
    return Byte(b, at) | Byte(b, at + 1) << 8 | std::uint32_t{Byte(b, at + 2)} << 16;
}

bool SetSize(ImageInfo& info, ImageType type, std::uint32_t width, std::uint32_t height) {
    // A PNG may claim up to 2^32 - 1 pixels, which no int holds: no picture of that size exists.
    constexpr auto kMax = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
    if (width > kMax || height > kMax) return false;
    info.Type = type;
    info.Width = static_cast<int>(width);
    info.Height = static_cast<int>(height);
    return true;
}

// The first chunk after the signature must be IHDR: width and height, 4 bytes each.
bool ReadPng(std::string_view head, ImageInfo& info) {
    return head.size() >= 24 && StartsWith(head, "IHDR", 12) &&
           SetSize(info, ImageType::kPng, BigEndian32(head, 16), BigEndian32(head, 20));
}

// The logical screen follows the six-byte signature.
bool ReadGif(std::string_view head, ImageInfo& info) {
    return head.size() >= 10 &&
           SetSize(info, ImageType::kGif, LittleEndian16(head, 6), LittleEndian16(head, 8));
}

// The first chunk after "RIFF" size "WEBP" tells the kind: lossy, lossless or extended.
bool ReadWebP(std::string_view head, ImageInfo& info) {
    constexpr std::size_t kData = 20;
    constexpr ImageType kType = ImageType::kWebP;
    if (StartsWith(head, "VP8 ", 12) && head.size() >= kData + 10 &&
        StartsWith(head, "\x9D\x01\x2A", kData + 3))
        return SetSize(info, kType, LittleEndian16(head, kData + 6) & 0x3FFF,
                       LittleEndian16(head, kData + 8) & 0x3FFF);
    if (StartsWith(head, "VP8L", 12) && head.size() >= kData + 5 && Byte(head, kData) == 0x2F) {
        const std::uint32_t bits = Byte(head, kData + 1) | Byte(head, kData + 2) << 8 |
                                   Byte(head, kData + 3) << 16 |
                                   std::uint32_t{Byte(head, kData + 4)} << 24;
        return SetSize(info, kType, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (StartsWith(head, "VP8X", 12) && head.size() >= kData + 10)
        return SetSize(info, kType, LittleEndian24(head, kData + 4) + 1,
                       LittleEndian24(head, kData + 7) + 1);
    return false;
}

// True when the head is a complete header of one of the formats judged by their first bytes.
bool ReadHead(std::string_view head, ImageInfo& info) {
    if (StartsWith(head, "\x89PNG\r\n\x1A\n")) return ReadPng(head, info);
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) return ReadGif(head, info);
    if (StartsWith(head, "RIFF") && StartsWith(head, "WEBP", 8)) return ReadWebP(head, info);
    return false;
}

// The walk may meet a frame header before any start marker; what is no picture has no size.
ImageInfo FromJpeg(const JpegInfo& jpeg) {
    ImageInfo info;
    info.FileSize = jpeg.FileSize;
    if (!jpeg.IsJpeg) return info;
    info.Type = ImageType::kJpeg;
    info.Width = jpeg.Width;
    info.Height = jpeg.Height;
    return info;
}

}  // namespace

ImageInfo ReadImageInfoFromBytes(std::string_view bytes) {
    ImageInfo info;
    if (ReadHead(bytes.substr(0, kHeadBytes), info)) {
        info.FileSize = static_cast<std::int64_t>(bytes.size());
        return info;
    }
    return FromJpeg(ReadJpegInfoFromBytes(bytes));
}

ImageInfo ReadImageInfo(const std::string& path) {
    std::optional<FileKey> key;
    return ReadImageInfo(path, key);
}

ImageInfo ReadImageInfo(const std::string& path, std::optional<FileKey>& key, bool knownRegular) {
    key.reset();
    struct stat opened {};
    const FileDescriptor fd = OpenForHeader(path, knownRegular, opened);
    if (!fd) return {};
    key = FileKey{opened.st_dev, opened.st_ino};
    if (opened.st_size <= 0) return {};
    // Not cleared: only what the read fills is looked at.
    const auto capacity =
        static_cast<std::size_t>(std::min<std::int64_t>(opened.st_size, kFirstRead));
    const auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t have = 0;
    while (have < capacity) {
        const ssize_t got = ::read(fd.Get(), buffer.get() + have, capacity - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    ImageInfo info;
    info.FileSize = static_cast<std::int64_t>(opened.st_size);
    if (ReadHead(std::string_view(buffer.get(), std::min(have, kHeadBytes)), info)) return info;
    return FromJpeg(ReadJpegInfoFrom(fd.Get(), opened, {buffer.get(), capacity}, have));
}

}  // namespace lumar
