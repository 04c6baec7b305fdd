// The picture header readers on arbitrary bytes: they must never read outside them, never
// hang, and name a size only for a type they recognised. The JPEG reader is also fed every
// input directly, not only what starts like a JPEG.
#include "fuzz_check.h"
#include "imagelist/image_info.h"
#include "imagelist/jpeg_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Text(data, size);
    const lumar::ImageInfo info = lumar::ReadImageInfoFromBytes(bytes);
    Check(info.FileSize == static_cast<std::int64_t>(size));
    Check(info.Width >= 0 && info.Height >= 0);
    Check(info.IsImage() || (info.Width == 0 && info.Height == 0));

    const lumar::JpegInfo jpeg = lumar::ReadJpegInfoFromBytes(bytes);
    Check(jpeg.FileSize == static_cast<std::int64_t>(size));
    Check(jpeg.Width >= 0 && jpeg.Width <= 65535 && jpeg.Height >= 0 && jpeg.Height <= 65535);
    // A size is only ever found in a file that holds a frame header marker.
    Check((jpeg.Width == 0 && jpeg.Height == 0) || bytes.find("\xFF\xC0") != std::string::npos);
    return 0;
}
