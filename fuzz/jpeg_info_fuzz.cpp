// The header reader on arbitrary bytes: it must never read outside them, never hang, and
// agree with itself on what it found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "imagelist/jpeg_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const lumar::JpegInfo info = lumar::ReadJpegInfoFromBytes(bytes);
    if (info.FileSize != static_cast<std::int64_t>(size)) std::abort();
    if (info.Width < 0 || info.Width > 65535 || info.Height < 0 || info.Height > 65535)
        std::abort();
    // A size is only ever found in a file that holds a frame header marker.
    if ((info.Width != 0 || info.Height != 0) && bytes.find("\xFF\xC0") == std::string_view::npos)
        std::abort();
    return 0;
}
