#pragma once
// What a list row needs from any picture file it takes: the type, found by content, the pixel
// size from the file's header and the length. PNG, GIF and WebP are judged by their first few
// bytes; anything else goes through the JPEG segment walk.
#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumar {

enum class ImageType { kNone, kJpeg, kPng, kGif, kWebP };

struct ImageInfo {
    ImageType Type = ImageType::kNone;
    int Width = 0;  // 0 when the header is cut short or names no size
    int Height = 0;
    std::int64_t FileSize = 0;

    [[nodiscard]] bool IsImage() const { return Type != ImageType::kNone; }
    friend bool operator==(const ImageInfo&, const ImageInfo&) = default;
};

// Which file a path reaches: hard links and links to one file share it.
struct FileKey {
    dev_t device = 0;
    ino_t inode = 0;
    friend auto operator<=>(const FileKey&, const FileKey&) = default;
};

// Never fails: a missing, empty, unreadable or non-regular file gives Type None. A PNG, GIF or
// WebP file is taken only with its whole size header: one cut short before it, or naming a
// kind of WebP chunk not known here, gives Type None (unlike a JPEG file, whose frame header
// may lie far behind its start).
// One open, and one read when the header lies within the first 64 KiB.
ImageInfo ReadImageInfo(const std::string& path);

// The same for a caller that needs to know which file it read: `key` is the opened file's (none
// when no regular file could be opened). `knownRegular`: a directory listing said the path is a
// regular file, so it is opened without a look first.
ImageInfo ReadImageInfo(const std::string& path, std::optional<FileKey>& key,
                        bool knownRegular = false);

// The same over bytes held in memory; FileSize is bytes.size().
ImageInfo ReadImageInfoFromBytes(std::string_view bytes);

}  // namespace lumar
