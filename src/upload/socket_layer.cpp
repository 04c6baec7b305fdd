#include "upload/socket_layer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace lumar {

using State = net::HttpExchange::State;

void ReserveStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number comes back, and every lower one is taken by now.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened > fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

ClassicRoute RouteClassic(const TransportOptions& transport, CURL& url, std::uint16_t port) {
    net::HttpUrl plain;
    plain.host = url.Host();
    std::transform(plain.host.begin(), plain.host.end(), plain.host.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    plain.port = port;
    plain.target = url.Path();
    ClassicRoute route;
    route.proxy = transport.ProxyFor(plain);
    route.host = route.shownHost = url.Host();
    route.port = route.shownPort = port;
    if (route.proxy.proxy) {
        url.Proxy("http://" + plain.HostHeader());
        route.shownHost = route.proxy.proxy->host;
        route.shownPort = route.proxy.proxy->port;
    } else if (const ConnectTo* to = transport.Redirection(url.Host(), port)) {
        route.host = to->address;
        route.port = to->addressPort;
    }
    return route;
}

int UploadConnection::Socket() const {
    if (!exchange_) return connectFailed_ ? -1 : 0;
    const int fd = exchange_->Finished() ? -1 : exchange_->Fd();
    return fd >= 0 ? fd + 1 : 0;  // descriptor 0 is an open connection like any other
}

void UploadConnection::Close() {
    exchange_.reset();
    connectFailed_ = false;
}

const ResponseCollector& UploadConnection::Response() const {
    static const ResponseCollector kNone;
    return exchange_ ? exchange_->Collected() : kNone;
}

void UploadConnection::DriveWhile(State state, const net::RunControl& control) {
    net::HttpExchange* const one[] = {exchange_.get()};
    // The states come in the order an exchange goes through them.
    while (!exchange_->Finished() && exchange_->GetState() <= state &&
           net::PollTurn(std::span<net::HttpExchange* const>(one), control)) {
    }
}

SocketFailure UploadConnection::Failure() {
    why_ = exchange_->Reason();
    switch (exchange_->Error()) {
        case net::ExchangeError::kHostNotFound:
            return SocketFailure::kHostNotFound;
        case net::ExchangeError::kProxyRefused:
            return SocketFailure::kProxy;
        case net::ExchangeError::kSendFailed:
            return SocketFailure::kSendFailed;
        case net::ExchangeError::kTimeout:
            return SocketFailure::kTimeout;
        case net::ExchangeError::kCancelled:
            return SocketFailure::kCancelled;
        default:
            return SocketFailure::kConnectFailed;
    }
}

bool UploadConnection::FailConnect(SocketFailure reason, SocketFailure* why) {
    exchange_.reset();
    connectFailed_ = true;
    if (why) *why = reason;
    return false;
}

bool UploadConnection::BeginConnect(const std::string& host, std::uint16_t port,
                                    std::chrono::milliseconds timeout, SocketFailure* why) {
    Close();
    why_ = {};
    // Port 65535 has always been refused (its network-order value was the failure value).
    if (port == 0 || port == 0xFFFF) return FailConnect(SocketFailure::kConnectFailed, why);
    net::ExchangeRequest request;
    request.method = "POST";
    request.url.host = host;
    request.url.port = port;
    net::ExchangeOptions options;
    options.mode = net::ExchangeMode::kHttp10UntilClose;
    options.proxy = proxy_.proxy;
    options.proxyError = proxy_.error;
    options.lookup = lookup_;
    options.connectTimeout = options.idleTimeout = std::max(timeout, std::chrono::milliseconds(1));
    exchange_ = std::make_unique<net::HttpExchange>(std::move(request), std::move(options));
    return true;
}

bool UploadConnection::ConnectEnded(SocketFailure* why) {
    if (!exchange_) return FailConnect(SocketFailure::kConnectFailed, why);
    if (exchange_->GetState() != State::kConnected) return FailConnect(Failure(), why);
    if (why) *why = SocketFailure::kNone;
    return true;
}

bool UploadConnection::ConnectTo(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds timeout, const net::RunControl& control,
                                 SocketFailure* why) {
    if (!BeginConnect(host, port, timeout, why)) return false;
    DriveWhile(State::kHandshake, control);
    return ConnectEnded(why);
}

bool UploadConnection::BeginSend(std::span<const std::string_view> pieces, SocketFailure* why) {
    if (!exchange_ || exchange_->GetState() != State::kConnected) {
        if (why) *why = SocketFailure::kSendFailed;
        return false;
    }
    exchange_->SendWritten(std::vector<std::string_view>(pieces.begin(), pieces.end()));
    return true;
}

long long UploadConnection::SendEnded(SocketFailure* why) {
    if (exchange_->GetState() == State::kFailed && exchange_->FailedIn() <= State::kSend) {
        if (why) *why = Failure();
        exchange_.reset();
        return -1;
    }
    if (why) *why = SocketFailure::kNone;
    return static_cast<long long>(exchange_->BytesSent());
}

long long UploadConnection::SendData(std::span<const std::string_view> pieces,
                                     const net::RunControl& control, SocketFailure* why) {
    if (!BeginSend(pieces, why)) return -1;
    DriveWhile(State::kSend, control);
    return SendEnded(why);
}

long long UploadConnection::SendData(std::string_view data, const net::RunControl& control,
                                     SocketFailure* why) {
    const std::string_view pieces[] = {data};
    return SendData(std::span<const std::string_view>(pieces), control, why);
}

WaitEnd UploadConnection::WaitForAnswer(const net::RunControl& control) {
    if (!exchange_) return WaitEnd::kClosed;
    DriveWhile(State::kReceive, control);
    return AnswerEnded();
}

WaitEnd UploadConnection::AnswerEnded() const {
    if (!exchange_ || exchange_->GetState() != State::kFailed) return WaitEnd::kClosed;
    switch (exchange_->Error()) {
        case net::ExchangeError::kTimeout:
            return WaitEnd::kTimeout;
        case net::ExchangeError::kCancelled:
            return WaitEnd::kCancelled;
        default:
            return WaitEnd::kClosed;
    }
}

}  // namespace lumar
