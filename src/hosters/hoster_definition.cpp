#include "hosters/hoster_definition.h"

#include <array>
#include <cctype>

#include "hosters/key_names.h"
namespace lumar {
namespace {

// "https://host:8443/up" -> "https://host:8443/", "" for no web address.
std::string SiteOf(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return {};
    const size_t path = url.find_first_of("/?#", scheme + 3);
    return url.substr(0, path == std::string::npos ? url.size() : path) + "/";
}

// A classic row's URL names the service, its ConnectHost and Port where the request goes.
std::string ClassicRequestUrl(const HosterDef& row) {
    const size_t scheme = row.UploadUrl.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t path = row.UploadUrl.find('/', start);
    std::string url = "http://" + row.ConnectHost;
    if (row.Port != 80) url += ":" + std::to_string(row.Port);
    return url + (path == std::string::npos ? "/" : row.UploadUrl.substr(path));
}

std::string RegexLiteral(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

// A backslash before anything but { } | : \ stays a backslash in a template, so only those
// need one more.
std::string TemplateLiteral(std::string_view text) {
    constexpr std::string_view kSpecial = "{}|:\\";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool escapesSpecial = text[i] == '\\' && i + 1 < text.size() &&
                                    kSpecial.find(text[i + 1]) != std::string_view::npos;
        if (escapesSpecial || (text[i] != '\\' && kSpecial.find(text[i]) != std::string_view::npos))
            out += '\\';
        out += text[i];
    }
    return out;
}

// A {regex:...} taking group 1 of `wanted` within the first code between the row's markers,
// ignoring case as the marker search does.
std::string MarkerTemplate(const HosterDef& row, std::string_view wanted) {
    const std::string start = RegexLiteral(row.StartMarker);
    // The code marker is searched from where the start marker begins, so the two may be one.
    const std::string codeStart =
        "(?=" + start + ")" +
        (row.CodeMarker.empty() ? "" : ".*?(?=" + RegexLiteral(row.CodeMarker) + ")");
    const std::string pattern = "(?is)" + codeStart + "(?:(?!" + RegexLiteral(row.EndMarker) +
                                ").)*?" + std::string(wanted);
    return "{regex:" + TemplateLiteral(pattern) + "|1}";
}

// A value of a row that sends its values as written, as a definition's template that gives
// the same text: braces and the backslashes before special characters are escaped, and in
// values with %-tokens the percent signs.
std::string LiteralValue(std::string_view text, bool nameTokens) {
    constexpr std::string_view kSpecial = "{}|:\\%";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '}' ||
            (c == '\\' &&
             (i + 1 == text.size() || kSpecial.find(text[i + 1]) != std::string_view::npos)))
            out += '\\';
        out += c;
        if (c == '%' && nameTokens) out += '%';
    }
    return out;
}

void AsTemplates(SxcuUploader& uploader) {
    uploader.requestUrl = LiteralValue(uploader.requestUrl, false);
    for (NamedValues* list : {&uploader.parameters, &uploader.headers, &uploader.arguments})
        for (auto& [name, value] : *list) value = LiteralValue(value, true);
}

bool CutsBetweenMarkers(const HosterDef& row) {
    return row.Request == RequestKind::kClassic ||
           (row.UrlTemplate.empty() && !row.StartMarker.empty());
}

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// The value split into its auth scheme (with one blank after it) and the key.
KeyField SplitKeyValue(std::string_view value) {
    static constexpr std::array<std::string_view, 5> kSchemes{"client-id", "bearer", "basic",
                                                              "token", "apikey"};
    const std::string trimmed = Trimmed(value);
    const std::string word = trimmed.substr(0, trimmed.find(' '));
    std::string lower = word;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::string_view scheme : kSchemes)
        if (lower == scheme) return {{}, word + ' ', Trimmed(trimmed.substr(word.size()))};
    return {{}, {}, trimmed};
}

bool LacksValue(std::string_view value) {
    return SplitKeyValue(value).key.empty();
}

}  // namespace

HosterDef HosterFromSxcu(const SxcuUploader& uploader) {
    HosterDef row;
    row.Name = uploader.name;
    row.HomeUrl = SiteOf(uploader.requestUrl);
    row.UploadUrl = uploader.requestUrl;
    row.Request = RequestKind::kStandard;
    row.Method = uploader.requestMethod;
    row.Body = uploader.body == SxcuBody::kBinary ? BodyKind::kBinary : BodyKind::kMultipart;
    row.Headers = uploader.headers;
    row.Parameters = uploader.parameters;
    row.Arguments = uploader.arguments;
    row.RequestTemplates = true;
    row.FileField = uploader.fileFormName;
    row.UrlTemplate = uploader.url;
    row.ThumbnailTemplate = uploader.thumbnailUrl;
    row.DeletionTemplate = uploader.deletionUrl;
    row.ErrorTemplate = uploader.errorMessage;
    row.MaxBytes = uploader.maxFileSize;
    row.DeletionConfirm = uploader.deletionConfirm;
    if (row.MaxBytes > 0) row.MaxSizeText = std::to_string(row.MaxBytes / 1024) + "kB";
    return row;
}

SxcuUploader SxcuFromHoster(const HosterDef& row) {
    SxcuUploader uploader;
    uploader.name = row.Name;
    const bool classic = row.Request == RequestKind::kClassic;
    uploader.requestMethod = classic ? "POST" : row.Method;
    uploader.requestUrl = classic ? ClassicRequestUrl(row) : row.UploadUrl;
    if (!classic) {
        uploader.headers = row.Headers;
        uploader.parameters = row.Parameters;
        uploader.body =
            row.Body == BodyKind::kBinary ? SxcuBody::kBinary : SxcuBody::kMultipartFormData;
    }
    for (const FormField& field : FormFields(row))
        uploader.arguments.emplace_back(field.name, field.value);
    if (!classic)
        uploader.arguments.insert(uploader.arguments.end(), row.Arguments.begin(),
                                  row.Arguments.end());
    uploader.fileFormName = row.FileField;
    if (CutsBetweenMarkers(row)) {
        uploader.url = MarkerTemplate(row, R"(\[URL=([^\]]*)\])");
        uploader.thumbnailUrl = MarkerTemplate(row, R"(\[IMG\]([^\[]*)\[/IMG\])");
    } else {
        uploader.url = row.UrlTemplate;
        uploader.thumbnailUrl = row.ThumbnailTemplate;
        uploader.deletionUrl = row.DeletionTemplate;
        uploader.errorMessage = row.ErrorTemplate;
    }
    uploader.maxFileSize = row.MaxBytes;
    uploader.deletionConfirm = row.DeletionConfirm;
    if (!row.RequestTemplates) AsTemplates(uploader);
    return uploader;
}

SharedDefinition ShareDefinition(const HosterDef& row, Secrets secrets) {
    SxcuUploader uploader = SxcuFromHoster(row);
    SharedDefinition shared;
    if (secrets == Secrets::kOmit) {
        for (NamedValues* list : {&uploader.headers, &uploader.parameters, &uploader.arguments})
            for (auto& [name, value] : *list)
                if (!LacksValue(value) && IsRowKey(row, name, value)) {
                    shared.blanked.push_back(name);
                    value.clear();
                }
        uploader.requestUrl = BlankKeyQuery(uploader.requestUrl, row.SecretNames, &shared.blanked);
    }
    shared.text = WriteSxcu(uploader, secrets);
    return shared;
}

std::string MissingKey(const HosterDef& row) {
    for (const NamedValues* list : {&row.Headers, &row.Parameters, &row.Arguments})
        for (const auto& [name, value] : *list)
            if (IsKeyName(name) && LacksValue(value)) return name;
    return {};
}

KeyField FindKeyField(const HosterDef& row) {
    std::string name = MissingKey(row);
    for (const NamedValues* list : {&row.Headers, &row.Parameters, &row.Arguments})
        for (const auto& [field, value] : *list)
            if (name.empty() ? LooksLikeSecret(field) : field == name) {
                KeyField found = SplitKeyValue(value);
                found.name = field;
                return found;
            }
    return {};
}

HosterDef WithKey(HosterDef row, const std::string& keyName, const std::string& key) {
    for (NamedValues* list : {&row.Headers, &row.Parameters, &row.Arguments})
        for (auto& [name, value] : *list)
            if (name == keyName) {
                value = SplitKeyValue(value).scheme + key;
                return row;
            }
    return row;
}

}  // namespace lumar
