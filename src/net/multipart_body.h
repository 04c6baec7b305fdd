#pragma once
// The bytes of a standard upload request: a multipart/form-data body (RFC 7578) or a raw
// body, and the HTTP/1.1 request head that goes before either.
//
// BuildMultipartBody takes form fields and files and returns a RequestBody whose size is
// known before anything is sent; the file bytes are not copied but referred to, so they must
// stay alive and unchanged while the body's Pieces() are in use. The boundary is random and
// occurs in none of the parts. Field names and file names travel as UTF-8 with quote, CR and
// LF escaped as browsers do (%22, %0D, %0A); a file name loses its folders. BuildRawBody
// makes the bytes themselves the whole body. BuildRequestHead writes "METHOD target
// HTTP/1.1" with Host, User-Agent "Lumar/<version>", the body's Content-Type and
// Content-Length, "Connection: close" and the caller's own headers. Each fails with a
// reason (and no result) when a header name, value or content type would break the
// request: a CR, LF or other control character, or a header Lumar sets itself.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/outcome.h"

namespace lumar::net {

struct FormField {
    std::string name;
    std::string value;
};

struct FormFile {
    std::string field;
    std::string fileName;     // may carry folders; only the last part is sent
    std::string contentType;  // empty: application/octet-stream
    std::string_view bytes;   // referred to, not copied
};

class RequestBody {
  public:
    [[nodiscard]] const std::string& ContentType() const { return contentType_; }
    [[nodiscard]] size_t Size() const { return size_; }
    // The body as pieces to send one after the other. The views point into this object and
    // into the caller's file bytes; they are made anew by each call, so moving the body
    // before the call is safe.
    [[nodiscard]] std::vector<std::string_view> Pieces() const;

  private:
    friend class RequestBodyWriter;
    struct Piece {
        bool external = false;
        size_t offset = 0;  // into text_, when not external
        size_t length = 0;
        std::string_view bytes;  // when external
    };
    std::string contentType_;
    std::string text_;
    std::vector<Piece> pieces_;
    size_t size_ = 0;
};

// 24 random letters and digits after a fixed prefix.
std::string RandomBoundary();

// A name or file name as browsers write it between the quotes of a Content-Disposition line:
// a quote, CR or LF would end the value or the header line, so they become %22, %0D, %0A;
// every other byte stays as it is.
std::string EscapeDispositionName(std::string_view name);

// `makeBoundary` is asked again while its answer occurs in a part (a test passes its own).
lumar::Outcome<RequestBody> BuildMultipartBody(
    const std::vector<FormField>& fields, const std::vector<FormFile>& files,
    const std::function<std::string()>& makeBoundary = RandomBoundary);
lumar::Outcome<RequestBody> BuildRawBody(std::string_view bytes, std::string contentType);

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct RequestHeadParts {
    std::string method = "POST";
    std::string target = "/";  // "/path?query", or the whole URL when sent to a plain proxy
    std::string hostHeader;
    const RequestBody* body = nullptr;  // none: no Content-Type and no Content-Length
    // Sent after Lumar's own; a User-Agent here replaces Lumar's.
    HeaderList extraHeaders;
};

lumar::Outcome<std::string> BuildRequestHead(const RequestHeadParts& parts);

}  // namespace lumar::net
