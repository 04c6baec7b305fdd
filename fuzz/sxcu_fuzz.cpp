// Any file either is refused with a reason or is read; what is read writes back to a file
// that reads as the same definition.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upload/sxcu_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumar::SxcuRead read =
        lumar::ReadSxcu(std::string(reinterpret_cast<const char*>(data), size));
    if (!read.failure.empty()) return 0;
    const lumar::SxcuRead again =
        lumar::ReadSxcu(lumar::WriteSxcu(read.uploader, lumar::Secrets::Keep));
    if (!again.failure.empty() || !(again.uploader == read.uploader)) std::abort();
    return 0;
}
