#include "upload/upload_request.h"

#include <optional>

#include "net/multipart_body.h"
#include "shell/text_codec.h"
#include "upload/url.h"

namespace lumar {
namespace {

std::string ToRequestBytes(const std::string& utf8) {
    if (std::optional<std::string> bytes = Utf8ToWindows1252(utf8)) return *bytes;
    return utf8;
}

}  // namespace

CURL UploadAddress(const HosterDef& hoster) {
    CURL url;
    url.ParseURL(hoster.UploadUrl, hoster.ConnectHost);
    return url;
}

RequestProblem PreparedUpload::Prepare(const HosterDef& hoster, const CURL& url,
                                       const std::string& path, std::string* picture,
                                       const std::string& proxyAuthorization,
                                       std::optional<bool> pictureHoldsBoundary) {
    Release();
    if (picture) {
        if (picture->empty()) return RequestProblem::kFileUnreadable;
        file_ = std::move(*picture);
    } else if (!ReadWholeFileInto(path, file_)) {
        return RequestProblem::kFileUnreadable;
    }

    request_ = CHTTPRequest();
    request_.Host(url.Host());
    request_.Proxy(url.Proxy());
    request_.Path(url.Path());
    request_.UserAgent(kUploadUserAgent);
    request_.ProxyAuthorization(proxyAuthorization);
    request_.MimeBoundary(kDefaultMimeBoundary);
    bool ok = true;
    for (const FormField& field : FormFields(hoster, &ok))
        ok = request_.AddFormData(ToRequestBytes(field.name), ToRequestBytes(field.value)) && ok;
    fileBytes_ = file_.size();
    fileField_ = ToRequestBytes(hoster.FileField);
    const bool boundaryAbsent = picture && !pictureHoldsBoundary.value_or(true);
    ok = request_.AddFile(fileField_, net::EscapeDispositionName(ToRequestBytes(path)),
                          std::move(file_), GetMimeType(path),
                          boundaryAbsent ? kDefaultMimeBoundary : "") &&
         ok;
    if (!ok) {
        Release();
        return RequestProblem::kBadForm;
    }
    pieces_ = request_.GetPOSTQueryPieces(storage_);
    return RequestProblem::kNone;
}

void PreparedUpload::Release() {
    pieces_.clear();
    std::string kept = request_.TakeFileContent(fileField_);
    if (kept.capacity() > file_.capacity()) file_ = std::move(kept);
    file_.clear();
    request_ = CHTTPRequest();
    fileBytes_ = 0;
}

RequestProblem BuildUploadRequest(const HosterDef& hoster, const std::string& path,
                                  UploadRequest& out) {
    PreparedUpload prepared;
    const RequestProblem problem = prepared.Prepare(hoster, UploadAddress(hoster), path);
    if (problem != RequestProblem::kNone) return problem;
    out.bytes.clear();
    for (std::string_view piece : prepared.Pieces()) out.bytes.append(piece);
    out.fileBytes = prepared.FileBytes();
    return RequestProblem::kNone;
}

}  // namespace lumar
