// Arbitrary answers cut with every hoster row and with markers taken from the input: a code,
// when there is one, begins with the marker found last, holds no "&amp;" the cut left in
// place, and never reaches beyond the answer.
#include <tuple>

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
    std::string answer = input;
    for (std::string* field : {&custom.StartMarker, &custom.CodeMarker, &custom.EndMarker}) {
        if (answer.find('\n') == std::string::npos) return 0;
        std::tie(*field, answer) = Cut(answer, '\n');
    }
    custom.TrimCount = static_cast<int16_t>(size % 7);
    const std::optional<std::string> code = lumar::ExtractCode(answer, custom);
    if (code) Check(code->size() + static_cast<size_t>(custom.TrimCount) <= answer.size());
    return 0;
}
