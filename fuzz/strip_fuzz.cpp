// The lossless strippers on arbitrary bytes: they must never read outside them, never grow a
// file by more than the minimal EXIF block, and give the same bytes when run on their own
// output, so nothing they were meant to drop survives a first pass. The JPEG segment count,
// which decides whether a picture is shrunk at all, walks every input in one pass.
#include "fuzz_check.h"
#include "imagelist/metadata_strip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Text(data, size);
    for (auto strip :
         {lumar::StripJpegMetadata, lumar::StripPngMetadata, lumar::StripWebPMetadata}) {
        const lumar::StripResult once = strip(bytes);
        if (!once) continue;
        Check(once->size() <= size + 36);
        const lumar::StripResult twice = strip(once.Value());
        Check(twice && twice.Value() == once.Value());
    }
    const int orientation = lumar::JpegOrientation(bytes);
    Check(orientation >= 1 && orientation <= 8);
    // Every segment counted holds its marker and length bytes of its own.
    Check(lumar::JpegSegmentCount(bytes) <= size / 4);
    return 0;
}
