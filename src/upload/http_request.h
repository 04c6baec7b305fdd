#pragma once
// The HTTP/1.0 requests of an upload, built as bytes: form fields and files in a multipart
// POST, or the fields as a query string in a GET. File bytes pass unchanged; every length is
// a length in bytes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumar {

inline constexpr const char* kDefaultMimeBoundary = "ZoBaRmInTeRiX";
inline constexpr const char* kUploadUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1) Opera 7.11";

class CHTTPRequest {
  public:
    void Host(std::string value) { host_ = std::move(value); }
    void Proxy(std::string value) { proxy_ = std::move(value); }
    void Path(std::string value) { path_ = std::move(value); }
    void UserAgent(std::string value) { userAgent_ = std::move(value); }
    // Sent to a proxy that asks for a user name, after the Host line; empty (the default): no
    // such line.
    void ProxyAuthorization(std::string value) { proxyAuthorization_ = std::move(value); }
    // The boundary the body is written with, unless a part holds that text (a file's bytes
    // may): then the body is written with one that no part holds.
    void MimeBoundary(std::string value) {
        boundary_ = std::move(value);
        chosenBoundary_.clear();
    }

    // Adds one form field. False (nothing added) when a field of that name exists already.
    [[nodiscard]] bool AddFormData(std::string name, std::string value);
    // Adds one file part. False (nothing added) when a part of that name exists already.
    // `absent`, when given, is a text the content is known not to hold (a worker searched it
    // already), so the choice of the boundary does not search the content for it again.
    [[nodiscard]] bool AddFile(std::string strName, std::string strFilename, std::string strContent,
                               std::string strContentType, std::string absent = "");

    // The multipart POST: header, then the body (fields, then files, in the order added).
    std::string GetPOSTQuery() const;
    // The size of the POST body alone, as the Content-Length line states it.
    size_t BodySize() const;
    // The same request as GetPOSTQuery, as pieces to be sent one after the other: the file
    // contents are not copied but referred to where AddFile keeps them, everything else is
    // written into `storage`. The views stay valid while this object and `storage` live
    // unchanged.
    std::vector<std::string_view> GetPOSTQueryPieces(std::string& storage) const;
    // Hands back the content of a file part (empty when there is none), so a caller can
    // reuse its buffer for the next file.
    std::string TakeFileContent(const std::string& strName);
    // A GET carrying the form fields as a query string (blanks in values as %20); files are
    // ignored.
    std::string GetGETQuery() const;

  private:
    struct Field {
        std::string name;
        std::string value;
    };
    struct FilePart {
        std::string name;
        std::string filename;
        std::string content;
        std::string contentType;
        std::string absent;  // not held by the content; "" when unknown
    };
    // What a piece of the body is: text written around the files, or a file's content, which
    // a sender may pass on where it lies instead of copying it.
    enum class PieceKind { kText, kFileContent };
    // Calls out(piece) for the text and out(content, PieceKind::kFileContent) for each file.
    template <typename Out>
    void WriteBody(Out& out) const;
    // The boundary used: MimeBoundary when no part holds it, else one chosen once that none holds.
    const std::string& Boundary() const;
    bool AnyPartHolds(std::string_view text) const;
    // The request line and headers, ending in the blank line that opens the body.
    std::string Header(size_t bodySize) const;

    std::string host_;
    std::string proxy_;
    std::string path_;
    std::string userAgent_;
    std::string proxyAuthorization_;
    std::string boundary_ = kDefaultMimeBoundary;
    mutable std::string chosenBoundary_;  // empty until the body is first written
    std::vector<Field> fields_;
    std::vector<FilePart> files_;
};

// The text after the last "." of the name (folders included) when the name has at least
// 3 characters and a "."; otherwise empty.
std::string GetFileExtension(const std::string& fileName);

// The content type for the lower-cased extension; "text/plain" for any other.
std::string GetMimeType(const std::string& fileName);

// The whole file as bytes into `buffer` (its capacity is reused); false, with `buffer` empty,
// when it cannot be opened or read, is empty, or is 2 GiB or larger.
bool ReadWholeFileInto(const std::string& path, std::string& buffer);

}  // namespace lumar
