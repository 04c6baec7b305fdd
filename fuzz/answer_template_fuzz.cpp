// Any template over any answer: the first line is the template, the rest the answer's body.
// Reading either succeeds or names a reason; evaluating either gives a text or names a reason.
// The first line also goes straight to the JSON path reader as a path over the body.
#include "fuzz_check.h"
#include "hosters/answer_template.h"
#include "hosters/json_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [source, body] = Cut(Text(data, size), '\n');
    const lumar::TextResult path = lumar::EvaluateJsonPath(body, source);
    Check(path.Ok() || path.text.empty());

    lumar::AnswerContext answer;
    answer.body = body;
    answer.headers = {{"Location", answer.body}};
    answer.finalUrl = "https://h.example/" + source;
    answer.fileName = source;
    const lumar::TemplateParse parsed = lumar::AnswerTemplate::Parse(source);
    if (!parsed.failure.empty()) return 0;
    const lumar::TextResult result = parsed.parsed.Evaluate(answer);
    Check(result.Ok() || result.text.empty());
    return 0;
}
