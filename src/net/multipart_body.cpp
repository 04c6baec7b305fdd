#include "net/multipart_body.h"

#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>

#include "net/header_text.h"
#include "shell/plain_text.h"

namespace lumar::net {
namespace {

// Each try of a random boundary collides with a chance far below one in 10^40; the limit
// only stops a caller's own boundary maker that keeps colliding.
constexpr int kBoundaryTries = 16;
constexpr const char* kDefaultContentType = "application/octet-stream";

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

// A host has no business with the user's folder layout.
std::string_view WithoutFolders(std::string_view fileName) {
    const size_t slash = fileName.rfind('/');
    return slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
}

bool OccursInAnyPart(std::string_view boundary, const std::vector<FormField>& fields,
                     const std::vector<FormFile>& files) {
    for (const FormField& f : fields)
        if (Holds(f.name, boundary) || Holds(f.value, boundary)) return true;
    for (const FormFile& f : files)
        if (Holds(f.field, boundary) || Holds(f.fileName, boundary) ||
            Holds(f.contentType, boundary) || Holds(f.bytes, boundary))
            return true;
    return false;
}

}  // namespace

std::string EscapeDispositionName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '"') {
            out += "%22";
        } else if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else {
            out += c;
        }
    }
    return out;
}

// Appends text and external bytes to a body, keeping count of its size.
class RequestBodyWriter {
  public:
    explicit RequestBodyWriter(RequestBody& body, std::string contentType) : body_(body) {
        body_.contentType_ = std::move(contentType);
    }
    void Text(std::string_view text) {
        RequestBody::Piece& last =
            body_.pieces_.empty() || body_.pieces_.back().external
                ? body_.pieces_.emplace_back(RequestBody::Piece{false, body_.text_.size(), 0, {}})
                : body_.pieces_.back();
        body_.text_.append(text);
        last.length += text.size();
        body_.size_ += text.size();
    }
    void Bytes(std::string_view bytes) {
        body_.pieces_.push_back({true, 0, bytes.size(), bytes});
        body_.size_ += bytes.size();
    }

  private:
    RequestBody& body_;
};

std::vector<std::string_view> RequestBody::Pieces() const {
    std::vector<std::string_view> out;
    out.reserve(pieces_.size());
    for (const Piece& p : pieces_)
        out.push_back(p.external ? p.bytes : std::string_view(text_).substr(p.offset, p.length));
    return out;
}

std::string RandomBoundary() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::array<unsigned char, 24> random{};
    if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1) {
        std::random_device device;
        for (unsigned char& b : random) b = static_cast<unsigned char>(device());
    }
    std::string boundary = "----LumarFormBoundary";
    for (unsigned char b : random) boundary += kAlphabet[b % 62];
    return boundary;
}

lumar::Outcome<RequestBody> BuildMultipartBody(const std::vector<FormField>& fields,
                                               const std::vector<FormFile>& files,
                                               const std::function<std::string()>& makeBoundary) {
    for (const FormFile& f : files)
        if (!IsSafeHeaderText(f.contentType))
            return lumar::Reason(ReasonCode::kBadContentType, {f.contentType});
    std::string boundary;
    for (int attempt = 0; attempt < kBoundaryTries && boundary.empty(); ++attempt) {
        boundary = makeBoundary();
        if (boundary.empty() || OccursInAnyPart(boundary, fields, files)) boundary.clear();
    }
    if (boundary.empty()) return lumar::Reason(ReasonCode::kNoBoundary);

    RequestBody body;
    RequestBodyWriter out(body, "multipart/form-data; boundary=" + boundary);
    for (const FormField& f : fields) {
        out.Text("--" + boundary + "\r\nContent-Disposition: form-data; name=\"" +
                 EscapeDispositionName(f.name) + "\"\r\n\r\n");
        out.Text(f.value);
        out.Text("\r\n");
    }
    for (const FormFile& f : files) {
        out.Text("--" + boundary + "\r\nContent-Disposition: form-data; name=\"" +
                 EscapeDispositionName(f.field) + "\"; filename=\"" +
                 EscapeDispositionName(WithoutFolders(f.fileName)) + "\"\r\nContent-Type: " +
                 (f.contentType.empty() ? kDefaultContentType : f.contentType) + "\r\n\r\n");
        out.Bytes(f.bytes);
        out.Text("\r\n");
    }
    out.Text("--" + boundary + "--\r\n");
    return body;
}

lumar::Outcome<RequestBody> BuildRawBody(std::string_view bytes, std::string contentType) {
    if (!IsSafeHeaderText(contentType))
        return lumar::Reason(ReasonCode::kBadContentType, {contentType});
    RequestBody body;
    RequestBodyWriter(body, contentType.empty() ? kDefaultContentType : std::move(contentType))
        .Bytes(bytes);
    return body;
}

lumar::Outcome<std::string> BuildRequestHead(const RequestHeadParts& parts) {
    using lumar::Reason;
    if (!IsHttpToken(parts.method)) return Reason(ReasonCode::kBadMethod, {parts.method});
    if (parts.target.empty() || !IsSafeHeaderText(parts.target) ||
        parts.target.find_first_of(" \t") != std::string::npos)
        return Reason(ReasonCode::kBadTarget, {parts.target});
    if (!IsSafeHeaderText(parts.hostHeader) || parts.hostHeader.empty())
        return Reason(ReasonCode::kBadHostHeader, {parts.hostHeader});

    std::string userAgent = "Lumar/" LUMAR_VERSION;
    std::string extra;
    for (const auto& [name, value] : parts.extraHeaders) {
        if (!IsHttpToken(name)) return Reason(ReasonCode::kBadHeaderName, {name});
        if (!IsSafeHeaderText(value)) return Reason(ReasonCode::kBadHeaderValue, {name});
        // These describe the connection and the body; only the transport knows them.
        for (std::string_view own :
             {"Host", "Content-Length", "Content-Type", "Transfer-Encoding", "Connection"})
            if (EqualNoCase(name, own)) return Reason(ReasonCode::kOwnHeader, {name});
        if (EqualNoCase(name, "User-Agent")) {
            userAgent = value;
        } else {
            extra += name + ": " + value + "\r\n";
        }
    }

    std::string head = parts.method + " " + parts.target +
                       " HTTP/1.1\r\nHost: " + parts.hostHeader + "\r\nUser-Agent: " + userAgent +
                       "\r\n";
    if (parts.body) {
        head += "Content-Type: " + parts.body->ContentType() + "\r\n";
        head += "Content-Length: " + std::to_string(parts.body->Size()) + "\r\n";
    }
    head += "Connection: close\r\n" + extra + "\r\n";
    return head;
}

}  // namespace lumar::net
