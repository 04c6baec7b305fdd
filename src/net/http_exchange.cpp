#include "net/http_exchange.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/host_name.h"
#include "net/tls_stream.h"

namespace lumar::net {
namespace {

using Clock = std::chrono::steady_clock;

// Pieces smaller than this are joined into one buffer, so a request does not leave as a train
// of small segments (or TLS records) that each wait for the peer.
constexpr size_t kJoinBelowBytes = 16 * 1024;
constexpr size_t kReadBufferBytes = 16 * 1024;

std::string Authority(const std::string& host, std::uint16_t port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

}  // namespace

HttpExchange::HttpExchange(ExchangeRequest request, ExchangeOptions options)
    : request_(std::move(request)),
      options_(std::move(options)),
      tunnelAnswer_({}, true),
      response_(options_.limits, request_.method == "HEAD") {
    if (options_.proxy) {
        dialHost_ = options_.proxy->host;
        dialPort_ = options_.proxy->port;
    } else {
        dialHost_ = options_.connectHost.empty() ? request_.url.host : options_.connectHost;
        dialPort_ = options_.connectPort ? options_.connectPort : request_.url.port;
    }
    if (options_.proxyError) {
        Fail(ExchangeError::kProxyRefused, *options_.proxyError);
        return;
    }
    // A request that cannot be sent fails before any connection is made for it. A classic
    // request is the caller's own, given once the connection is up.
    if (Classic() || BuildHead()) StartResolve();
}

HttpExchange::~HttpExchange() {
    CloseSocket();
}

int HttpExchange::Fd() const {
    if (Finished()) return -1;
    if (state_ == State::kResolve) return lookup_ ? lookup_->Fd() : -1;
    return socket_;
}

void HttpExchange::Step(short revents) {
    if (Finished()) return;
    if (revents == 0) {
        if (Clock::now() < deadline_) return;
        switch (state_) {
            case State::kResolve:
                return Fail(ExchangeError::kTimeout, {ReasonCode::kLookupTimedOut, {dialHost_}});
            case State::kConnect:
                connectError_ = lumar::Reason(ReasonCode::kNoAnswerFrom,
                                              {addresses_[nextAddress_ - 1].ToString()});
                if (nextAddress_ < addresses_.size() && Clock::now() < connectDeadline_)
                    return ConnectNext();
                return Fail(ExchangeError::kTimeout, {ReasonCode::kConnectTimedOut, {dialHost_}});
            case State::kProxyTunnel:
                return Fail(ExchangeError::kTimeout, ReasonCode::kProxyTimedOut);
            case State::kHandshake:
                return Fail(ExchangeError::kTimeout, ReasonCode::kTlsTimedOut);
            case State::kSend:
                return Fail(ExchangeError::kTimeout, ReasonCode::kSendTimedOut);
            default:
                return Fail(ExchangeError::kTimeout, ReasonCode::kAnswerTimedOut);
        }
    }
    switch (state_) {
        case State::kResolve:
            return OnResolved();
        case State::kConnect:
            return OnConnectReady(revents);
        case State::kProxyTunnel:
            return tunnelAsked_ ? OnReceiveReady() : OnSendReady();
        case State::kHandshake:
            return OnHandshake();
        case State::kSend:
            // A server that refuses the request (413) may answer before it has all of it. A
            // classic request goes out whole before anything is read, as it always did.
            if (!tls_ && !Classic() && (revents & POLLIN)) OnReceiveReady();
            if (state_ == State::kSend) OnSendReady();
            return;
        case State::kReceive:
            return OnReceiveReady();
        default:
            return;
    }
}

void HttpExchange::Cancel() {
    if (!Finished()) Fail(ExchangeError::kCancelled, ReasonCode::kCancelled);
}

void HttpExchange::SendWritten(const std::vector<std::string_view>& pieces) {
    if (state_ != State::kConnected) return;
    state_ = State::kSend;
    ownedSegments_.emplace_back();
    QueueForSending(pieces);
    OnSendReady();
}

void HttpExchange::StartResolve() {
    state_ = State::kResolve;
    connectDeadline_ = Clock::now() + options_.connectTimeout;
    // All bits set never names a host, and a name the lookup could only read loosely (digits
    // and dots alone) or one of the reserved domain "invalid" is refused without asking a name
    // server, whose time-out would only delay the failure.
    std::optional<SocketAddress> numeric = NumericAddress(dialHost_, dialPort_);
    if ((numeric && ParseDottedAddress(dialHost_) == 0xFFFFFFFFu) ||
        (!numeric && (!IsHostName(dialHost_) || IsReservedInvalidName(dialHost_))))
        return Fail(ExchangeError::kHostNotFound, {ReasonCode::kNoSuchHost, {dialHost_}});
    if (numeric) {
        addresses_.push_back(*numeric);
        return ConnectNext();
    }
    lookup_ = std::make_unique<PendingLookup>(options_.lookup, dialHost_, dialPort_);
    deadline_ = connectDeadline_;
    events_ = POLLIN;
    if (lookup_->Fd() < 0) OnResolved();
}

void HttpExchange::OnResolved() {
    std::optional<std::vector<SocketAddress>> found = lookup_->Take();
    if (!found) return;  // woken early; the answer is still coming
    lookup_.reset();
    addresses_ = std::move(*found);
    if (addresses_.empty())
        return Fail(ExchangeError::kHostNotFound, {ReasonCode::kNoSuchHost, {dialHost_}});
    ConnectNext();
}

void HttpExchange::ConnectNext() {
    CloseSocket();
    state_ = State::kConnect;
    while (nextAddress_ < addresses_.size()) {
        const Clock::time_point now = Clock::now();
        if (now >= connectDeadline_) break;
        const SocketAddress& address = addresses_[nextAddress_++];
        socket_ = ::socket(address.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket_ < 0) {
            connectError_ =
                lumar::Reason(ReasonCode::kNoSocket, {address.ToString(), ErrnoText(errno)});
            continue;
        }
        if (Classic()) {
            const linger reset{1, 0};
            ::setsockopt(socket_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address.storage),
                      address.length) == 0)
            return AfterConnect();
        if (errno == EINPROGRESS) {
            // Each address left gets an equal share of the time that is left.
            const auto left = static_cast<long>(addresses_.size() - nextAddress_ + 1);
            deadline_ = now + (connectDeadline_ - now) / left;
            events_ = POLLOUT;
            return;
        }
        connectError_ =
            lumar::Reason(ReasonCode::kCannotConnect, {address.ToString(), ErrnoText(errno)});
        CloseSocket();
    }
    if (nextAddress_ < addresses_.size() || !connectError_)
        return Fail(ExchangeError::kTimeout, {ReasonCode::kConnectTimedOut, {dialHost_}});
    Fail(ExchangeError::kConnectFailed, *connectError_);
}

void HttpExchange::OnConnectReady(short) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
        connectError_ = lumar::Reason(ReasonCode::kCannotConnect,
                                      {addresses_[nextAddress_ - 1].ToString(), ErrnoText(error)});
        return ConnectNext();
    }
    AfterConnect();
}

void HttpExchange::AfterConnect() {
    // Every write is large or the last of the request (see kJoinBelowBytes), so waiting for
    // more to fill a segment only delays it.
    const int on = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (Classic()) {
        state_ = State::kConnected;
        events_ = 0;
        deadline_ = Clock::time_point::max();
        return;
    }
    if (options_.proxy && request_.url.https) return StartTunnel();
    if (request_.url.https) return StartHandshake();
    SendRequest();
}

void HttpExchange::StartTunnel() {
    state_ = State::kProxyTunnel;
    const std::string target =
        Authority(options_.connectHost.empty() ? request_.url.host : options_.connectHost,
                  options_.connectPort ? options_.connectPort : request_.url.port);
    std::string head = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target +
                       "\r\nUser-Agent: Lumar/" LUMAR_VERSION "\r\n";
    if (!options_.proxy->authorization.empty())
        head += "Proxy-Authorization: " + options_.proxy->authorization + "\r\n";
    ownedSegments_.push_back(head + "\r\n");
    QueueForSending({});
    OnSendReady();
}

void HttpExchange::OnTunnelAnswer(std::string_view bytes) {
    switch (tunnelAnswer_.Feed(bytes)) {
        case HttpResponseReader::State::kDone:
            break;
        case HttpResponseReader::State::kFailed:
            return Fail(ExchangeError::kProxyRefused,
                        {ReasonCode::kProxyBadAnswer, {tunnelAnswer_.Error()}});
        default:
            return;
    }
    if (tunnelAnswer_.Status() / 100 == 2) return StartHandshake();
    Fail(ExchangeError::kProxyRefused,
         {ReasonCode::kProxyRefusedTunnel,
          {std::to_string(tunnelAnswer_.Status()) + " " + tunnelAnswer_.Reason()}});
}

void HttpExchange::StartHandshake() {
    state_ = State::kHandshake;
    tls_ = std::make_unique<TlsStream>(socket_, request_.url.host, options_.caFile);
    OnHandshake();
}

void HttpExchange::OnHandshake() {
    switch (tls_->Handshake()) {
        case TlsStatus::kDone:
            resumedTls_ = tls_->Resumed();
            return SendRequest();
        case TlsStatus::kWantRead:
            return WaitIdle(POLLIN);
        case TlsStatus::kWantWrite:
            return WaitIdle(POLLOUT);
        default:
            return Fail(ExchangeError::kTls, {ReasonCode::kTlsFailed, {tls_->Error()}});
    }
}

bool HttpExchange::BuildHead() {
    const bool absoluteTarget = options_.proxy && !request_.url.https;
    RequestHeadParts parts;
    parts.method = request_.method;
    parts.target = absoluteTarget ? request_.url.ToString() : request_.url.target;
    parts.hostHeader = request_.url.HostHeader();
    parts.body = request_.body;
    parts.extraHeaders = request_.headers;
    if (absoluteTarget && !options_.proxy->authorization.empty())
        parts.extraHeaders.emplace_back("Proxy-Authorization", options_.proxy->authorization);
    lumar::Outcome<std::string> head = BuildRequestHead(parts);
    if (!head) {
        Fail(ExchangeError::kBadRequest, head.Why());
        return false;
    }
    requestHead_ = std::move(head).Value();
    return true;
}

void HttpExchange::SendRequest() {
    state_ = State::kSend;
    ownedSegments_.push_back(std::move(requestHead_));
    QueueForSending(request_.body ? request_.body->Pieces() : std::vector<std::string_view>{});
    OnSendReady();
}

// Queues the last owned segment followed by `pieces`, joining the small ones.
void HttpExchange::QueueForSending(const std::vector<std::string_view>& pieces) {
    std::vector<std::string> owned{std::move(ownedSegments_.back())};
    std::vector<bool> isOwned{true};
    std::vector<std::string_view> external{{}};
    for (std::string_view piece : pieces) {
        if (piece.size() < kJoinBelowBytes && isOwned.back()) {
            owned.back().append(piece);
        } else if (piece.size() < kJoinBelowBytes) {
            owned.emplace_back(piece);
            isOwned.push_back(true);
            external.emplace_back();
        } else {
            isOwned.push_back(false);
            external.push_back(piece);
        }
    }
    ownedSegments_ = std::move(owned);
    segments_.clear();
    size_t nextOwned = 0;
    sendSize_ = 0;
    for (size_t i = 0; i < isOwned.size(); ++i) {
        segments_.push_back(isOwned[i] ? std::string_view(ownedSegments_[nextOwned++])
                                       : external[i]);
        sendSize_ += segments_.back().size();
    }
    segment_ = 0;
    offset_ = 0;
    sentTotal_ = 0;
}

void HttpExchange::OnSendReady() {
    while (segment_ < segments_.size()) {
        size_t written = 0;
        short waitFor = 0;
        switch (Write(segments_[segment_].substr(offset_), written, waitFor)) {
            case Io::kProgress:
                break;
            case Io::kWait:
                return WaitIdle(tls_ || Classic() || state_ != State::kSend
                                    ? waitFor
                                    : static_cast<short>(waitFor | POLLIN));
            default:
                return OnSendFailed();
        }
        offset_ += written;
        sentTotal_ += written;
        if (offset_ == segments_[segment_].size()) {
            ++segment_;
            offset_ = 0;
        }
    }
    if (state_ == State::kProxyTunnel) {
        tunnelAsked_ = true;
    } else {
        StartReceiving();
    }
    OnReceiveReady();
}

void HttpExchange::StartReceiving() {
    if (state_ == State::kReceive) return;
    state_ = State::kReceive;
    answerDeadline_ = Clock::now() + options_.idleTimeout;
}

void HttpExchange::OnSendFailed() {
    // Once the handshake is done a broken TLS connection is a broken connection like any
    // other (a reset, a host that went away): callers may try it again, unlike a refused
    // certificate.
    if (tls_ || Classic() || state_ != State::kSend)
        return Fail(ExchangeError::kSendFailed, ioError_);
    // The peer stopped taking the request; what it said before that is the better reason.
    const lumar::Reason sendError = ioError_;
    StartReceiving();
    OnReceiveReady();
    if (state_ == State::kFailed && response_.Status() == 0) {
        error_ = ExchangeError::kSendFailed;
        reason_ = sendError;
    }
}

void HttpExchange::OnReceiveReady() {
    if (Classic() && state_ == State::kReceive) return OnClassicReadable();
    char buffer[kReadBufferBytes];
    // TLS may hold decrypted bytes the socket no longer signals, so read until it has to wait.
    while (!Finished()) {
        size_t received = 0;
        short waitFor = 0;
        switch (Read(buffer, sizeof buffer, received, waitFor)) {
            case Io::kProgress:
                if (state_ == State::kProxyTunnel) {
                    OnTunnelAnswer({buffer, received});
                    if (state_ != State::kProxyTunnel) return;
                } else {
                    FeedAnswer({buffer, received});
                }
                break;
            case Io::kWait:
                return WaitIdle(waitFor);
            case Io::kEof:
                return OnEndOfStream(false);
            case Io::kEofWithoutNotify:
                return OnEndOfStream(true);
            case Io::kFailed:
                return Fail(ExchangeError::kBadAnswer, ioError_);
        }
    }
}

void HttpExchange::FeedAnswer(std::string_view bytes) {
    const HttpResponseReader::State state = response_.Feed(bytes);
    if (state == HttpResponseReader::State::kDone) return Finish();
    if (state == HttpResponseReader::State::kFailed)
        Fail(ExchangeError::kBadAnswer, {ReasonCode::kBadAnswer, {response_.Error()}});
}

void HttpExchange::OnEndOfStream(bool withoutCloseNotify) {
    if (state_ == State::kProxyTunnel)
        return Fail(ExchangeError::kProxyRefused, ReasonCode::kProxyClosed);
    // Without close-notify, a body that runs until the close may have been cut by anyone on
    // the way.
    const bool closeDelimited = response_.GetState() == HttpResponseReader::State::kBody &&
                                !response_.Header("Content-Length") &&
                                !response_.Header("Transfer-Encoding");
    if (withoutCloseNotify && closeDelimited)
        return Fail(ExchangeError::kBadAnswer, ReasonCode::kAnswerCutOff);
    if (response_.Finish() == HttpResponseReader::State::kDone) return Finish();
    Fail(ExchangeError::kBadAnswer, {ReasonCode::kBadAnswer, {response_.Error()}});
}

// One read per readiness, as the answer of a classic row has always been read.
void HttpExchange::OnClassicReadable() {
    char buffer[kClassicReadBytes];
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return WaitIdle(POLLIN);
    // A read that fails ends the answer as the close does: what came is all there is. An
    // answer that reached the cap ends there as well.
    if (n <= 0 || !collected_.Append({buffer, static_cast<size_t>(n)})) return Finish();
    WaitIdle(POLLIN);
}

HttpExchange::Io HttpExchange::Write(std::string_view bytes, size_t& written, short& waitFor) {
    if (tls_) {
        const Io io = FromTls(tls_->Write(bytes, written), waitFor);
        // The peer ending the stream while the request is still going out is a failed send.
        if (io != Io::kEof && io != Io::kEofWithoutNotify) return io;
        ioError_ = {ReasonCode::kTlsFailed, {tls_->Error()}};
        return Io::kFailed;
    }
    const ssize_t n = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0) {
        written = static_cast<size_t>(n);
        return Io::kProgress;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        waitFor = POLLOUT;
        return Io::kWait;
    }
    ioError_ = {ReasonCode::kSendError, {ErrnoText(errno)}};
    return Io::kFailed;
}

HttpExchange::Io HttpExchange::Read(char* buffer, size_t size, size_t& received, short& waitFor) {
    // The tunnel's answer is read unencrypted even when TLS follows it.
    if (tls_ && state_ != State::kProxyTunnel) {
        return FromTls(tls_->Read({buffer, size}, received), waitFor);
    }
    const ssize_t n = ::recv(socket_, buffer, size, 0);
    if (n > 0) {
        received = static_cast<size_t>(n);
        return Io::kProgress;
    }
    if (n == 0) return Io::kEof;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        waitFor = POLLIN;
        return Io::kWait;
    }
    ioError_ = {ReasonCode::kReceiveError, {ErrnoText(errno)}};
    return Io::kFailed;
}

HttpExchange::Io HttpExchange::FromTls(TlsStatus status, short& waitFor) {
    switch (status) {
        case TlsStatus::kDone:
            return Io::kProgress;
        case TlsStatus::kWantRead:
            waitFor = POLLIN;
            return Io::kWait;
        case TlsStatus::kWantWrite:
            waitFor = POLLOUT;
            return Io::kWait;
        case TlsStatus::kClosed:
            return Io::kEof;
        case TlsStatus::kEofWithoutNotify:
            return Io::kEofWithoutNotify;
        case TlsStatus::kFailed:
            break;
    }
    ioError_ = {ReasonCode::kTlsFailed, {tls_->Error()}};
    return Io::kFailed;
}

void HttpExchange::WaitIdle(short events) {
    events_ = events;
    deadline_ = Clock::now() + options_.idleTimeout;
    // A host that trickles its answer a byte at a time moves on every step; the answer as a
    // whole still has to come within the time-out.
    if (state_ == State::kReceive) deadline_ = std::min(deadline_, answerDeadline_);
}

void HttpExchange::Fail(ExchangeError error, lumar::Reason reason) {
    CloseSocket();
    lookup_.reset();
    failedIn_ = state_;
    state_ = State::kFailed;
    error_ = error;
    reason_ = std::move(reason);
}

void HttpExchange::Finish() {
    if (tls_) tls_->Shutdown();
    CloseSocket();
    state_ = State::kDone;
}

void HttpExchange::CloseSocket() {
    tls_.reset();
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

}  // namespace lumar::net
