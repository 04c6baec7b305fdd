#pragma once
// Custom uploader files (.sxcu): the JSON host definitions that hosts hand out and that
// collections of host definitions are written in. Reading checks everything an upload will
// need, so a file that cannot work is refused with its reason when it is imported, not when
// the first image fails.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hosters/hoster_table.h"

namespace lumar {

enum class SxcuBody { kMultipartFormData, kBinary };

// One definition, its templates always in the current brace syntax.
struct SxcuUploader {
    std::string version;
    std::string name;
    std::string destinationType = "ImageUploader";
    std::string requestMethod = "POST";
    std::string requestUrl;  // without query: its arguments are in `parameters`
    NamedValues parameters, headers, arguments;
    SxcuBody body = SxcuBody::kMultipartFormData;
    std::string fileFormName;
    std::string url, thumbnailUrl, deletionUrl, errorMessage;
    // Lumar's own addition ("MaxFileSize", bytes; 0 = not known): the largest file the host
    // takes. Other readers of the format skip fields they do not know.
    std::uint64_t maxFileSize = 0;
    // Lumar's own addition ("DeletionConfirm"): what the answer to the deletion address
    // matches once the host deleted the picture (HosterDef::DeletionConfirm).
    std::string deletionConfirm;

    bool operator==(const SxcuUploader&) const = default;
};

struct SxcuRead {
    SxcuUploader uploader;
    std::string failure;  // why the file cannot be used; empty when it was read
};

// Reads a .sxcu text (UTF-8 JSON, at most 1 MiB and 10,000 keys, read in time linear in its
// size). Files of the older generation ($...$ templates with a RegexList) are converted to the
// current syntax; a null value of a name is an empty one. Refused, with the field named: no
// image uploader, a body other than multipart or binary, a template that cannot be read, a
// request URL that is a placeholder, no web address or one no request can reach (a blank or
// control character, a user name, a bad port), a header Lumar writes itself (Host,
// Content-Length, Transfer-Encoding) or a header name that is no HTTP token.
SxcuRead ReadSxcu(std::string_view text);

// A current .sxcu text of the definition. With Secrets::kOmit, values of headers, arguments
// and parameters whose names suggest a key (Authorization, api_key, token, ...) are written
// empty, so a shared file holds no one's credentials.
enum class Secrets { kOmit, kKeep };
std::string WriteSxcu(const SxcuUploader& uploader, Secrets secrets);

// True for names such as "Authorization", "X-API-Key", "access_token", "password" (IsKeyName).
bool LooksLikeSecret(std::string_view name);

}  // namespace lumar
