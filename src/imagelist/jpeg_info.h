#pragma once
// Reads the little a list row needs from a JPEG file: whether it is one, its pixel size from
// the baseline frame header, and its length. The reader walks the segments from the start and
// stops at the first baseline frame header; it never decodes image data.
#include <cstdint>
#include <string>
#include <string_view>

namespace lumar {

struct JpegInfo {
    bool IsJpeg = false;        // a start-of-image marker (FF D8) was met in marker position
    int Width = 0;              // from the first FF C0 segment; 0 when none was met
    int Height = 0;             // from the first FF C0 segment; 0 when none was met
    std::int64_t FileSize = 0;  // length of the file in bytes (64-bit: files past 2 GiB stay right)

    friend bool operator==(const JpegInfo&, const JpegInfo&) = default;
};

// Never fails: a missing, empty, unreadable or non-regular file (folder, FIFO, device) gives
// IsJpeg = false and FileSize = 0; a read error keeps what was found up to that point. Only the
// segments up to the frame header are read, never the whole file. The file is always closed.
JpegInfo ReadJpegInfo(const std::string& path);

// The same walk over bytes held in memory; FileSize is bytes.size().
JpegInfo ReadJpegInfoFromBytes(std::string_view bytes);

}  // namespace lumar
