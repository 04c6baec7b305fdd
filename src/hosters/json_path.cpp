#include "hosters/json_path.h"

#include <cctype>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "hosters/json_depth.h"

namespace lumar {
namespace {

using Step = std::variant<std::string, size_t>;  // an object key or an array index

struct ParsedPath {
    std::vector<Step> steps;
    std::string failure;
};

std::optional<size_t> ParseIndex(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    size_t index = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        index = index * 10 + static_cast<size_t>(c - '0');
    }
    return index;
}

// Reads "[n]" or "['key']" starting at the '['; advances `pos` past the ']'.
std::optional<Step> ParseBracket(std::string_view path, size_t& pos) {
    const size_t open = pos + 1;
    if (open < path.size() && (path[open] == '\'' || path[open] == '"')) {
        const size_t closeQuote = path.find(path[open], open + 1);
        if (closeQuote == std::string_view::npos || closeQuote + 1 >= path.size() ||
            path[closeQuote + 1] != ']')
            return std::nullopt;
        pos = closeQuote + 2;
        return std::string(path.substr(open + 1, closeQuote - open - 1));
    }
    const size_t close = path.find(']', open);
    if (close == std::string_view::npos) return std::nullopt;
    const auto index = ParseIndex(path.substr(open, close - open));
    if (!index) return std::nullopt;
    pos = close + 1;
    return *index;
}

// A path may be built from the answer itself; a failure quotes only its start.
std::string Shown(std::string_view path) {
    return "\"" + std::string(path.substr(0, 200)) + (path.size() > 200 ? "...\"" : "\"");
}

ParsedPath ParsePath(std::string_view path) {
    ParsedPath parsed;
    size_t pos = path.starts_with('$') ? 1 : 0;
    const bool bareFirstKey = pos == 0;
    while (pos < path.size()) {
        if (path[pos] == '[') {
            auto step = ParseBracket(path, pos);
            if (!step) return {{}, "malformed index in JSON path " + Shown(path)};
            parsed.steps.push_back(std::move(*step));
            continue;
        }
        const bool dotted = path[pos] == '.';
        if (!dotted && !(bareFirstKey && pos == 0))
            return {{}, "unexpected character in JSON path " + Shown(path)};
        if (dotted) ++pos;
        // "$.['a']" is written for "$['a']".
        if (dotted && pos < path.size() && path[pos] == '[') continue;
        const size_t end = path.find_first_of(".[", pos);
        const std::string_view key = path.substr(pos, end - pos);
        if (key.empty()) return {{}, "empty key in JSON path \"" + std::string(path) + "\""};
        parsed.steps.emplace_back(std::string(key));
        pos = end == std::string_view::npos ? path.size() : end;
    }
    return parsed;
}

const nlohmann::json* Follow(const nlohmann::json& value, const Step& step) {
    if (const auto* key = std::get_if<std::string>(&step)) {
        if (!value.is_object()) return nullptr;
        const auto found = value.find(*key);
        return found == value.end() ? nullptr : &*found;
    }
    const size_t index = std::get<size_t>(step);
    if (!value.is_array() || index >= value.size()) return nullptr;
    return &value[index];
}

}  // namespace

TextResult EvaluateJsonPath(std::string_view jsonText, std::string_view path) {
    const ParsedPath parsed = ParsePath(path);
    if (!parsed.failure.empty()) return TextResult::Failure(parsed.failure);
    if (JsonNestingDepth(jsonText) > kMaxJsonDepth)
        return TextResult::Failure("the JSON answer is nested too deeply");
    const auto document = nlohmann::json::parse(jsonText, nullptr, false);
    if (document.is_discarded()) return TextResult::Failure("the answer is not JSON");
    const nlohmann::json* value = &document;
    for (const Step& step : parsed.steps) {
        value = Follow(*value, step);
        if (value == nullptr) return TextResult::Text({});
    }
    if (value->is_null()) return TextResult::Text({});
    if (value->is_string()) return TextResult::Text(value->get<std::string>());
    return TextResult::Text(value->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace lumar
