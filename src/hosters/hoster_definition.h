#pragma once
// Host definitions as hoster rows: a custom uploader (.sxcu) becomes a standard row, and any
// row, built-in ones included, can be written out as a custom uploader to share it.
#include <string>
#include <vector>

#include "hosters/hoster_table.h"
#include "hosters/sxcu_file.h"

namespace lumar {

// The standard row the definition describes. Id and Origin are left for the caller; the
// connection goes where the request URL points (ConnectHost empty).
HosterDef HosterFromSxcu(const SxcuUploader& uploader);

// The definition of a row. A row that cuts its code between markers gets URL and
// ThumbnailURL templates that pick the link and the thumbnail out of the code found between
// those markers: a classic row's code is a whole forum code, which a definition cannot hand
// on as it is, and its TrimCount has no counterpart.
SxcuUploader SxcuFromHoster(const HosterDef& row);

// A definition of the row to share, and the names whose values it left out. With
// Secrets::kOmit every key of the row (IsRowKey, key_names.h) is written empty: in headers,
// parameters and form fields, and in the query of its request URL.
struct SharedDefinition {
    std::string text;
    std::vector<std::string> blanked;
};
[[nodiscard]] SharedDefinition ShareDefinition(const HosterDef& row, Secrets secrets);

// The name of a key the row must be given before it can upload (a header, parameter or form
// field whose name says it holds a key, left empty or holding just an auth scheme such as
// "Client-ID "), or "" when nothing is missing. The run fails such an image naming the key
// instead of sending a request the host must refuse.
std::string MissingKey(const HosterDef& row);

// The field of a row that holds its key: the one MissingKey names, else the first whose name
// says it holds a key. `scheme` is what the host wants before the key ("Client-ID "), which
// Lumar writes itself, so the user types only the key.
struct KeyField {
    std::string name;    // "" when the row has no such field
    std::string scheme;  // "" for a bare key
    std::string key;     // "" while the key is missing
};
[[nodiscard]] KeyField FindKeyField(const HosterDef& row);

// The row with `key` in the header, parameter or argument of that name, after the scheme its
// value starts with, replacing any key it held; an empty `key` removes it and leaves the
// scheme, so the row asks for a key again.
[[nodiscard]] HosterDef WithKey(HosterDef row, const std::string& keyName, const std::string& key);

}  // namespace lumar
