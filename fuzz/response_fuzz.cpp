// Arbitrary answers cut with every hoster row and with markers taken from the input: a code,
// when there is one, begins with the marker found last, holds no "&amp;" the cut left in
// place, and never reaches beyond the answer.

#include "fuzz_check.h"
#include "upload/response_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Text(data, size);
    static const std::vector<lumar::HosterDef> rows = lumar::InitHosters();
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::optional<std::string> code = lumar::ExtractCode(input, rows[i]);
        if (!code) continue;
        Check(code->size() <= input.size());
        const std::string& first =
            rows[i].CodeMarker.empty() ? rows[i].StartMarker : rows[i].CodeMarker;
        if (rows[i].TrimCount == 0 && code->size() >= first.size())
            Check(lumar::FindNoCase(*code, first) == 0 || first.find('&') != std::string::npos);
    }
    // Markers from the input: the first three lines, the rest is the answer.
    lumar::HosterDef custom;
    size_t at = 0;
    std::string* fields[] = {&custom.StartMarker, &custom.CodeMarker, &custom.EndMarker};
    for (std::string* field : fields) {
        const size_t end = input.find('\n', at);
        if (end == std::string::npos) return 0;
        *field = input.substr(at, end - at);
        at = end + 1;
    }
    custom.TrimCount = static_cast<int16_t>(size % 7);
    const std::optional<std::string> code =
        lumar::ExtractCode(std::string_view(input).substr(at), custom);
    if (code) Check(code->size() + static_cast<size_t>(custom.TrimCount) <= size - at);
    return 0;
}
