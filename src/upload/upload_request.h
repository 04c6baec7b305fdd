#pragma once
// The one request an image is uploaded with: the hoster row's form fields and the image file
// as a multipart POST to the row's path.
#include <string>

#include "upload/hoster_table.h"

namespace lumar {

enum class RequestProblem {
    None,
    FileUnreadable,  // missing, unreadable, empty, or 2 GiB and more
    BadForm,         // the row's form names repeat or do not pair with its values
};

struct UploadRequest {
    std::string bytes;     // header and body, ready to send
    size_t fileBytes = 0;  // size of the image file inside it
};

// Builds the request for the image at `path` (the full path, sent as the file name). Names,
// values and the file name go out in Windows-1252 when they fit it, else as UTF-8.
RequestProblem BuildUploadRequest(const HosterDef& hoster, const std::string& path, UploadRequest& out);

}  // namespace lumar
