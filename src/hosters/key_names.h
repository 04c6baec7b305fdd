#pragma once
// Which values of a row are keys: the one judgement behind what an export leaves out and what
// a redirect may not carry to another host.
//
// A name is split into words at every character that is no letter and where lower case turns
// to upper ("X-Api-Key", "api_key" and "apiKey" are all "api" "key"); it names a key when a
// word, or two neighbouring words run together ("client" "id"), is one of the words keys go
// by, or a word ending in "key", "token", "secret" or "password" ("uploadkey"). Names that
// merely start like a key word ("author", "keyword", "passthrough") do not.
#include <string>
#include <string_view>
#include <vector>

#include "hosters/hoster_table.h"

namespace lumar {

[[nodiscard]] bool IsKeyName(std::string_view name);

// A value that says it is a credential whatever its name: an authorization scheme followed
// by its token ("Client-ID 4f2a", "Bearer x").
[[nodiscard]] bool IsKeyValue(std::string_view value);

// Whether the named value is a key of the row: by its name, by its value, or because the row
// lists the name among its own (`Secrets`).
[[nodiscard]] bool IsRowKey(const HosterDef& row, std::string_view name, std::string_view value);

// Whether a request of the row sends a key anywhere: in a header, in the query, in a form
// field (a key left empty sends nothing).
[[nodiscard]] bool RowSendsKey(const HosterDef& row);

// `url` with the value of every query parameter whose name is a key (or one of `extraNames`)
// emptied; the names emptied are added to `blanked`.
[[nodiscard]] std::string BlankKeyQuery(const std::string& url,
                                        const std::vector<std::string>& extraNames,
                                        std::vector<std::string>* blanked = nullptr);

}  // namespace lumar
