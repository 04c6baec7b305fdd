#include "imagelist/jpeg_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

JpegInfo Info(bool isJpeg, int width, int height, std::int64_t size) {
    return JpegInfo{isJpeg, width, height, size};
}

TEST(JpegWalk, FrameHeaderAfterApp0GivesTheSize) {
    std::string file = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10});
    file += std::string(14, 'j');
    file += Bytes({0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80, 0x03});
    file += std::string(12, '\0');
    EXPECT_EQ(ReadJpegInfoFromBytes(file), Info(true, 640, 480, static_cast<std::int64_t>(file.size())));
}

TEST(JpegWalk, StartMarkerAloneOrLateMakesAJpegWithoutSize) {
    EXPECT_EQ(ReadJpegInfoFromBytes(Bytes({0xFF, 0xD8})), Info(true, 0, 0, 2));
    EXPECT_EQ(ReadJpegInfoFromBytes(std::string("GIF89a\x01\x00\x01\x00", 10)), Info(false, 0, 0, 10));
    // A start marker in marker position after another segment still counts.
    EXPECT_TRUE(ReadJpegInfoFromBytes(Bytes({0x12, 0x34, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xD8})).IsJpeg);
    // ... but not one hidden inside a segment body.
    EXPECT_FALSE(ReadJpegInfoFromBytes(Bytes({0x12, 0x34, 0x00, 0x04, 0xFF, 0xD8})).IsJpeg);
    EXPECT_EQ(ReadJpegInfoFromBytes(""), Info(false, 0, 0, 0));
}

TEST(JpegWalk, OnlyBaselineFramesGiveASize) {
    test::JpegOptions progressive;
    progressive.frame = test::JpegFrame::Progressive;
    const JpegInfo info = ReadJpegInfoFromBytes(test::MakeJpeg(800, 600, progressive));
    EXPECT_TRUE(info.IsJpeg);
    EXPECT_EQ(info.Width, 0);
    EXPECT_EQ(info.Height, 0);

    const JpegInfo baseline = ReadJpegInfoFromBytes(test::MakeJpeg(65535, 1));
    EXPECT_EQ(baseline.Width, 65535);
    EXPECT_EQ(baseline.Height, 1);
}

TEST(JpegWalk, LargeApp1IsSkippedByItsLength) {
    test::JpegOptions exif;
    exif.app1Bytes = 65533;
    const std::string file = test::MakeJpeg(1024, 768, exif);
    EXPECT_EQ(ReadJpegInfoFromBytes(file), Info(true, 1024, 768, static_cast<std::int64_t>(file.size())));
}

TEST(JpegWalk, OddLengthsEndTheWalk) {
    const std::string sof = Bytes({0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x20});
    // Length 0: nothing taken from that segment and nothing after it.
    EXPECT_EQ(ReadJpegInfoFromBytes(Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00}) + sof).Width, 0);
    // Length 1 would mean a body of -1 bytes.
    EXPECT_EQ(ReadJpegInfoFromBytes(Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01}) + sof).Width, 0);
    // A frame header too short to hold the size.
    EXPECT_EQ(ReadJpegInfoFromBytes(Bytes({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04, 0x08, 0x00}) + sof),
              Info(true, 0, 0, 17));
    // End of image stops before a later frame header.
    EXPECT_EQ(ReadJpegInfoFromBytes(Bytes({0xFF, 0xD8, 0xFF, 0xD9}) + sof).Width, 0);
    // Fill bytes are read as a marker with a length, which jumps over the frame header.
    EXPECT_EQ(ReadJpegInfoFromBytes(Bytes({0xFF, 0xD8, 0xFF, 0xFF}) + sof).Width, 0);
}

TEST(JpegWalk, WalkGoesOnThroughScanData) {
    // After the scan header the data is read as markers too; a chance FF C0 there gives the size.
    const std::string file = Bytes({0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xC0, 0x00, 0x11, 0x08,
                                    0x00, 0x10, 0x00, 0x20});
    EXPECT_EQ(ReadJpegInfoFromBytes(file), Info(true, 32, 16, 15));
}

TEST(JpegWalk, TruncationKeepsWhatWasFound) {
    const std::string whole = test::MakeJpeg(640, 480);
    const std::size_t sof = whole.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    // Cut inside an earlier segment: the walk reads zeros and ends at the next length.
    EXPECT_EQ(ReadJpegInfoFromBytes(whole.substr(0, sof - 3)), Info(true, 0, 0, static_cast<std::int64_t>(sof - 3)));
    // Cut after the height: the missing width reads as zeros.
    const std::string cut = whole.substr(0, sof + 7);
    EXPECT_EQ(ReadJpegInfoFromBytes(cut), Info(true, 0, 480, static_cast<std::int64_t>(cut.size())));
}

class JpegFile : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(JpegFile, ReadsTheSameAsFromBytes) {
    test::JpegOptions exif;
    exif.app1Bytes = 40000;  // larger than the read buffer
    const std::string path = dir.file("a.jpg");
    const std::size_t size = test::WriteJpeg(path, 300, 170, exif);
    EXPECT_EQ(ReadJpegInfo(path), Info(true, 300, 170, static_cast<std::int64_t>(size)));
}

TEST_F(JpegFile, DamagedFilesGiveTheSameAnswerFromDiskAsFromMemory) {
    // The file reader buffers and jumps over bodies; the memory reader walks byte by byte.
    // Any difference between them on damaged input is a bug in one of the two.
    std::mt19937 random(7);
    test::JpegOptions exif;
    exif.app1Bytes = 5000;
    const std::string clean = test::MakeJpeg(320, 200, exif);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = clean.substr(0, random() % (clean.size() + 1));
        for (int flips = static_cast<int>(random() % 4); flips > 0 && !bytes.empty(); --flips)
            bytes[random() % bytes.size()] = static_cast<char>(random() % 256);
        const std::string path = dir.write("damaged.jpg", bytes);
        ASSERT_EQ(ReadJpegInfo(path), ReadJpegInfoFromBytes(bytes)) << "round " << round;
    }
}

TEST_F(JpegFile, NothingButRegularFilesIsRead) {
    EXPECT_EQ(ReadJpegInfo(dir.file("missing.jpg")), Info(false, 0, 0, 0));
    EXPECT_EQ(ReadJpegInfo(dir.write("empty.jpg", "")), Info(false, 0, 0, 0));
    EXPECT_EQ(ReadJpegInfo(dir.path()), Info(false, 0, 0, 0));
    // A FIFO named like a picture must not block the reader.
    const std::string fifo = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadJpegInfo(fifo), Info(false, 0, 0, 0));
    // A link is followed to its file.
    const std::string target = dir.file("real.jpg");
    test::WriteJpeg(target, 10, 20);
    ASSERT_EQ(::symlink(target.c_str(), dir.file("link.jpg").c_str()), 0);
    EXPECT_EQ(ReadJpegInfo(dir.file("link.jpg")).Height, 20);
}

TEST_F(JpegFile, SizesPastTwoGibibytesStayRight) {
    // A sparse file: costs no disk space. Its zeros end the walk at once.
    const std::string path = dir.write("huge.jpg", "");
    const std::int64_t size = 3LL * 1024 * 1024 * 1024;
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    EXPECT_EQ(ReadJpegInfo(path), Info(false, 0, 0, size));
}

}  // namespace
}  // namespace lumar
