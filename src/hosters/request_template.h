#pragma once
// The values a definition's request carries are templates too: Parameters, Headers and
// Arguments take the answer template language ({filename}, {random:a|b}, {base64:...}) and the
// %-name tokens ("%y-%mo-%d", "%rn{6}", "%guid"), the request URL only the template language,
// so a percent-escape in it ("%2F") stays as written. They are evaluated for every image when
// its request is built.
#include <string>
#include <string_view>

#include "hosters/answer_template.h"
#include "hosters/hoster_table.h"

namespace lumar {

// The image a request is built for.
struct RequestImage {
    std::string fileName;
    int width = 0, height = 0;  // 0 when not known: %width and %height stay empty
    const PromptAnswers* answers = nullptr;
};

// The text with its %-name tokens put in: the date and time (%y %yy %mo %mon %mon2 %d %h %mi
// %s %ms %pm %w %w2 %wy %unix), random characters (%rn %ra %rna %rx %rX, repeated with
// "{N}", %guid %GUID), the picture (%width %height), the computer (%un %uln %cn), %n for a line
// break and %% for a percent sign. "\%" is a percent sign too; anything else stays as it is.
std::string ExpandNameTokens(std::string_view text, const RequestImage& image);

struct RequestTemplatesResult {
    HosterDef row;        // the row with its request values evaluated
    std::string failure;  // names the field whose template failed; empty on success
};

// For a row read from a definition (RequestTemplates set): its UploadUrl, Parameters, Headers
// and Arguments evaluated for the image. Other rows come back as they are.
RequestTemplatesResult EvaluateRequestTemplates(const HosterDef& row, const RequestImage& image);

// The questions a row's templates ask, in the order the file names them, each once.
std::vector<TemplatePrompt> RowPrompts(const HosterDef& row);

}  // namespace lumar
