// Any JSON path over any answer: the first line is the path, the rest the answer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upload/json_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t newline = text.find('\n');
    const std::string json = newline == std::string::npos ? "" : text.substr(newline + 1);
    const lumar::TextResult result = lumar::EvaluateJsonPath(json, text.substr(0, newline));
    if (!result.Ok() && !result.text.empty()) std::abort();
    return 0;
}
