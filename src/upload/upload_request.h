#pragma once
// The one request an image is uploaded with: the hoster row's form fields and the image file
// as a multipart POST to the row's path.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosters/hoster_table.h"
#include "upload/http_request.h"
#include "upload/url.h"

namespace lumar {

enum class RequestProblem {
    kNone,
    kFileUnreadable,  // missing, unreadable, empty, or 2 GiB and more
    kBadForm,         // the row's form names repeat or do not pair with its values
};

struct UploadRequest {
    std::string bytes;     // header and body, ready to send
    size_t fileBytes = 0;  // size of the image file inside it
};

// Where an upload to the hoster goes: its ConnectHost and the path of its UploadUrl.
CURL UploadAddress(const HosterDef& hoster);

// Builds the request for the image at `path` (the full path, sent as the file name). Names,
// values and the file name go out in Windows-1252 when they fit it, else as UTF-8.
RequestProblem BuildUploadRequest(const HosterDef& hoster, const std::string& path,
                                  UploadRequest& out);

// The same request, prepared for sending without copying the file into it: the pieces refer
// to the file as read and to the header and form parts around it. The buffers are kept from
// one image to the next, so a long run does not allocate (and fault in) fresh memory for
// every file. Holds one image at a time.
class PreparedUpload {
  public:
    PreparedUpload() = default;
    PreparedUpload(const PreparedUpload&) = delete;
    PreparedUpload& operator=(const PreparedUpload&) = delete;

    // `url` is UploadAddress(hoster), parsed once per image by the caller (its Proxy set when
    // the request goes through one, which then gets `proxyAuthorization`). `picture`, when
    // given, is sent in place of the file's bytes (a resized or stripped copy) and taken;
    // `pictureHoldsBoundary` says whether it holds kDefaultMimeBoundary, when a worker looked.
    RequestProblem Prepare(const HosterDef& hoster, const CURL& url, const std::string& path,
                           std::string* picture = nullptr,
                           const std::string& proxyAuthorization = "",
                           std::optional<bool> pictureHoldsBoundary = std::nullopt);
    // The request in order; valid until the next Prepare or Release.
    const std::vector<std::string_view>& Pieces() const { return pieces_; }
    size_t FileBytes() const { return fileBytes_; }
    // Drops the request, keeping the buffers for the next image.
    void Release();

  private:
    std::string file_;
    std::string fileField_;
    std::string storage_;
    CHTTPRequest request_;
    std::vector<std::string_view> pieces_;
    size_t fileBytes_ = 0;
};

}  // namespace lumar
