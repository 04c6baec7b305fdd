#include "imagelist/image_info.h"

#include <gtest/gtest.h>

#include "support/jpeg_maker.h"

namespace lumar {
namespace {

std::string Le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

// "RIFF" size "WEBP", then one chunk of the given kind holding `data`.
std::string WebP(const char* kind, const std::string& data) {
    return "RIFF" + Le(static_cast<std::uint32_t>(data.size() + 12), 4) + "WEBP" + kind +
           Le(static_cast<std::uint32_t>(data.size()), 4) + data;
}

TEST(ImageInfo, HeadersOfEachTypeWholeAndCutShort) {
    const std::string png = test::MakePngHead(800, 600);
    const std::string gif = std::string("GIF87a") + Le(800, 2) + Le(600, 2) + "\xF7";
    // Lossy: frame tag, start code, 14-bit sizes whose two scaling bits must be dropped.
    const std::string lossy =
        WebP("VP8 ", std::string("\0\0\0\x9D\x01\x2A", 6) + Le(0xC000 | 800, 2) + Le(600, 2));
    const std::string lossless = WebP("VP8L", "\x2F" + Le((800 - 1) | (600 - 1) << 14, 4));
    const std::string extended = WebP("VP8X", std::string(4, '\0') + Le(70000 - 1, 3) + Le(599, 3));
    const std::string jpeg = test::MakeJpeg(640, 480);
    struct Case {
        const char* what;
        std::string bytes;
        ImageType type;
        int width, height;
    };
    const std::vector<Case> cases = {
        {"PNG", png, ImageType::Png, 800, 600},
        {"PNG cut inside IHDR", png.substr(0, 23), ImageType::None, 0, 0},
        {"PNG signature alone", png.substr(0, 8), ImageType::None, 0, 0},
        {"PNG wider than an int", test::MakePngHead(0x80000000u, 1), ImageType::None, 0, 0},
        {"PNG whose first chunk is not IHDR", png.substr(0, 12) + "IDAT" + png.substr(16),
         ImageType::None, 0, 0},
        {"GIF", gif, ImageType::Gif, 800, 600},
        {"GIF cut inside the screen", gif.substr(0, 9), ImageType::None, 0, 0},
        {"WebP lossy", lossy, ImageType::WebP, 800, 600},
        {"WebP lossy without start code", WebP("VP8 ", std::string(10, '\0')), ImageType::None, 0,
         0},
        {"WebP lossy cut short", lossy.substr(0, 29), ImageType::None, 0, 0},
        {"WebP lossless", lossless, ImageType::WebP, 800, 600},
        {"WebP lossless cut short", lossless.substr(0, 24), ImageType::None, 0, 0},
        {"WebP extended", extended, ImageType::WebP, 70000, 600},
        {"WebP extended cut short", extended.substr(0, 29), ImageType::None, 0, 0},
        {"WebP of an unknown chunk kind", WebP("VP9Z", std::string(10, 'x')), ImageType::None, 0,
         0},
        {"JPEG", jpeg, ImageType::Jpeg, 640, 480},
        {"JPEG frame header without start marker", jpeg.substr(jpeg.find("\xFF\xC0")),
         ImageType::None, 0, 0},
        {"nothing", "", ImageType::None, 0, 0},
    };
    for (const Case& c : cases) {
        const ImageInfo info = ReadImageInfoFromBytes(c.bytes);
        EXPECT_EQ(info,
                  (ImageInfo{c.type, c.width, c.height, static_cast<std::int64_t>(c.bytes.size())}))
            << c.what;
    }
}

}  // namespace
}  // namespace lumar
