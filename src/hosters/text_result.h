#pragma once
// A text, or the reason there is none: what reading a host's answer gives back, so the log
// can name why an image failed instead of a bare "no code".
#include <string>
#include <utility>

namespace lumar {

struct TextResult {
    std::string text;     // the result; empty when `failure` is set
    std::string failure;  // why there is no result; empty on success

    [[nodiscard]] bool Ok() const { return failure.empty(); }

    static TextResult Text(std::string text) { return {std::move(text), {}}; }
    static TextResult Failure(std::string reason) { return {{}, std::move(reason)}; }
};

}  // namespace lumar
