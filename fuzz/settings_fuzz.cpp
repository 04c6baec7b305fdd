// Arbitrary INI bytes through the reader and the one-key writer: no crash, reads keep their
// limits, and a written key reads back as written.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shell/settings_store.h"
#include "shell/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = lumar::DecodeFileText(bytes).text;
    for (const char* key : {"Timeout", "k", "001", ""}) {
        const std::string value = lumar::ReadValueFromText(text, "Bilder", key, "d ");
        if (value.find('\0') != std::string::npos) std::abort();
    }
    const std::string written = lumar::SetValueInText(text, "Bilder", "Timeout", "45");
    if (lumar::ReadValueFromText(written, "Bilder", "Timeout", "") != "45") std::abort();
    const auto encoded = lumar::EncodeFileText(written, lumar::DetectEncoding(bytes));
    if (lumar::DecodeFileText(encoded.bytes).text != written) std::abort();
    return 0;
}
