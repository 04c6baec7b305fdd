#pragma once
// What a list row needs from any picture file it takes: the type, found by content, the pixel
// size from the file's header and the length. PNG, GIF and WebP are judged by their first few
// bytes; anything else goes through the JPEG segment walk.
#include <cstdint>
#include <string>
#include <string_view>

namespace lumar {

enum class ImageType { None, Jpeg, Png, Gif, WebP };

struct ImageInfo {
    ImageType Type = ImageType::None;
    int Width = 0;  // 0 when the header is cut short or names no size
    int Height = 0;
    std::int64_t FileSize = 0;

    bool IsImage() const { return Type != ImageType::None; }
    friend bool operator==(const ImageInfo&, const ImageInfo&) = default;
};

// Never fails: a missing, empty, unreadable or non-regular file gives Type None. A PNG, GIF or
// WebP file is taken only with its whole size header: one cut short before it, or naming a
// kind of WebP chunk not known here, gives Type None (unlike a JPEG file, whose frame header
// may lie far behind its start).
ImageInfo ReadImageInfo(const std::string& path);

// The same over bytes held in memory; FileSize is bytes.size().
ImageInfo ReadImageInfoFromBytes(std::string_view bytes);

}  // namespace lumar
