#include "imagelist/image_resize.h"

#include <dlfcn.h>
#include <vips/vips.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

#include "imagelist/metadata_strip.h"

namespace lumar {
namespace {

// libvips, and the hundred libraries it reads and writes pictures with, are loaded when the
// first picture is shrunk, not when a program starts: loading them takes longer than a
// lumar-cli listing of thousands of files, which never shrinks one.
struct VipsLibrary {
    decltype(&::vips_init) init = nullptr;
    decltype(&::vips_cache_set_max) cacheSetMax = nullptr;
    decltype(&::vips_concurrency_set) concurrencySet = nullptr;
    decltype(&::vips_error_buffer) errorBuffer = nullptr;
    decltype(&::vips_error_clear) errorClear = nullptr;
    decltype(&::vips_thumbnail_buffer) thumbnailBuffer = nullptr;
    decltype(&::vips_jpegsave_buffer) jpegsaveBuffer = nullptr;
    decltype(&::vips_pngsave_buffer) pngsaveBuffer = nullptr;
    decltype(&::vips_webpsave_buffer) webpsaveBuffer = nullptr;
    decltype(&::vips_image_get_width) imageGetWidth = nullptr;
    decltype(&::vips_image_get_height) imageGetHeight = nullptr;
    decltype(&::vips_image_hasalpha) imageHasalpha = nullptr;
    decltype(&::g_object_unref) objectUnref = nullptr;
    decltype(&::g_free) free = nullptr;

    // False when the library or one of its functions is missing. It is never unloaded:
    // libvips keeps threads and types of its own once started.
    bool Load() {
        void* handle = ::dlopen(LUMAR_VIPS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return false;
        bool complete = true;
        const auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                ::dlsym(handle, name));
            complete = complete && function != nullptr;
        };
        bind(init, "vips_init");
        bind(cacheSetMax, "vips_cache_set_max");
        bind(concurrencySet, "vips_concurrency_set");
        bind(errorBuffer, "vips_error_buffer");
        bind(errorClear, "vips_error_clear");
        bind(thumbnailBuffer, "vips_thumbnail_buffer");
        bind(jpegsaveBuffer, "vips_jpegsave_buffer");
        bind(pngsaveBuffer, "vips_pngsave_buffer");
        bind(webpsaveBuffer, "vips_webpsave_buffer");
        bind(imageGetWidth, "vips_image_get_width");
        bind(imageGetHeight, "vips_image_get_height");
        bind(imageHasalpha, "vips_image_hasalpha");
        bind(objectUnref, "g_object_unref");
        bind(free, "g_free");
        return complete;
    }
};

VipsLibrary vips;

bool StartVips() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        started = vips.Load() && vips.init("lumar") == 0;
        if (!started) return;
        // Every picture is shrunk once; cached operations would only hold on to memory.
        vips.cacheSetMax(0);
        // One core stays with the window and the network loop.
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        vips.concurrencySet(std::max(cores - 1, 1));
    });
    return started;
}

struct ImageUnref {
    void operator()(VipsImage* image) const { vips.objectUnref(image); }
};
using ImagePtr = std::unique_ptr<VipsImage, ImageUnref>;

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
    std::string text = vips.errorBuffer();
    vips.errorClear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    // Worded as stripping words it, whichever loader found it.
    if (Contains(text, "Premature end") || Contains(text, "truncated") ||
        Contains(text, "not enough data") || Contains(text, "libpng read error"))
        return {ReasonCode::kPictureCutShort,
                {type == ImageType::kPng    ? "PNG"
                 : type == ImageType::kWebP ? "WebP"
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
        strip
            ? vips.thumbnailBuffer(const_cast<char*>(encoded.data()), encoded.size(), &raw, maxSide,
                                   "height", maxSide, "size", VIPS_SIZE_DOWN, "export_profile",
                                   "srgb", "option_string", kLoadOptions, nullptr)
            : vips.thumbnailBuffer(const_cast<char*>(encoded.data()), encoded.size(), &raw, maxSide,
                                   "height", maxSide, "size", VIPS_SIZE_DOWN, "option_string",
                                   kLoadOptions, nullptr);
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
        type == ImageType::kPng
            ? vips.pngsaveBuffer(image.get(), &buffer, &length, "strip", stripFlag, nullptr)
        : type == ImageType::kWebP ? vips.webpsaveBuffer(image.get(), &buffer, &length, "Q",
                                                         quality, "strip", stripFlag, nullptr)
                                   : vips.jpegsaveBuffer(image.get(), &buffer, &length, "Q",
                                                         quality, "strip", stripFlag, nullptr);
    if (saveFailed) {
        out.error = VipsError(type);
        return out;
    }
    out.bytes.assign(static_cast<const char*>(buffer), length);
    vips.free(buffer);
    out.width = vips.imageGetWidth(image.get());
    out.height = vips.imageGetHeight(image.get());
    out.type = type == ImageType::kPng || type == ImageType::kWebP ? type : ImageType::kJpeg;
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
    return Saved(image, vips.imageHasalpha(image.get()) ? ImageType::kPng : ImageType::kJpeg,
                 quality, true);
}

}  // namespace lumar
