#include "upload/http_request.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <random>

#include "shell/file_io.h"
#include "shell/plain_text.h"

namespace lumar {
namespace {

constexpr const char* kCrLf = "\r\n";

}  // namespace

bool CHTTPRequest::AddFormData(std::string name, std::string value) {
    for (const Field& f : fields_)
        if (f.name == name) return false;
    fields_.push_back({std::move(name), std::move(value)});
    chosenBoundary_.clear();
    return true;
}

bool CHTTPRequest::AddFile(std::string strName, std::string strFilename, std::string strContent,
                           std::string strContentType, std::string absent) {
    for (const FilePart& f : files_)
        if (f.name == strName) return false;
    files_.push_back({std::move(strName), std::move(strFilename), std::move(strContent),
                      std::move(strContentType), std::move(absent)});
    chosenBoundary_.clear();
    return true;
}

bool CHTTPRequest::AnyPartHolds(std::string_view text) const {
    auto holds = [text](std::string_view part) { return Holds(part, text); };
    for (const Field& f : fields_)
        if (holds(f.name) || holds(f.value)) return true;
    for (const FilePart& f : files_)
        if (holds(f.name) || holds(f.filename) || holds(f.contentType) ||
            (f.absent != text && holds(f.content)))
            return true;
    return false;
}

const std::string& CHTTPRequest::Boundary() const {
    if (!chosenBoundary_.empty()) return chosenBoundary_;
    if (!AnyPartHolds(boundary_)) return chosenBoundary_ = boundary_;
    // A part that holds the boundary would end early at the host, and what follows in it
    // would be read as parts of their own. A random suffix cannot be prepared for by a file.
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
    constexpr char kHex[] = "0123456789abcdef";
    std::string candidate;
    do {
        candidate = boundary_ + "_";
        for (std::uint64_t bits = random(), i = 0; i < 16; ++i, bits >>= 4)
            candidate += kHex[bits & 15];
    } while (AnyPartHolds(candidate));
    return chosenBoundary_ = candidate;
}

// Writes the body into `out`, which either appends bytes or only counts them, so the
// Content-Length is known before the body exists and the file is copied only once.
template <typename Out>
void CHTTPRequest::WriteBody(Out& out) const {
    const std::string delimiter = "--" + Boundary();
    out(delimiter), out(kCrLf);
    for (size_t i = 0; i < fields_.size(); ++i) {
        out("Content-Disposition: form-data; name=\""), out(fields_[i].name), out("\""), out(kCrLf),
            out(kCrLf);
        out(fields_[i].value);
        out(kCrLf), out(delimiter);
        if (i + 1 < fields_.size()) out(kCrLf);
    }
    if (!files_.empty() && !fields_.empty()) {
        out(kCrLf);
    } else if (files_.empty() && !fields_.empty()) {
        out("--"), out(kCrLf);
    } else if (files_.empty() && fields_.empty()) {
        out(delimiter), out("--"), out(kCrLf);
    }
    for (size_t i = 0; i < files_.size(); ++i) {
        const FilePart& f = files_[i];
        out("Content-Disposition: attachment; name=\""), out(f.name), out("\"; filename=\""),
            out(f.filename), out("\""), out(kCrLf);
        out("Content-Type: "), out(f.contentType), out(kCrLf), out(kCrLf);
        out(f.content, PieceKind::kFileContent);
        out(kCrLf), out(delimiter);
        if (i + 1 < files_.size()) out(kCrLf);
    }
    if (!files_.empty()) out("--"), out(kCrLf);
}

size_t CHTTPRequest::BodySize() const {
    size_t size = 0;
    auto count = [&size](std::string_view piece, PieceKind = PieceKind::kText) {
        size += piece.size();
    };
    WriteBody(count);
    return size;
}

std::vector<std::string_view> CHTTPRequest::GetPOSTQueryPieces(std::string& storage) const {
    // Positions into `storage` first, views at the end: appending may move its buffer.
    struct Piece {
        std::string_view content;  // a file's content, or empty for storage[offset, +length)
        size_t offset;
        size_t length;
    };
    std::vector<Piece> pieces;
    storage.clear();
    const size_t bodySize = BodySize();
    storage += Header(bodySize);
    size_t start = 0;
    auto append = [&](std::string_view piece, PieceKind kind = PieceKind::kText) {
        if (kind == PieceKind::kText || piece.empty()) {
            storage.append(piece);
            return;
        }
        pieces.push_back({{}, start, storage.size() - start});
        pieces.push_back({piece, 0, piece.size()});
        start = storage.size();
    };
    WriteBody(append);
    pieces.push_back({{}, start, storage.size() - start});

    std::vector<std::string_view> views;
    for (const Piece& p : pieces) {
        if (!p.content.empty())
            views.emplace_back(p.content);
        else if (p.length > 0)
            views.emplace_back(storage.data() + p.offset, p.length);
    }
    return views;
}

std::string CHTTPRequest::TakeFileContent(const std::string& strName) {
    chosenBoundary_.clear();
    for (FilePart& f : files_)
        if (f.name == strName) return std::move(f.content);
    return {};
}

std::string CHTTPRequest::Header(size_t bodySize) const {
    std::string header;
    header += "POST " + proxy_ + path_ + " HTTP/1.0" + kCrLf;
    header += std::string("Accept: */*") + kCrLf;
    header += "User-Agent: " + userAgent_ + kCrLf;
    header += "Host: " + host_ + kCrLf;
    if (!proxyAuthorization_.empty())
        header += "Proxy-Authorization: " + proxyAuthorization_ + kCrLf;
    header += "Content-Type: multipart/form-data, boundary=" + Boundary() + kCrLf;
    header += "Content-Length: " + std::to_string(bodySize) + kCrLf;
    header += kCrLf;
    return header;
}

std::string CHTTPRequest::GetPOSTQuery() const {
    const size_t bodySize = BodySize();
    std::string request = Header(bodySize);
    request.reserve(request.size() + bodySize);
    auto append = [&request](std::string_view piece, PieceKind = PieceKind::kText) {
        request.append(piece);
    };
    WriteBody(append);
    return request;
}

std::string CHTTPRequest::GetGETQuery() const {
    std::string query;
    for (size_t i = 0; i < fields_.size(); ++i) {
        query += i == 0 ? "?" : "&";
        query += fields_[i].name + "=";
        for (char c : fields_[i].value) {
            if (c == ' ')
                query += "%20";
            else
                query += c;
        }
    }
    std::string request = "GET " + proxy_ + path_ + query + " HTTP/1.0" + kCrLf;
    request += std::string("Accept: */*") + kCrLf;
    request += "User-Agent: " + userAgent_ + kCrLf;
    request += "Host: " + host_ + kCrLf;
    request += kCrLf;
    return request;
}

std::string GetFileExtension(const std::string& fileName) {
    if (fileName.size() < 3) return {};
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return {};
    return fileName.substr(dot + 1);
}

std::string GetMimeType(const std::string& fileName) {
    std::string ext = GetFileExtension(fileName);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "bmp") return "image/bmp";
    if (ext == "gif") return "image/gif";
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    if (ext == "swf") return "application/x-shockwave-flash";
    if (ext == "mpg" || ext == "mpeg") return "video/mpeg";
    if (ext == "wmv") return "video/x-ms-wmv";
    if (ext == "avi") return "video/avi";
    return "text/plain";
}

bool ReadWholeFileInto(const std::string& path, std::string& buffer) {
    buffer.clear();
    if (path.empty()) return false;
    const FileDescriptor fd = OpenForReading(path);
    if (!fd) return false;
    struct stat st {};
    // The size decides how much is read, as it is taken when the file is opened; files of
    // 2 GiB and more do not fit the request's counting.
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        st.st_size >= 0x80000000LL)
        return false;
    buffer.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(fd.Get(), buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            buffer.clear();
            return false;
        }
        if (n == 0) break;  // the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    buffer.resize(done);
    return done > 0;
}

}  // namespace lumar
