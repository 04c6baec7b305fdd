#pragma once
// Small JPEG files for tests: greyscale, every 8x8 block flat, so the data stays tiny
// (two bits per block) while the file decodes with any JPEG library.
#include <cstddef>
#include <cstdint>
#include <string>

namespace lumar::test {

enum class JpegFrame {
    Baseline,     // FF C0: the header reader finds the size
    Progressive,  // FF C2: the header reader finds no size
};

struct JpegOptions {
    JpegFrame frame = JpegFrame::Baseline;
    std::size_t app1Bytes = 0;  // when > 0, an APP1 "Exif" segment with this many body bytes
                                // (at most 65533) before the frame header
};

// width and height in 1..65535; an APP0 "JFIF" segment follows the start marker.
std::string MakeJpeg(int width, int height, const JpegOptions& options = {});

// Writes MakeJpeg(...) to `path` (parent folders created); returns the byte count written.
std::size_t WriteJpeg(const std::string& path, int width, int height,
                      const JpegOptions& options = {});

// The head of a PNG file: signature and IHDR chunk (CRC not computed), enough for a header
// reader, not for a decoder.
std::string MakePngHead(std::uint32_t width, std::uint32_t height);

// A small JPEG in folders under `folder` whose own path can be opened while the file's path is
// longer than PATH_MAX; returns that path.
std::string WriteTooDeepJpeg(const std::string& folder);

}  // namespace lumar::test
