#pragma once
// JSON read in the order its writer gave it, in time linear in its size. The ordered object of
// the JSON library checks every key it inserts against the keys before it, which makes a file
// of many keys cost their square; this reader keeps an index of each object's keys instead.
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace lumar {

struct OrderedJsonRead {
    nlohmann::ordered_json value;
    std::string failure;  // empty when `value` holds the document
};

// The document, or why not: not JSON, nested too deeply, or more than `maxKeys` object keys
// in all. A key repeated within an object keeps its first place and its last value.
OrderedJsonRead ReadOrderedJson(std::string_view text, std::size_t maxKeys);

// The document indented by two blanks, objects in their own key order; nullopt when the text
// is no JSON object or array.
std::optional<std::string> PrettyJsonInOrder(std::string_view text);

}  // namespace lumar
