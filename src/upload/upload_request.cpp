#include "upload/upload_request.h"

#include <optional>

#include "shell/text_codec.h"
#include "upload/http_request.h"
#include "upload/url.h"

namespace lumar {
namespace {

std::string ToRequestBytes(const std::string& utf8) {
    if (std::optional<std::string> bytes = Utf8ToWindows1252(utf8)) return *bytes;
    return utf8;
}

}  // namespace

RequestProblem BuildUploadRequest(const HosterDef& hoster, const std::string& path, UploadRequest& out) {
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content) return RequestProblem::FileUnreadable;
    CURL url;
    url.ParseURL(hoster.UploadUrl, hoster.ConnectHost);

    CHTTPRequest builder;
    builder.Host(url.Host());
    builder.Proxy(url.Proxy());
    builder.Path(url.Path());
    builder.UserAgent(kUploadUserAgent);
    builder.MimeBoundary(kDefaultMimeBoundary);
    bool ok = true;
    for (const FormField& field : FormFields(hoster, &ok))
        ok = builder.AddFormData(ToRequestBytes(field.name), ToRequestBytes(field.value)) && ok;
    out.fileBytes = content->size();
    ok = builder.AddFile(ToRequestBytes(hoster.FileField), ToRequestBytes(path), std::move(*content),
                         GetMimeType(path)) &&
         ok;
    if (!ok) return RequestProblem::BadForm;
    out.bytes = builder.GetPOSTQuery();
    return RequestProblem::None;
}

}  // namespace lumar
