// Arbitrary INI bytes through the reader and the one-key writer: no crash, reads keep their
// limits, and a written key reads back as written.
#include "fuzz_check.h"
#include "shell/settings_store.h"
#include "shell/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Text(data, size);
    const std::string text = lumar::DecodeFileText(bytes).text;
    for (const char* key : {"Timeout", "k", "001", ""})
        Check(lumar::ReadValueFromText(text, "Bilder", key, "d ").find('\0') == std::string::npos);
    const std::string written = lumar::SetValueInText(text, "Bilder", "Timeout", "45");
    Check(lumar::ReadValueFromText(written, "Bilder", "Timeout", "") == "45");
    const auto encoded = lumar::EncodeFileText(written, lumar::DetectEncoding(bytes));
    Check(lumar::DecodeFileText(encoded.bytes).text == written);
    return 0;
}
