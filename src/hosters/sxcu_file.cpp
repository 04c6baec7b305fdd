#include "hosters/sxcu_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <nlohmann/json.hpp>

#include "hosters/answer_code.h"
#include "hosters/answer_template.h"
#include "hosters/json_ordered.h"
#include "hosters/key_names.h"
#include "hosters/request_template.h"
#include "hosters/sxcu_legacy.h"
#include "net/header_text.h"
#include "net/http_url.h"
#include "shell/text_codec.h"

namespace lumar {
namespace {

using Json = nlohmann::ordered_json;

// Written into converted files and files without a version, so they read as current again.
constexpr const char* kCurrentVersion = "14.0.0";
// No host definition comes near these; a file past them is not one.
constexpr size_t kMaxFileBytes = 1 << 20;
constexpr size_t kMaxKeys = 10000;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// Field names are matched without regard to case, as the format's own reader does.
const Json* Field(const Json& object, std::string_view name) {
    for (auto it = object.begin(); it != object.end(); ++it)
        if (Lower(it.key()) == Lower(name)) return &it.value();
    return nullptr;
}

class Reader {
  public:
    explicit Reader(const Json& object) : object_(object) {}

    std::string failure;

    std::string Text(std::string_view name) {
        const Json* value = Field(object_, name);
        if (value == nullptr || value->is_null()) return {};
        if (value->is_string()) return value->get<std::string>();
        if (value->is_number() || value->is_boolean()) return value->dump();
        Fail(std::string(name) + " must be text");
        return {};
    }

    NamedValues Values(std::string_view name) {
        NamedValues values;
        const Json* object = Field(object_, name);
        if (object == nullptr || object->is_null()) return values;
        if (!object->is_object())
            return Fail(std::string(name) + " must be an object of names and values"), values;
        for (auto it = object->begin(); it != object->end(); ++it) {
            if (it.value().is_null())
                values.emplace_back(it.key(), "");
            else if (it.value().is_string())
                values.emplace_back(it.key(), it.value().get<std::string>());
            else if (it.value().is_number() || it.value().is_boolean())
                values.emplace_back(it.key(), it.value().dump());
            else
                Fail(std::string(name) + ": the value of " + it.key() + " must be text");
        }
        return values;
    }

    std::vector<std::string> List(std::string_view name) {
        std::vector<std::string> list;
        const Json* array = Field(object_, name);
        if (array == nullptr || !array->is_array()) return list;
        for (const Json& item : *array)
            list.push_back(item.is_string() ? item.get<std::string>() : item.dump());
        return list;
    }

    std::uint64_t Size(std::string_view name) {
        const Json* value = Field(object_, name);
        if (value == nullptr || value->is_null()) return 0;
        if (value->is_number_unsigned()) return value->get<std::uint64_t>();
        Fail(std::string(name) + " must be a number of bytes");
        return 0;
    }

    [[nodiscard]] bool Has(std::string_view name) const { return Field(object_, name) != nullptr; }

    void Fail(std::string reason) {
        if (failure.empty()) failure = std::move(reason);
    }

  private:
    const Json& object_;
};

// A parameter's value is a template with %-tokens, so a character an escape stood for is
// written to read as itself: "%25y" is the text "%y", not the year.
std::string PercentDecoded(std::string_view text, bool asTemplate) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            const char c =
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            if (asTemplate && c == '%')
                out += '%';
            else if (asTemplate && (c == '{' || c == '}' || c == '\\'))
                out += '\\';
            out += c;
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "https://h/up?key=1&x" becomes "https://h/up" with parameters key=1 and x= (before the
// file's own parameters); a fragment is no part of a request and is dropped.
// A query that decodes to bytes no JSON text can hold is refused: written back, they would
// come out as other characters.
void MoveQueryToParameters(Reader& reader, SxcuUploader& uploader) {
    std::string& url = uploader.requestUrl;
    url = url.substr(0, url.find('#'));
    const size_t question = url.find('?');
    if (question == std::string::npos) return;
    NamedValues fromQuery;
    std::string_view query = std::string_view(url).substr(question + 1);
    while (!query.empty()) {
        const std::string_view pair = query.substr(0, query.find('&'));
        query.remove_prefix(std::min(query.size(), pair.size() + 1));
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        fromQuery.emplace_back(
            PercentDecoded(pair.substr(0, equals), false),
            equals == std::string_view::npos ? "" : PercentDecoded(pair.substr(equals + 1), true));
        if (!IsValidUtf8(fromQuery.back().first) || !IsValidUtf8(fromQuery.back().second)) {
            reader.Fail("RequestURL: the query " + std::string(pair) + " decodes to no UTF-8 text");
            return;
        }
    }
    // A name can be sent once: the file's own parameters win over the query, the query's
    // first value over its later ones.
    NamedValues merged;
    auto set = [&merged](const std::string& name, const std::string& value, bool replace) {
        const auto same = std::find_if(merged.begin(), merged.end(),
                                       [&](const auto& p) { return p.first == name; });
        if (same == merged.end())
            merged.emplace_back(name, value);
        else if (replace)
            same->second = value;
    };
    for (const auto& [name, value] : fromQuery) set(name, value, false);
    for (const auto& [name, value] : uploader.parameters) set(name, value, true);
    uploader.parameters = std::move(merged);
    url.resize(question);
}

// The host name of an http(s) URL, or "" when it is none.
std::string HostOf(std::string_view url) {
    const std::string lower = Lower(url.substr(0, 8));
    const size_t scheme = lower.starts_with("https://") ? 8 : lower.starts_with("http://") ? 7 : 0;
    if (scheme == 0) return {};
    std::string_view rest = url.substr(scheme);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    rest = rest.substr(rest.find('@') == std::string_view::npos ? 0 : rest.find('@') + 1);
    rest =
        rest.starts_with('[') ? rest.substr(0, rest.find(']') + 1) : rest.substr(0, rest.find(':'));
    return std::string(rest);
}

bool IsImageUploader(std::string_view destinationType) {
    while (!destinationType.empty()) {
        const std::string_view item = destinationType.substr(0, destinationType.find(','));
        if (Lower(Trimmed(item)) == "imageuploader") return true;
        destinationType.remove_prefix(std::min(destinationType.size(), item.size() + 1));
    }
    return false;
}

// Every template-bearing string of the definition, named for the reason of a failure.
std::vector<std::pair<std::string, std::string*>> Templates(SxcuUploader& u) {
    std::vector<std::pair<std::string, std::string*>> all = {{"RequestURL", &u.requestUrl},
                                                             {"URL", &u.url},
                                                             {"ThumbnailURL", &u.thumbnailUrl},
                                                             {"DeletionURL", &u.deletionUrl},
                                                             {"ErrorMessage", &u.errorMessage}};
    for (auto [field, list] :
         {std::pair{"Parameters", &u.parameters}, std::pair{"Headers", &u.headers},
          std::pair{"Arguments", &u.arguments}})
        for (auto& [name, value] : *list)
            all.emplace_back(std::string(field) + ": " + name, &value);
    return all;
}

void ConvertOlderGeneration(SxcuUploader& uploader, const std::vector<std::string>& regexList,
                            Reader& reader) {
    for (auto& [name, text] : Templates(uploader)) {
        const TextResult converted = ConvertOlderSyntax(*text, regexList);
        if (!converted.Ok()) return reader.Fail(name + ": " + converted.failure);
        *text = converted.text;
    }
}

bool OlderGeneration(const std::string& version, const Reader& reader, SxcuUploader& uploader) {
    if (!version.empty()) return IsOlderGeneration(version);
    if (reader.Has("RegexList")) return true;
    for (auto& [name, text] : Templates(uploader))
        if (HasOlderSyntax(*text)) return true;
    return false;
}

void ReadBody(Reader& reader, SxcuUploader& uploader) {
    const std::string body = reader.Text("Body");
    if (Lower(body) == "multipartformdata" || (body.empty() && !uploader.fileFormName.empty()))
        uploader.body = SxcuBody::kMultipartFormData;
    else if (Lower(body) == "binary")
        uploader.body = SxcuBody::kBinary;
    else if (body.empty())
        reader.Fail("the file names no Body that carries the image");
    else
        reader.Fail("Body " + body + " cannot carry an image; MultipartFormData or Binary can");
    if (uploader.body == SxcuBody::kMultipartFormData && uploader.fileFormName.empty())
        reader.Fail("a MultipartFormData body needs a FileFormName");
}

// Names and values end up in the request head and the multipart parts: a line break or a
// quote there would let a file add headers or form fields of its own.
void CheckRequestText(Reader& reader, const SxcuUploader& uploader) {
    auto hasAny = [](std::string_view text, std::string_view bad) {
        return text.find_first_of(bad) != std::string_view::npos;
    };
    using namespace std::string_view_literals;
    for (const auto& [name, value] : uploader.headers) {
        if (!net::IsHttpToken(name)) reader.Fail("Headers: \"" + name + "\" is no header name");
        const std::string lower = Lower(name);
        if (lower == "host" || lower == "content-length" || lower == "transfer-encoding")
            reader.Fail("Headers: " + name + " is written by Lumar itself and cannot be set");
        if (!net::IsSafeHeaderText(value))
            reader.Fail("Headers: the value of " + name + " holds a line break");
    }
    for (const auto& [name, value] : uploader.arguments)
        if (hasAny(name, "\r\n\0\""sv) || hasAny(value, "\0"sv))
            reader.Fail("Arguments: \"" + name + "\" cannot be sent as a form field");
    if (hasAny(uploader.fileFormName, "\r\n\0\""sv))
        reader.Fail("FileFormName cannot be sent as a form field name");
}

// An address a definition can never reach is refused now rather than with the first image.
void CheckRequestUrl(Reader& reader, SxcuUploader& uploader) {
    std::string& url = uploader.requestUrl;
    url = Trimmed(url);
    if (url.find("://") == std::string::npos && !url.empty() &&
        (url.find(' ') != std::string::npos || url.find('.') == std::string::npos))
        return reader.Fail("RequestURL \"" + url +
                           "\" is a placeholder: fill in the address of your host's upload");
    for (char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7F')
            return reader.Fail("RequestURL \"" + url +
                               "\" holds a blank, line break or control character");
    if (HostOf(url).empty())
        return reader.Fail("RequestURL \"" + url + "\" is no http or https address");
    if (const Outcome<net::HttpUrl> parsed = net::ParseHttpUrl(url); !parsed)
        reader.Fail("RequestURL \"" + url +
                    "\": " + std::string(net::UrlProblemText(parsed.Why())));
}

void CheckRequest(Reader& reader, SxcuUploader& uploader) {
    CheckRequestText(reader, uploader);
    if (!IsImageUploader(uploader.destinationType))
        reader.Fail("DestinationType \"" + uploader.destinationType + "\" names no ImageUploader");
    for (char& c : uploader.requestMethod)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (uploader.requestMethod.empty()) uploader.requestMethod = "POST";
    if (uploader.requestMethod != "POST" && uploader.requestMethod != "PUT" &&
        uploader.requestMethod != "PATCH")
        reader.Fail("RequestMethod " + uploader.requestMethod + " cannot send an image");
    CheckRequestUrl(reader, uploader);
    MoveQueryToParameters(reader, uploader);
    if (uploader.name.empty()) uploader.name = HostOf(uploader.requestUrl);
}

// A request value's %-tokens are put in before its template is read; what they give holds no
// brace, so any image's value reads as this one does.
void CheckTemplates(Reader& reader, SxcuUploader& uploader) {
    std::vector<std::pair<std::string, std::string>> all = {
        {"RequestURL", uploader.requestUrl},
        {"URL", uploader.url},
        {"ThumbnailURL", uploader.thumbnailUrl},
        {"DeletionURL", uploader.deletionUrl},
        {"ErrorMessage", uploader.errorMessage}};
    for (auto [field, list] :
         {std::pair{"Parameters", &uploader.parameters}, std::pair{"Headers", &uploader.headers},
          std::pair{"Arguments", &uploader.arguments}})
        for (const auto& [name, value] : *list)
            all.emplace_back(std::string(field) + ": " + name, ExpandNameTokens(value, {}));
    for (const auto& [name, text] : all) {
        const TemplateParse parsed = AnswerTemplate::Parse(text);
        if (!parsed.failure.empty()) return reader.Fail(name + ": " + parsed.failure);
    }
}

}  // namespace

SxcuRead ReadSxcu(std::string_view text) {
    if (text.size() > kMaxFileBytes) return {{}, "the file is larger than 1 MiB"};
    const OrderedJsonRead read = ReadOrderedJson(text, kMaxKeys);
    if (!read.failure.empty() && read.failure != "not JSON")
        return {{}, "the file " + read.failure};
    const Json& document = read.value;
    if (!read.failure.empty() || !document.is_object()) return {{}, "the file is no JSON object"};

    Reader reader(document);
    SxcuUploader uploader;
    uploader.version = reader.Text("Version");
    uploader.name = reader.Text("Name");
    uploader.destinationType = reader.Text("DestinationType");
    uploader.requestMethod =
        reader.Text(reader.Has("RequestMethod") ? "RequestMethod" : "RequestType");
    uploader.requestUrl = reader.Text("RequestURL");
    uploader.parameters = reader.Values("Parameters");
    uploader.headers = reader.Values("Headers");
    uploader.arguments = reader.Values("Arguments");
    uploader.fileFormName = reader.Text("FileFormName");
    uploader.url = reader.Text("URL");
    uploader.thumbnailUrl = reader.Text("ThumbnailURL");
    uploader.deletionUrl = reader.Text("DeletionURL");
    uploader.errorMessage = reader.Text("ErrorMessage");
    uploader.maxFileSize = reader.Size("MaxFileSize");
    uploader.deletionConfirm = reader.Text("DeletionConfirm");

    if (OlderGeneration(uploader.version, reader, uploader)) {
        ConvertOlderGeneration(uploader, reader.List("RegexList"), reader);
        uploader.version = kCurrentVersion;
    }
    if (uploader.version.empty()) uploader.version = kCurrentVersion;
    ReadBody(reader, uploader);
    CheckRequest(reader, uploader);
    CheckTemplates(reader, uploader);
    if (const std::string problem = DeletionConfirmProblem(uploader.deletionConfirm);
        !problem.empty())
        reader.Fail("DeletionConfirm: " + problem);
    if (!reader.failure.empty()) return {{}, reader.failure};
    return {uploader, {}};
}

bool LooksLikeSecret(std::string_view name) {
    return IsKeyName(name);
}

std::string WriteSxcu(const SxcuUploader& uploader, Secrets secrets) {
    auto values = [&](const NamedValues& list) {
        Json object = Json::object();
        for (const auto& [name, value] : list)
            object[name] =
                secrets == Secrets::kOmit && (IsKeyName(name) || IsKeyValue(value)) ? "" : value;
        return object;
    };
    Json out;
    out["Version"] = uploader.version.empty() ? kCurrentVersion : uploader.version;
    out["Name"] = uploader.name;
    out["DestinationType"] = uploader.destinationType;
    out["RequestMethod"] = uploader.requestMethod;
    out["RequestURL"] =
        secrets == Secrets::kOmit ? BlankKeyQuery(uploader.requestUrl, {}) : uploader.requestUrl;
    if (!uploader.parameters.empty()) out["Parameters"] = values(uploader.parameters);
    if (!uploader.headers.empty()) out["Headers"] = values(uploader.headers);
    out["Body"] = uploader.body == SxcuBody::kBinary ? "Binary" : "MultipartFormData";
    if (!uploader.arguments.empty()) out["Arguments"] = values(uploader.arguments);
    if (!uploader.fileFormName.empty()) out["FileFormName"] = uploader.fileFormName;
    for (const auto& [key, value] :
         {std::pair<const char*, const std::string&>{"URL", uploader.url},
          {"ThumbnailURL", uploader.thumbnailUrl},
          {"DeletionURL", uploader.deletionUrl},
          {"ErrorMessage", uploader.errorMessage}})
        if (!value.empty()) out[key] = value;
    if (uploader.maxFileSize > 0) out["MaxFileSize"] = uploader.maxFileSize;
    if (!uploader.deletionConfirm.empty()) out["DeletionConfirm"] = uploader.deletionConfirm;
    return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace lumar
