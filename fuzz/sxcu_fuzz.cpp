// Any file either is refused with a reason or is read; what is read writes back to a file
// that reads as the same definition.
#include "fuzz_check.h"
#include "hosters/sxcu_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumar::SxcuRead read = lumar::ReadSxcu(Text(data, size));
    if (!read.failure.empty()) return 0;
    const lumar::SxcuRead again =
        lumar::ReadSxcu(lumar::WriteSxcu(read.uploader, lumar::Secrets::Keep));
    Check(again.failure.empty() && again.uploader == read.uploader);
    return 0;
}
