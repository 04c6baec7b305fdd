#include "hoster_emulator/hoster_emulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lumar::tools {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 64u * 1024u * 1024u;
constexpr auto kRequestTimeLimit = 30s;
constexpr std::size_t kKeptBodyBytes = 1024 * 1024;
constexpr std::size_t kKeptFileBytes = 64u * 1024u * 1024u;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Waits for `events` on fd up to `until`; true when ready.
bool WaitReady(int fd, short events, Clock::time_point until, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
    return false;
}

bool SendAll(int fd, std::string_view bytes, const std::atomic<bool>& stop) {
    const auto until = Clock::now() + kRequestTimeLimit;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitReady(fd, POLLOUT, until, stop)) return false;
            continue;
        }
        return false;
    }
    return true;
}

// Sends the bytes in pieces of `size`, `gap` apart.
bool SendInPieces(int fd, std::string_view bytes, std::size_t size, std::chrono::milliseconds gap,
                  const std::atomic<bool>& stop) {
    for (std::size_t at = 0; at < bytes.size() && !stop.load(); at += size) {
        if (!SendAll(fd, bytes.substr(at, size), stop)) return false;
        std::this_thread::sleep_for(gap);
    }
    return true;
}

void ResetAndClose(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

// Holds a connection open until the peer closes it, the limit passes or the server stops.
void HoldOpen(int fd, std::chrono::milliseconds limit, const std::atomic<bool>& stop) {
    const auto until = Clock::now() + limit;
    char buffer[4096];
    while (WaitReady(fd, POLLIN, until, stop)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
    }
}

std::string HeaderValue(const std::string& header, const std::string& name) {
    const std::string lower = Lower(header);
    const std::string key = "\r\n" + Lower(name) + ":";
    const std::size_t at = lower.find(key);
    if (at == std::string::npos) return {};
    std::size_t start = at + key.size();
    const std::size_t end = header.find("\r\n", start);
    std::string value =
        header.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first);
}

std::string Quoted(const std::string& headers, const std::string& key) {
    const std::string lower = Lower(headers);
    std::size_t at = 0;
    // name= must not match inside filename=
    while ((at = lower.find(key + "=\"", at)) != std::string::npos) {
        if (at == 0 || lower[at - 1] == ' ' || lower[at - 1] == ';') break;
        ++at;
    }
    if (at == std::string::npos) return {};
    const std::size_t start = at + key.size() + 2;
    const std::size_t end = headers.find('"', start);
    return end == std::string::npos ? std::string() : headers.substr(start, end - start);
}

std::string SafeName(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) c = '_';
    }
    return name.empty() ? "image" : name;
}

std::string CodeFor(HosterStyle style, const std::string& base, int id, const std::string& name) {
    const std::string n = std::to_string(id);
    const std::string image = base + "/i/" + n + "/" + name;
    switch (style) {
        case HosterStyle::ImageShack:
            return "[url=" + base + "/v/" + n + "][img]" + image + "[/img][/url]";
        case HosterStyle::PaintedOver:
            return "[URL=" + base + "/v/?id=" + n + "&s=1&t=2][IMG]" + image + "[/IMG][/URL]";
        default:
            return "[URL=" + base + "/v/" + n + "][IMG]" + image + "[/IMG][/URL]";
    }
}

std::string HttpAnswer(const std::string& contentType, const std::string& body,
                       const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// The image number of a page link as CodeFor hands them out: "GET /v/<n> ..." or
// "GET /v/?id=<n>&..."; 0 when the request asks for no page.
int ViewedImage(const std::string& requestLine) {
    constexpr std::string_view kPage = "GET /v/";
    if (requestLine.rfind(kPage, 0) != 0) return 0;
    std::size_t at = kPage.size();
    if (requestLine.compare(at, 4, "?id=") == 0) at += 4;
    int id = 0;
    for (; at < requestLine.size() && requestLine[at] >= '0' && requestLine[at] <= '9' &&
           id < 100000000;
         ++at)
        id = id * 10 + (requestLine[at] - '0');
    const bool ended = at == requestLine.size() || requestLine[at] == ' ' ||
                       requestLine[at] == '&' || requestLine[at] == '?' || requestLine[at] == '/';
    return ended ? id : 0;
}

// The page a forum reader lands on from the thumbnail: the picture itself. SafeName keeps the
// name free of anything HTML would read.
std::string ViewPage(int id, const std::string& fileName) {
    const std::string name = SafeName(fileName);
    return "<html><head><title>" + name + "</title></head><body>\n<p><img src=\"/i/" +
           std::to_string(id) + "/" + name + "\" alt=\"" + name + "\"></p>\n</body></html>\n";
}

}  // namespace

std::vector<FormPart> ParseMultipart(const std::string& body, const std::string& boundary) {
    std::vector<FormPart> parts;
    if (boundary.empty()) return parts;
    const std::string delimiter = "--" + boundary;
    std::size_t at = body.find(delimiter);
    for (int guard = 0; at != std::string::npos && guard < 10000; ++guard) {
        std::size_t start = at + delimiter.size();
        if (body.compare(start, 2, "--") == 0) break;
        if (body.compare(start, 2, "\r\n") == 0) start += 2;
        const std::size_t headerEnd = body.find("\r\n\r\n", start);
        if (headerEnd == std::string::npos) break;
        const std::size_t next = body.find("\r\n" + delimiter, headerEnd + 4);
        if (next == std::string::npos) break;
        const std::string headers = "\r\n" + body.substr(start, headerEnd - start);
        FormPart part;
        part.name = Quoted(headers, "name");
        part.fileName = Quoted(headers, "filename");
        part.contentType = HeaderValue(headers, "Content-Type");
        part.content = body.substr(headerEnd + 4, next - headerEnd - 4);
        parts.push_back(std::move(part));
        at = next + 2;
    }
    return parts;
}

HosterStyle HosterEmulator::StyleForFileField(const std::string& fileField) {
    if (fileField == "userfile[]") return HosterStyle::ImageVenue;
    if (fileField == "fileupload") return HosterStyle::ImageShack;
    if (fileField == "file[0]") return HosterStyle::DumpAnImage;
    if (fileField == "fu_upfile") return HosterStyle::KeepMyFile;
    if (fileField == "userfile[1]") return HosterStyle::PaintedOver;
    if (fileField == "file[]") return HosterStyle::SUpload;
    return HosterStyle::Unknown;
}

std::string HosterEmulator::PageFor(HosterStyle style, const std::string& code) {
    const std::string head = "<html><head><title>Upload done</title></head><body>\n";
    const std::string tail = "\n</body></html>\n";
    switch (style) {
        case HosterStyle::ImageVenue:
            return head +
                   "<form name=\"form1\"><textarea>[URL=http://example.invalid/]not this one[/URL]"
                   "</textarea></form>\n<FORM NAME=\"form2\"><p>Forum code:</p><textarea "
                   "rows=\"3\">" +
                   code + "</textarea></form>" + tail;
        case HosterStyle::ImageShack:
            return head +
                   "<p>Thumbnail for forums:</p>\n<input type=\"text\" size=\"70\" value=\"" +
                   code + "\" onclick=\"select()\">" + tail;
        case HosterStyle::DumpAnImage:
            return head + "<textarea cols=\"60\">" + code + " </textarea>" + tail;
        case HosterStyle::KeepMyFile:
            return head + "Your file is saved.<br>Forum: " + code + "<br>Direct: none<br>" + tail;
        case HosterStyle::PaintedOver: {
            std::string escaped;
            bool upper = false;
            for (char c : code) {
                if (c == '&') {
                    escaped += upper ? "&AMP;" : "&amp;";
                    upper = !upper;
                } else {
                    escaped += c;
                }
            }
            return head + "<b>BBCode:</b><br><textarea>" + escaped + "</textarea>" + tail;
        }
        case HosterStyle::SUpload:
            return head +
                   "<h3>HTML "
                   "Codes</h3><textarea>[URL=http://example.invalid/]html[/URL]</textarea>" +
                   "<h3>vBulletin Forum Codes</h3><textarea>" + code + "\\n</textarea>" + tail;
        case HosterStyle::Unknown:
            break;
    }
    return head + "<p>Unknown upload form.</p>" + tail;
}

HosterEmulator::HosterEmulator(std::uint16_t port, std::chrono::seconds lifetime)
    : lifetime_(lifetime) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return;
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

HosterEmulator::~HosterEmulator() {
    Stop();
}

void HosterEmulator::Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void HosterEmulator::SetMisbehaviour(Misbehaviour mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

void HosterEmulator::SetRawAnswer(std::string bytes, std::vector<std::size_t> pieces) {
    std::lock_guard lock(mutex_);
    rawAnswer_ = std::move(bytes);
    rawPieces_ = std::move(pieces);
    mode_ = Misbehaviour::Raw;
}

void HosterEmulator::SetHoldLimit(std::chrono::milliseconds limit) {
    std::lock_guard lock(mutex_);
    holdLimit_ = limit;
}

std::vector<ReceivedUpload> HosterEmulator::Uploads() const {
    std::lock_guard lock(mutex_);
    return uploads_;
}

std::string HosterEmulator::HostersIni() const {
    std::string ini;
    for (int row = 1; row <= 7; ++row) {
        ini += "[Hoster" + std::to_string(row) +
               "]\r\nConnectHost=127.0.0.1\r\nPort=" + std::to_string(port_) + "\r\n\r\n";
    }
    return ini;
}

void HosterEmulator::Serve() {
    const auto until = Clock::now() + lifetime_;
    while (!stop_.load() && Clock::now() < until) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        HandleConnection(fd);
    }
}

void HosterEmulator::HandleConnection(int fd) {
    Misbehaviour mode;
    std::string raw;
    std::vector<std::size_t> pieces;
    std::chrono::milliseconds hold;
    {
        std::lock_guard lock(mutex_);
        mode = mode_;
        raw = rawAnswer_;
        pieces = rawPieces_;
        hold = holdLimit_;
    }
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    const auto until = Clock::now() + kRequestTimeLimit;

    // The request header.
    std::string data;
    std::size_t headerEnd = std::string::npos;
    char buffer[65536];
    while (headerEnd == std::string::npos && data.size() < kMaxHeaderBytes) {
        if (!WaitReady(fd, POLLIN, until, stop_)) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (n > 0) data.append(buffer, static_cast<std::size_t>(n));
        headerEnd = data.find("\r\n\r\n");
    }
    if (headerEnd == std::string::npos) {
        ::close(fd);
        return;
    }
    if (mode == Misbehaviour::ResetWhileReceiving) {
        ResetAndClose(fd);
        return;
    }
    ReceivedUpload upload;
    upload.header = data.substr(0, headerEnd);
    upload.requestLine = upload.header.substr(0, upload.header.find("\r\n"));
    const std::string headerForLookup = "\r\n" + upload.header;

    // The body, by Content-Length.
    const std::string lengthText = HeaderValue(headerForLookup, "Content-Length");
    const std::size_t length = std::min<std::size_t>(
        lengthText.empty() ? 0 : std::strtoull(lengthText.c_str(), nullptr, 10), kMaxBodyBytes);
    upload.body = data.substr(headerEnd + 4);
    const std::size_t slice = mode == Misbehaviour::SlowRead ? 16384 : sizeof buffer;
    while (upload.body.size() < length) {
        if (!WaitReady(fd, POLLIN, until, stop_)) break;
        const ssize_t n =
            ::recv(fd, buffer, std::min(slice, length - upload.body.size()), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (n > 0) upload.body.append(buffer, static_cast<std::size_t>(n));
        if (mode == Misbehaviour::SlowRead) std::this_thread::sleep_for(1ms);
    }

    // A GET serves a received image: /i/<id>/<name>.
    if (upload.requestLine.rfind("GET /i/", 0) == 0) {
        const int id = std::atoi(upload.requestLine.c_str() + 7);
        std::string answer = HttpAnswer("text/html", "<html><body>not found</body></html>");
        {
            std::lock_guard lock(mutex_);
            for (const ReceivedUpload& u : uploads_)
                if (u.id == id) answer = HttpAnswer("image/jpeg", u.fileBytes);
        }
        SendAll(fd, answer, stop_);
        ::close(fd);
        return;
    }

    // A GET of a page link shows that image on a page of its own.
    if (const int id = ViewedImage(upload.requestLine);
        id > 0 || upload.requestLine.rfind("GET /v/", 0) == 0) {
        std::string answer =
            HttpAnswer("text/html", "<html><body>not found</body></html>\n", "404 Not Found");
        {
            std::lock_guard lock(mutex_);
            if (id > 0 && static_cast<std::size_t>(id) <= uploads_.size() &&
                !uploads_[id - 1].code.empty())
                answer = HttpAnswer("text/html", ViewPage(id, uploads_[id - 1].fileName));
        }
        SendAll(fd, answer, stop_);
        ::close(fd);
        return;
    }

    // Record the upload and work out its code.
    std::string boundary = HeaderValue(headerForLookup, "Content-Type");
    const std::size_t b = Lower(boundary).find("boundary=");
    boundary = b == std::string::npos ? std::string() : boundary.substr(b + 9);
    if (!boundary.empty() && boundary.front() == '"')
        boundary = boundary.substr(1, boundary.find('"', 1) - 1);
    upload.parts = ParseMultipart(upload.body, boundary);
    for (const FormPart& part : upload.parts) {
        if (part.fileName.empty() && part.contentType.empty()) continue;
        upload.style = StyleForFileField(part.name);
        upload.fileName = part.fileName;
        upload.fileBytes = part.content;
        break;
    }
    std::string page;
    {
        std::lock_guard lock(mutex_);
        upload.id = static_cast<int>(uploads_.size()) + 1;
        if (upload.style != HosterStyle::Unknown && mode != Misbehaviour::NoMarkers)
            upload.code = CodeFor(upload.style, "http://127.0.0.1:" + std::to_string(port_),
                                  upload.id, SafeName(upload.fileName));
        page = upload.code.empty() ? PageFor(HosterStyle::Unknown, "")
                                   : PageFor(upload.style, upload.code);
        // Long benchmark runs must not pile up gigabytes: large bodies are not kept, and the
        // oldest images are forgotten once the kept ones pass the budget.
        if (upload.body.size() > kKeptBodyBytes) upload.body.clear();
        for (FormPart& part : upload.parts)
            if (part.content.size() > kKeptBodyBytes) part.content.clear();
        keptFileBytes_ += upload.fileBytes.size();
        for (size_t i = forgotten_; i < uploads_.size() && keptFileBytes_ > kKeptFileBytes;
             ++i, ++forgotten_) {
            keptFileBytes_ -= uploads_[i].fileBytes.size();
            uploads_[i].fileBytes.clear();
            uploads_[i].fileBytes.shrink_to_fit();
        }
        uploads_.push_back(std::move(upload));
    }
    const std::string answer = HttpAnswer("text/html", page);

    switch (mode) {
        case Misbehaviour::None:
        case Misbehaviour::NoMarkers:
        case Misbehaviour::SlowRead:
        case Misbehaviour::ResetWhileReceiving:
            SendAll(fd, answer, stop_);
            break;
        case Misbehaviour::SmallPieces:
            SendInPieces(fd, answer, 5, 1ms, stop_);
            break;
        case Misbehaviour::NoHeader:
            SendAll(fd, page, stop_);
            break;
        case Misbehaviour::NeverClose:
            SendAll(fd, answer, stop_);
            HoldOpen(fd, hold, stop_);
            break;
        case Misbehaviour::NeverCloseSilent:
            HoldOpen(fd, hold, stop_);
            break;
        case Misbehaviour::CloseWithoutAnswer:
            break;
        case Misbehaviour::Reset:
            ResetAndClose(fd);
            return;
        case Misbehaviour::SlowDrip:
            SendInPieces(fd, answer, 64, 20ms, stop_);
            break;
        case Misbehaviour::OverCap: {
            if (!SendAll(fd, answer, stop_)) break;
            const std::string filler(65536, 'x');
            for (int i = 0; i < 17 * 16 && !stop_.load(); ++i)
                if (!SendAll(fd, filler, stop_)) break;
            break;
        }
        case Misbehaviour::Raw: {
            std::size_t at = 0;
            for (std::size_t size : pieces) {
                if (at >= raw.size() || stop_.load()) break;
                if (!SendAll(fd, std::string_view(raw).substr(at, size), stop_)) break;
                at += size;
                std::this_thread::sleep_for(10ms);
            }
            if (at < raw.size()) SendAll(fd, std::string_view(raw).substr(at), stop_);
            break;
        }
    }
    ::close(fd);
}

}  // namespace lumar::tools
