// The picture header readers on arbitrary bytes: they must never read outside them, never
// hang, and name a size only for a type they recognised.
#include "fuzz_check.h"
#include "imagelist/image_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Text(data, size);
    const lumar::ImageInfo info = lumar::ReadImageInfoFromBytes(bytes);
    Check(info.FileSize == static_cast<std::int64_t>(size));
    Check(info.Width >= 0 && info.Height >= 0);
    Check(info.IsImage() || (info.Width == 0 && info.Height == 0));
    return 0;
}
