#include "imagelist/image_resize.h"

#include <vips/vips.h>

#include <memory>
#include <mutex>

#include "imagelist/metadata_strip.h"

namespace lumar {
namespace {

struct ImageUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImagePtr = std::unique_ptr<VipsImage, ImageUnref>;

bool StartVips() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        started = vips_init("lumar") == 0;
        // Every picture is shrunk once; cached operations would only hold on to memory.
        if (started) vips_cache_set_max(0);
    });
    return started;
}

// libjpeg keeps the segments libvips asks for (EXIF, colour profile, IPTC) in a list it walks
// to its end for each new one, so a file of very many small segments takes time with their
// square. A camera writes a few dozen; a colour profile takes at most 255.
constexpr size_t kMaxJpegSegments = 1000;

// The loader stops at a picture that ends early instead of filling in what is missing (a grey
// band, a black picture) and reporting success.
constexpr const char* kLoadOptions = "fail_on=truncated";

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

Reason VipsError(ImageType type) {
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    // Worded as stripping words it, whichever loader found it.
    if (Contains(text, "Premature end") || Contains(text, "truncated") ||
        Contains(text, "not enough data") || Contains(text, "libpng read error"))
        return {ReasonCode::kPictureCutShort,
                {type == ImageType::Png    ? "PNG"
                 : type == ImageType::WebP ? "WebP"
                                           : "JPEG"}};
    return {ReasonCode::kImageLibrary,
            {text.empty() ? "the picture could not be processed" : text}};
}

// The picture decoded at the size it is shrunk to and turned upright; null with `error` set
// when it cannot be read. `type` words a picture cut short.
ImagePtr Shrunk(std::string_view encoded, int maxSide, bool strip, ImageType type,
                std::optional<Reason>& error) {
    if (!StartVips()) {
        error = Reason(ReasonCode::kImageLibrary, {"the image library could not be started"});
        return nullptr;
    }
    if (JpegSegmentCount(encoded) > kMaxJpegSegments) {
        error = Reason(ReasonCode::kTooManySegments, {std::to_string(kMaxJpegSegments)});
        return nullptr;
    }
    VipsImage* raw = nullptr;
    // The colour profile is applied to the pixels when metadata is stripped, so colours stay
    // right without it; pictures without a profile are left alone.
    const int failed =
        strip ? vips_thumbnail_buffer(const_cast<char*>(encoded.data()), encoded.size(), &raw,
                                      maxSide, "height", maxSide, "size", VIPS_SIZE_DOWN,
                                      "export_profile", "srgb", "option_string", kLoadOptions,
                                      nullptr)
              : vips_thumbnail_buffer(const_cast<char*>(encoded.data()), encoded.size(), &raw,
                                      maxSide, "height", maxSide, "size", VIPS_SIZE_DOWN,
                                      "option_string", kLoadOptions, nullptr);
    if (failed) {
        error = VipsError(type);
        return nullptr;
    }
    return ImagePtr(raw);
}

ResizeResult Saved(const ImagePtr& image, ImageType type, int quality, bool strip) {
    ResizeResult out;
    void* buffer = nullptr;
    size_t length = 0;
    const int stripFlag = strip ? 1 : 0;
    const int saveFailed =
        type == ImageType::Png
            ? vips_pngsave_buffer(image.get(), &buffer, &length, "strip", stripFlag, nullptr)
        : type == ImageType::WebP ? vips_webpsave_buffer(image.get(), &buffer, &length, "Q",
                                                         quality, "strip", stripFlag, nullptr)
                                  : vips_jpegsave_buffer(image.get(), &buffer, &length, "Q",
                                                         quality, "strip", stripFlag, nullptr);
    if (saveFailed) {
        out.error = VipsError(type);
        return out;
    }
    out.bytes.assign(static_cast<const char*>(buffer), length);
    g_free(buffer);
    out.width = vips_image_get_width(image.get());
    out.height = vips_image_get_height(image.get());
    out.type = type == ImageType::Png || type == ImageType::WebP ? type : ImageType::Jpeg;
    return out;
}

}  // namespace

ResizeResult ResizeImage(std::string_view encoded, const ResizeRequest& request) {
    ResizeResult out;
    const ImagePtr image = Shrunk(encoded, request.maxSide, request.strip, request.type, out.error);
    if (!image) return out;
    return Saved(image, request.type, request.quality, request.strip);
}

ResizeResult MakeThumbnail(std::string_view encoded, int maxSide, int quality) {
    ResizeResult out;
    const ImagePtr image =
        Shrunk(encoded, maxSide, true, ReadImageInfoFromBytes(encoded).Type, out.error);
    if (!image) return out;
    return Saved(image, vips_image_hasalpha(image.get()) ? ImageType::Png : ImageType::Jpeg,
                 quality, true);
}

}  // namespace lumar
