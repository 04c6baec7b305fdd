// Any JSON path over any answer: the first line is the path, the rest the answer.
#include "fuzz_check.h"
#include "upload/json_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [path, json] = Cut(Text(data, size), '\n');
    const lumar::TextResult result = lumar::EvaluateJsonPath(json, path);
    Check(result.Ok() || result.text.empty());
    return 0;
}
