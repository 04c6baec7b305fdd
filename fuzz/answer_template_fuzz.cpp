// Any template over any answer: the first line is the template, the rest the answer's body.
// Reading either succeeds or names a reason; evaluating either gives a text or names a reason.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upload/answer_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t newline = text.find('\n');
    const std::string source = text.substr(0, newline);
    lumar::AnswerContext answer;
    answer.body = newline == std::string::npos ? "" : text.substr(newline + 1);
    answer.headers = {{"Location", answer.body}};
    answer.file_name = source;
    const lumar::TemplateParse parsed = lumar::AnswerTemplate::Parse(source);
    if (!parsed.failure.empty()) return 0;
    const lumar::TextResult result = parsed.parsed.Evaluate(answer);
    if (!result.Ok() && !result.text.empty()) std::abort();
    return 0;
}
