#pragma once
// The JSONPath subset custom uploader files use to pick a link out of a JSON answer:
// "$.data.thumb.url", "data.images[0]", "$['odd key'][2].url". No wildcards, no filters.
#include <string_view>

#include "hosters/text_result.h"

namespace lumar {

// The value at `path` in the JSON text: a string as it is, any other value as compact JSON.
// A path that leads nowhere gives an empty text (optional links such as a thumbnail are
// simply absent); an answer that is not JSON, nests deeper than a sane answer does, or a
// malformed path is a failure with its reason.
TextResult EvaluateJsonPath(std::string_view jsonText, std::string_view path);

}  // namespace lumar
