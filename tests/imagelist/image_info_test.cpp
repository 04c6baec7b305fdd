#include "imagelist/image_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "imagelist/jpeg_info.h"
#include "imagelist/preview_geometry.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

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
        {"PNG", png, ImageType::kPng, 800, 600},
        {"PNG cut inside IHDR", png.substr(0, 23), ImageType::kNone, 0, 0},
        {"PNG wider than an int", test::MakePngHead(0x80000000u, 1), ImageType::kNone, 0, 0},
        {"PNG whose first chunk is not IHDR", png.substr(0, 12) + "IDAT" + png.substr(16),
         ImageType::kNone, 0, 0},
        {"GIF", gif, ImageType::kGif, 800, 600},
        {"GIF cut inside the screen", gif.substr(0, 9), ImageType::kNone, 0, 0},
        {"WebP lossy", lossy, ImageType::kWebP, 800, 600},
        {"WebP lossy without start code", WebP("VP8 ", std::string(10, '\0')), ImageType::kNone, 0,
         0},
        {"WebP lossy cut short", lossy.substr(0, 29), ImageType::kNone, 0, 0},
        {"WebP lossless", lossless, ImageType::kWebP, 800, 600},
        {"WebP lossless cut short", lossless.substr(0, 24), ImageType::kNone, 0, 0},
        {"WebP extended", extended, ImageType::kWebP, 70000, 600},
        {"WebP extended cut short", extended.substr(0, 29), ImageType::kNone, 0, 0},
        {"WebP of an unknown chunk kind", WebP("VP9Z", std::string(10, 'x')), ImageType::kNone, 0,
         0},
        {"JPEG", jpeg, ImageType::kJpeg, 640, 480},
        {"JPEG frame header without start marker", jpeg.substr(jpeg.find("\xFF\xC0")),
         ImageType::kNone, 0, 0},
        {"nothing", "", ImageType::kNone, 0, 0},
    };
    for (const Case& c : cases) {
        const ImageInfo info = ReadImageInfoFromBytes(c.bytes);
        EXPECT_EQ(info,
                  (ImageInfo{c.type, c.width, c.height, static_cast<std::int64_t>(c.bytes.size())}))
            << c.what;
    }
}

TEST(PreviewGeometry, FitsCentresAndNeverEnlarges) {
    EXPECT_EQ(FitPictureInto(200, 150, 600, 900), (PictureRect{50, 0, 100, 150}));
    EXPECT_EQ(FitPictureInto(200, 150, 300, 170), (PictureRect{0, 18, 200, 113}));
    // Small pictures are centred, never enlarged.
    EXPECT_EQ(FitPictureInto(200, 150, 100, 50), (PictureRect{50, 50, 100, 50}));
    // Halves round to even: 112.5 -> 112, 187.5 -> 188.
    EXPECT_EQ(FitPictureInto(300, 150, 300, 400), (PictureRect{94, 0, 112, 150}));
    EXPECT_EQ(FitPictureInto(300, 150, 500, 400), (PictureRect{56, 0, 188, 150}));
    // A very thin picture keeps one pixel across.
    EXPECT_EQ(FitPictureInto(200, 150, 1, 1000), (PictureRect{99, 0, 1, 150}));
    EXPECT_EQ(FitPictureInto(200, 150, 1000, 1), (PictureRect{0, 74, 200, 1}));
    // Nothing to draw without area.
    EXPECT_EQ(FitPictureInto(200, 150, 0, 100), PictureRect{});
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

JpegInfo Info(bool isJpeg, int width, int height, std::size_t size) {
    return JpegInfo{isJpeg, width, height, static_cast<std::int64_t>(size)};
}

TEST(JpegWalk, MarkerWalkCases) {
    const std::string sof = Bytes({0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x20});  // 32x16
    test::JpegOptions progressive;
    progressive.frame = test::JpegFrame::Progressive;
    test::JpegOptions exif;
    exif.app1Bytes = 65533;
    const std::string prog = test::MakeJpeg(800, 600, progressive);
    const std::string wide = test::MakeJpeg(65535, 1);
    const std::string big = test::MakeJpeg(1024, 768, exif);
    const std::string whole = test::MakeJpeg(640, 480);
    const std::size_t at = whole.find("\xFF\xC0");
    struct Case {
        const char* what;
        std::string bytes;
        JpegInfo expected;
    };
    const std::vector<Case> cases = {
        {"frame header after APP0 and DQT", whole, Info(true, 640, 480, whole.size())},
        {"start marker alone", Bytes({0xFF, 0xD8}), Info(true, 0, 0, 2)},
        {"GIF header", std::string("GIF89a\x01\x00\x01\x00", 10), Info(false, 0, 0, 10)},
        {"start marker in marker position after a segment",
         Bytes({0x12, 0x34, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xD8}), Info(true, 0, 0, 8)},
        {"start marker inside a segment body", Bytes({0x12, 0x34, 0x00, 0x04, 0xFF, 0xD8}),
         Info(false, 0, 0, 6)},
        {"progressive frame gives no size", prog, Info(true, 0, 0, prog.size())},
        {"largest width", wide, Info(true, 65535, 1, wide.size())},
        {"large APP1 skipped by its length", big, Info(true, 1024, 768, big.size())},
        {"zero length ends the walk", Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00}) + sof,
         Info(true, 0, 0, 15)},
        {"frame header too short for the size",
         Bytes({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04, 0x08, 0x00}) + sof, Info(true, 0, 0, 17)},
        {"end of image before a frame header", Bytes({0xFF, 0xD8, 0xFF, 0xD9}) + sof,
         Info(true, 0, 0, 13)},
        {"fill bytes read with a length jump the frame header",
         Bytes({0xFF, 0xD8, 0xFF, 0xFF}) + sof, Info(true, 0, 0, 13)},
        {"walk ends at the scan header", Bytes({0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02}) + sof,
         Info(true, 0, 0, 15)},
        {"cut inside an earlier segment reads zeros", whole.substr(0, at - 3),
         Info(true, 0, 0, at - 3)},
        {"cut after the height: the width reads as zero", whole.substr(0, at + 7),
         Info(true, 0, 480, at + 7)},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadJpegInfoFromBytes(c.bytes), c.expected) << c.what;
}

TEST(JpegFile, DamagedFilesGiveTheSameAnswerFromDiskAsFromMemory) {
    // The file reader buffers and jumps over bodies larger than its buffer; the memory reader
    // walks byte by byte. Any difference between them is a bug in one of the two.
    test::TempDir dir;
    std::mt19937 random(7);
    test::JpegOptions exif;
    exif.app1Bytes = 40000;
    const std::string clean = test::MakeJpeg(320, 200, exif);
    EXPECT_EQ(ReadJpegInfo(dir.write("clean.jpg", clean)), Info(true, 320, 200, clean.size()));
    for (int round = 0; round < 300; ++round) {
        std::string bytes = clean.substr(0, random() % (clean.size() + 1));
        for (int flips = static_cast<int>(random() % 4); flips > 0 && !bytes.empty(); --flips)
            bytes[random() % bytes.size()] = static_cast<char>(random() % 256);
        ASSERT_EQ(ReadJpegInfo(dir.write("damaged.jpg", bytes)), ReadJpegInfoFromBytes(bytes))
            << "round " << round;
    }
}

TEST(JpegFile, NothingButRegularFilesIsRead) {
    test::TempDir dir;
    const std::string fifo = dir.file("pipe.jpg");  // must not block the reader
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {dir.file("missing.jpg"), dir.write("empty.jpg", ""), dir.path(), fifo})
        EXPECT_EQ(ReadJpegInfo(path), Info(false, 0, 0, 0)) << path;
    // A link is followed to its file.
    test::WriteJpeg(dir.file("real.jpg"), 10, 20);
    ASSERT_EQ(::symlink(dir.file("real.jpg").c_str(), dir.file("link.jpg").c_str()), 0);
    EXPECT_EQ(ReadJpegInfo(dir.file("link.jpg")).Height, 20);
    // Sizes past 2 GiB stay right (a sparse file; its zeros end the walk at once).
    const std::string huge = dir.write("huge.jpg", "");
    ASSERT_EQ(::truncate(huge.c_str(), off_t{3} << 30), 0);
    EXPECT_EQ(ReadJpegInfo(huge), Info(false, 0, 0, std::size_t{3} << 30));
}

}  // namespace
}  // namespace lumar
