// The header reader on arbitrary bytes: it must never read outside them, never hang, and
// agree with itself on what it found.
#include "fuzz_check.h"
#include "imagelist/jpeg_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Text(data, size);
    const lumar::JpegInfo info = lumar::ReadJpegInfoFromBytes(bytes);
    Check(info.FileSize == static_cast<std::int64_t>(size));
    Check(info.Width >= 0 && info.Width <= 65535 && info.Height >= 0 && info.Height <= 65535);
    // A size is only ever found in a file that holds a frame header marker.
    Check((info.Width == 0 && info.Height == 0) || bytes.find("\xFF\xC0") != std::string::npos);
    return 0;
}
