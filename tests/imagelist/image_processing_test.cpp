#include "imagelist/image_processing.h"

#include <gtest/gtest.h>

#include "imagelist/image_info.h"
#include "imagelist/image_resize.h"
#include "imagelist/metadata_strip.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

std::string Segment(char marker, const std::string& body) {
    const size_t length = body.size() + 2;
    return std::string{'\xFF', marker, static_cast<char>(length >> 8), static_cast<char>(length)} +
           body;
}

// A decodable JPEG as a phone writes it: after JFIF an EXIF block with orientation 6 in IFD0
// and a GPS IFD naming a place, and a comment.
std::string PhotoJpeg(int width, int height) {
    const std::string tiff = std::string("MM\0*\0\0\0\x08", 8) +
                             std::string("\0\x02\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 14) +
                             std::string("\x88\x25\0\x04\0\0\0\x01\0\0\0\x26\0\0\0\0", 16) +
                             std::string("\0\x01\0\x12\0\x02\0\0\0\x0A\0\0\0\x38\0\0\0\0", 18) +
                             std::string("HOMEPLACE\0", 10);
    std::string jpeg = test::MakeJpeg(width, height);
    jpeg.insert(
        20, Segment('\xE1', "Exif" + std::string(2, '\0') + tiff) + Segment('\xFE', "HOMECOMMENT"));
    return jpeg;
}

std::string FromScan(const std::string& jpeg) {
    return jpeg.substr(jpeg.find("\xFF\xDA"));
}

TEST(ImageProcessing, ResizeAndStripOfAPhoneJpeg) {
    test::TempDir dir;
    const std::string original = PhotoJpeg(4000, 3000);
    const std::string path = dir.write("photo.jpg", original);
    struct Case {
        int maxSide;
        bool strip;
        int width, height, orientation;
        bool lossless;
    };
    for (const Case& c :
         std::vector<Case>{
             {0, true, 4000, 3000, 6, true},        // only stripped: the pixels' bytes stay
             {5000, true, 4000, 3000, 6, true},     // fits already: stripped as if not resized
             {1600, true, 1200, 1600, 1, false},    // turned upright, then shrunk
             {1600, false, 1200, 1600, 1, false}})  // not stripped: no orientation twice
    {
        SCOPED_TRACE(std::to_string(c.maxSide) + (c.strip ? " strip" : ""));
        const ProcessedImage out = ProcessImage(path, {c.maxSide, 85, c.strip});
        ASSERT_FALSE(out.error);
        const ImageInfo info = ReadImageInfoFromBytes(out.bytes);
        EXPECT_EQ(std::pair(info.Width, info.Height), std::pair(c.width, c.height));
        EXPECT_EQ(std::pair(out.width, out.height), std::pair(c.width, c.height));
        EXPECT_EQ(JpegOrientation(out.bytes), c.orientation);
        if (c.strip) {
            EXPECT_EQ(out.bytes.find("HOMEPLACE"), std::string::npos);
            EXPECT_EQ(out.bytes.find("HOMECOMMENT"), std::string::npos);
        }
        if (c.lossless) {
            EXPECT_EQ(FromScan(out.bytes), FromScan(original));
        }
    }
    // A thumbnail is upright, fits the side asked for and keeps nothing of the metadata.
    const ResizeResult thumb = MakeThumbnail(original, 350, 85);
    ASSERT_FALSE(thumb.error);
    const ImageInfo info = ReadImageInfoFromBytes(thumb.bytes);
    EXPECT_EQ(std::tuple(info.Type, info.Height, thumb.height),
              std::tuple(ImageType::kJpeg, 350, 350));
    EXPECT_LT(info.Width, info.Height);
    EXPECT_EQ(JpegOrientation(thumb.bytes), 1);
    EXPECT_EQ(thumb.bytes.find("HOMEPLACE"), std::string::npos);
    EXPECT_EQ(dir.read("photo.jpg"), original);
}

TEST(ImageProcessing, LosslessStripOfEachType) {
    const std::string jpeg = test::MakeJpeg(16, 16);
    // Every chunk a place or a time can hide in, CRCs left at zero (stripping copies, never
    // checks).
    std::string text;
    for (const char* type : {"tEXt", "zTXt", "iTXt", "eXIf", "tIME"})
        text += std::string("\0\0\0\x04", 4) + type + "GPS:" + std::string(4, '\0');
    const std::string idat = std::string("\0\0\0\x01IDATz\0\0\0\0", 13);
    const std::string iend = std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    const std::string png = test::MakePngHead(1, 1);
    const std::string vp8x = std::string("VP8X\x0A\0\0\0", 8);
    const std::string vp8l = std::string("VP8L\x01\0\0\0\x2F\0", 10);
    const std::string exif = std::string("EXIF\x03\0\0\0GPS\0XMP \x04\0\0\0GPS:", 24);
    const std::string flagsNone(10, '\0');
    const std::string flagsExifXmp = "\x0C" + std::string(9, '\0');
    struct Case {
        const char* what;
        StripResult (*strip)(std::string_view);
        std::string bytes, expected;
        std::optional<Reason> error;
    };
    const std::vector<Case> cases = {
        {"PNG: text chunks and a trailer go", StripPngMetadata, png + text + idat + iend + "GPS",
         png + idat + iend, std::nullopt},
        {"PNG cut short", StripPngMetadata, png + idat.substr(0, 9), "",
         Reason(ReasonCode::kPictureCutShort, {"PNG"})},
        {"WebP: EXIF, XMP and their flags go", StripWebPMetadata,
         std::string("RIFF\x38\0\0\0WEBP", 12) + vp8x + flagsExifXmp + exif + vp8l,
         std::string("RIFF\x20\0\0\0WEBP", 12) + vp8x + flagsNone + vp8l, std::nullopt},
        {"JPEG cut inside the EXIF block", StripJpegMetadata, PhotoJpeg(16, 16).substr(0, 40), "",
         Reason(ReasonCode::kPictureCutShort, {"JPEG"})},
        {"JPEG: a comment and what follows the image go", StripJpegMetadata,
         jpeg.substr(0, 20) + Segment('\xFE', "GPS") + jpeg.substr(20) + "\xFF\xD8GPS", jpeg,
         std::nullopt},
    };
    for (const Case& c : cases) {
        const StripResult out = c.strip(c.bytes);
        if (c.error)
            EXPECT_EQ(out.Why(), *c.error) << c.what;
        else
            EXPECT_EQ(out.Value(), c.expected) << c.what;
    }
}

// Shrinking refuses a picture it cannot read whole, as stripping does, instead of sending it
// with its missing part made up; and a JPEG of very many segments, which the decoder takes
// time with their square for, is refused by their count.
TEST(ImageProcessing, ShrinkingRefusesPicturesCutShortOrOfEndlessSegments) {
    const std::string jpeg = test::MakeJpeg(2000, 1500);
    const ResizeResult png = ResizeImage(jpeg, {1000, 85, false, ImageType::kPng});
    const auto withEmptyApp2 = [&](int count) {
        std::string segments;
        for (int i = 0; i < count; ++i) segments += std::string("\xFF\xE2\x00\x02", 4);
        return jpeg.substr(0, 2) + segments + jpeg.substr(2);
    };
    const Reason cutShort(ReasonCode::kPictureCutShort, {"JPEG"});
    for (const auto& [bytes, error] : std::vector<std::pair<std::string, std::optional<Reason>>>{
             {jpeg.substr(0, jpeg.size() * 2 / 3), cutShort},
             {png.bytes.substr(0, png.bytes.size() - 30),
              Reason(ReasonCode::kPictureCutShort, {"PNG"})},
             {withEmptyApp2(1000 - 6), std::nullopt},
             {withEmptyApp2(40000), Reason(ReasonCode::kTooManySegments, {"1000"})}}) {
        for (bool strip : {false, true}) {
            const ProcessedImage out = ProcessImageBytes(bytes, {500, 85, strip});
            EXPECT_EQ(out.error, error);
            EXPECT_EQ(out.bytes.empty(), error.has_value());
        }
    }
    EXPECT_EQ(JpegSegmentCount(withEmptyApp2(40000)), 40006u);
}

// Shrinking would keep the first frame alone.
TEST(ImageProcessing, AnimationsAreOnlyStripped) {
    test::TempDir dir;
    const std::string head = "WEBPVP8X" + std::string("\x0A\0\0\0", 4);
    const std::string size = std::string("\0\0\0\xCF\x07\0\xCF\x07\0", 9);
    const std::string webp = "RIFF" + std::string("\x20\0\0\0", 4) + head + "\x0A" + size + "EXIF" +
                             std::string("\x02\0\0\0", 4) + "GP";
    const ProcessedImage out = ProcessImage(dir.write("a.webp", webp), {100, 85, true});
    EXPECT_FALSE(out.error);
    EXPECT_EQ(out.bytes, "RIFF" + std::string("\x16\0\0\0", 4) + head + "\x02" + size);

    const auto chunk = [](const std::string& type, const std::string& data) {
        return std::string("\0\0\0", 3) + static_cast<char>(data.size()) + type + data + "CRC!";
    };
    const std::string apng =
        std::string("\x89PNG\r\n\x1a\n", 8) +
        chunk("IHDR", std::string("\0\0\x07\xD0\0\0\x07\xD0\x08\x06\0\0\0", 13)) +
        chunk("acTL", std::string(8, '\1')) + chunk("IDAT", "frame") + chunk("IEND", "");
    const ProcessedImage still = ProcessImage(dir.write("a.png", apng), {100, 85, true});
    EXPECT_FALSE(still.error);
    EXPECT_EQ(still.bytes, apng);
}

TEST(ImageProcessing, OptionsFromSettingsAndCommandLine) {
    test::TempDir dir;
    const std::string ini = dir.file("Lumar.ini");
    struct Case {
        const char* strip;
        bool standardRow;
        ProcessingChoice choice;
        bool expected;
    };
    for (const Case& c : std::vector<Case>{{"", true, {}, true},
                                           {"", false, {}, false},
                                           {"0", true, {}, false},
                                           {"1", false, {}, true},
                                           {"1", true, {{}, {}, false}, false}}) {
        WriteValue(ini, "Bilder", "Strip", c.strip);
        EXPECT_EQ(ProcessingFor(ini, c.standardRow, c.choice).strip, c.expected)
            << c.strip << c.standardRow;
    }
    WriteValue(ini, "Bilder", "Strip", "");
    WriteValue(ini, "Bilder", "MaxSide", "1600");
    EXPECT_EQ(ProcessingFor(ini, false).Key(), "max=1600;q=85");
    EXPECT_EQ(ProcessingFor(ini, false, {800, 70, true}).Key(), "max=800;q=70;strip");
}

}  // namespace
}  // namespace lumar
