#pragma once
// Turning a host's answer into an image's forum code for rows that read their answer with
// templates: the links are picked out of the answer, then the code is built from them.
#include <optional>
#include <string>

#include "hosters/answer_template.h"
#include "hosters/hoster_table.h"
#include "hosters/text_result.h"

namespace lumar {

// How a row's answer is read. An empty `url` takes the whole answer, trimmed, as the link.
struct AnswerFields {
    AnswerTemplate url, thumbnailUrl, deletionUrl;
    AnswerTemplate errorMessage;  // read when the host answers with a failure status
};

// The four templates of a row, or the first that cannot be read, named in the failure.
struct AnswerFieldsParse {
    AnswerFields fields;
    std::string failure;
};
AnswerFieldsParse ParseAnswerFields(std::string_view url, std::string_view thumbnailUrl,
                                    std::string_view deletionUrl, std::string_view errorMessage);

// A link the answer gave that is no http or https address, so no code is made of it.
struct RefusedLink {
    std::string field;  // "URL", "ThumbnailURL" or "DeletionURL"
    std::string link;   // what the template read, shortened for a reason

    bool operator==(const RefusedLink&) const = default;
};

struct AnswerLinks {
    std::string url, thumbnailUrl, deletionUrl;
    std::string failure;                 // why the answer gave no usable link; empty on success
    std::optional<RefusedLink> refused;  // set when that is why (then `failure` says it too)
    bool noUrl = false;  // the answer gave no link at all (then `failure` says it too)
};

// The links of a 2xx answer. Any other status is a failure whose reason holds the row's
// error message, as are an empty or non-web URL and a template that fails on this answer.
// The links go between BBCode tags: what would end a tag or its argument early, or be read
// as markup where the code is shown ([ ] < > " ' and blanks), is percent-encoded, which
// leaves the address the same.
AnswerLinks ReadAnswerLinks(const AnswerFields& fields, const AnswerContext& answer);

// The image's forum code from links ReadAnswerLinks gave without a failure.
std::string CodeFromLinks(const AnswerLinks& links, CodeStyle style);

// The image's forum code from the answer, or the reason there is none.
TextResult BuildCodeFromAnswer(const AnswerFields& fields, const AnswerContext& answer,
                               CodeStyle style);

}  // namespace lumar
