// Any file either is refused with a reason or is read; what is read writes back to a file
// that reads as the same definition, and its request values evaluate for an image, every
// question answered, to values of the same names in the same order.
#include "fuzz_check.h"
#include "hosters/hoster_definition.h"
#include "hosters/request_template.h"
#include "hosters/sxcu_file.h"

namespace {

std::vector<std::string> Names(const lumar::NamedValues& values) {
    std::vector<std::string> names;
    for (const auto& [name, value] : values) names.push_back(name);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumar::SxcuRead read = lumar::ReadSxcu(Text(data, size));
    if (!read.failure.empty()) return 0;
    const lumar::SxcuRead again =
        lumar::ReadSxcu(lumar::WriteSxcu(read.uploader, lumar::Secrets::kKeep));
    Check(again.failure.empty() && again.uploader == read.uploader);

    const lumar::HosterDef row = lumar::HosterFromSxcu(read.uploader);
    lumar::PromptAnswers answers;
    for (const lumar::TemplatePrompt& prompt : lumar::RowPrompts(row))
        answers[prompt.title] = prompt.choices.empty() ? prompt.defaultText : prompt.choices[0];
    const lumar::RequestTemplatesResult evaluated =
        lumar::EvaluateRequestTemplates(row, {"a b.jpg", 640, 480, &answers});
    if (!evaluated.failure.empty()) return 0;
    Check(Names(evaluated.row.Arguments) == Names(row.Arguments) &&
          Names(evaluated.row.Headers) == Names(row.Headers) &&
          Names(evaluated.row.Parameters) == Names(row.Parameters));
    return 0;
}
