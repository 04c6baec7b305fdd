#pragma once
// Shrinking a picture through libvips. libvips was chosen over libjpeg-turbo's scaling
// decoder because it streams the picture through in small regions, decodes a JPEG at a
// fraction of its size when that is all the result needs (shrink-on-load), and reads and
// writes PNG and WebP the same way, so a 12-megapixel photo costs little time and memory.
#include <optional>
#include <string>
#include <string_view>

#include "imagelist/image_info.h"
#include "shell/outcome.h"

namespace lumar {

struct ResizeRequest {
    int maxSide = 0;  // the longest side of the result, > 0; never enlarged
    int quality = 85;
    bool strip = false;                 // write no metadata at all
    ImageType type = ImageType::kJpeg;  // the result's format: PNG and WebP stay, else JPEG
};

struct ResizeResult {
    std::string bytes;
    int width = 0;
    int height = 0;
    ImageType type = ImageType::kNone;  // of `bytes`
    std::optional<Reason> error;        // none on success
};

// The picture in `encoded` with its EXIF orientation applied to the pixels, shrunk to fit
// maxSide x maxSide. Safe to call from several threads.
ResizeResult ResizeImage(std::string_view encoded, const ResizeRequest& request);

// A thumbnail of the picture in `encoded` (any type the library reads; an animation gives its
// first frame): upright, at most maxSide x maxSide, without any metadata, as JPEG at `quality`,
// or as PNG when the picture has transparency, which JPEG would turn black.
ResizeResult MakeThumbnail(std::string_view encoded, int maxSide, int quality);

}  // namespace lumar
