#pragma once
// One HTTP(S) request and its answer as a state machine that a poll loop drives; it has no
// thread of its own (a name lookup runs on a short-lived one, see address_lookup.h).
//
//   Resolve -> Connect -> [ProxyTunnel] -> [Handshake] -> Send -> Receive -> Done | Failed
//
// Every address of the host is tried in order within the connect time-out, each getting an
// equal share of what is left of it, so one address that never answers does not use it all up.
// An https request through a proxy first asks it for a tunnel with CONNECT; a plain one goes to
// the proxy with the whole URL as its target. The answer is complete when the reader says so,
// or when the server closes a body that runs until the close; over TLS, a close without
// close-notify counts only when the answer's length was known and complete.
//
// The driver asks Fd(), Events() and Deadline(), waits (poll, a socket notifier) and calls
// Step() with what it saw, 0 when the deadline passed. Every step forward restarts the
// idle time-out, so a slow but moving upload is never cut off; the answer, from the request
// sent to its last byte, has to come within one time-out however it moves.
//
// A classic row's exchange (ExchangeMode::kHttp10UntilClose) runs the same machine with the
// request written by the caller: once connected it waits in Connected until SendWritten() hands
// it the whole HTTP/1.0 request, which goes out as it is; the answer is then read one read of
// up to 8192 bytes per step, its header dropped (ResponseCollector), until the server closes.
//
// Errors in this room: nothing throws. A step that can fail returns an Outcome (shell/outcome.h);
// a machine that fails ends in Failed with Error() saying what kind of failure and Reason()
// why, as a reason code with its arguments.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/address_lookup.h"
#include "net/http_response_reader.h"
#include "net/http_url.h"
#include "net/multipart_body.h"
#include "net/proxy_settings.h"
#include "net/response_collector.h"
#include "net/tls_stream.h"
#include "shell/outcome.h"

namespace lumar::net {

struct ExchangeRequest {
    std::string method = "GET";
    HttpUrl url;
    HeaderList headers;                 // sent after Lumar's own
    const RequestBody* body = nullptr;  // must outlive the exchange
    // A key travels somewhere in the request (a header, the query, the body): a redirect may
    // repeat it on its own host only (redirect.h).
    bool carriesKey = false;
};

enum class ExchangeMode {
    kHttp11,
    // HTTP/1.0 over a plain connection, the request written by the caller, the answer read
    // until the server closes it. A read that fails ends the answer as the close does, and what
    // came before a time-out or a cancel stays in Collected(). Each connection closes with a
    // reset (SO_LINGER 1, 0), so one given up on frees the host at once.
    kHttp10UntilClose,
};

// One read of a classic exchange takes at most this many bytes.
inline constexpr size_t kClassicReadBytes = 8192;

struct ExchangeOptions {
    ExchangeMode mode = ExchangeMode::kHttp11;
    std::string caFile;  // trusted in addition to the system's store
    std::optional<ProxyServer> proxy;
    // A proxy text that cannot be used: the exchange fails at once with it as its reason,
    // since going direct would bypass the proxy the user asked for.
    std::optional<lumar::Reason> proxyError;
    // Where the connection goes instead of the URL's host and port (empty, 0: the URL's);
    // the Host header and the TLS name stay the URL's. Through a proxy, the tunnel asked for
    // goes there; a plain request through a proxy names the URL as it is.
    std::string connectHost;
    std::uint16_t connectPort = 0;
    NameLookup lookup;  // empty: the system's
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(30)};
    std::chrono::milliseconds idleTimeout{std::chrono::seconds(120)};
    HttpReaderLimits limits;
};

enum class ExchangeError {
    kNone,
    kHostNotFound,
    kConnectFailed,
    kProxyRefused,
    kTls,  // the handshake failed (certificate, protocol); not worth another try
    kSendFailed,
    kTimeout,
    kBadAnswer,
    kBadRequest,  // the request itself cannot be sent (a header that would break it)
    kCancelled,
};

class HttpExchange {
  public:
    // Connected: a classic exchange's connection is up and waits for SendWritten().
    enum class State {
        kResolve,
        kConnect,
        kProxyTunnel,
        kHandshake,
        kConnected,
        kSend,
        kReceive,
        kDone,
        kFailed
    };

    HttpExchange(ExchangeRequest request, ExchangeOptions options);
    ~HttpExchange();
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    [[nodiscard]] State GetState() const { return state_; }
    [[nodiscard]] bool Finished() const {
        return state_ == State::kDone || state_ == State::kFailed;
    }

    // What to wait for: -1 and 0 when Finished().
    [[nodiscard]] int Fd() const;
    [[nodiscard]] short Events() const { return Finished() ? 0 : events_; }
    [[nodiscard]] std::chrono::steady_clock::time_point Deadline() const { return deadline_; }

    // Advances with the readiness seen on Fd(); 0 checks the deadline.
    void Step(short revents);
    void Cancel();
    // A classic exchange in Connected sends `pieces`, in order, as the whole request. They must
    // stay alive and unchanged until the state is past Send.
    void SendWritten(const std::vector<std::string_view>& pieces);

    [[nodiscard]] ExchangeError Error() const { return error_; }
    // Why it failed (a refused connection and the system's words, a certificate, an answer
    // cut off, a proxy's refusal, ...); a default Reason while it has not failed.
    [[nodiscard]] const lumar::Reason& Reason() const { return reason_; }
    [[nodiscard]] const ExchangeRequest& Request() const { return request_; }
    // Complete when Done.
    [[nodiscard]] const HttpResponseReader& Response() const { return response_; }
    // A classic exchange's answer without its header, as far as it came.
    [[nodiscard]] const ResponseCollector& Collected() const { return collected_; }
    // The state a failed exchange was in when it failed.
    [[nodiscard]] State FailedIn() const { return failedIn_; }
    // Of the request head and body, for progress.
    [[nodiscard]] size_t BytesSent() const { return sentTotal_; }
    [[nodiscard]] size_t BytesToSend() const { return sendSize_; }
    // Whether the TLS handshake resumed an earlier session with the server.
    [[nodiscard]] bool ResumedTls() const { return resumedTls_; }

  private:
    void StartResolve();
    void OnResolved();
    void ConnectNext();
    void OnConnectReady(short revents);
    void AfterConnect();
    void StartTunnel();
    void StartHandshake();
    void OnHandshake();
    bool BuildHead();
    void SendRequest();
    void QueueForSending(const std::vector<std::string_view>& pieces);
    void OnSendReady();
    void OnSendFailed();
    void StartReceiving();
    void OnReceiveReady();
    void OnTunnelAnswer(std::string_view bytes);
    void FeedAnswer(std::string_view bytes);
    void OnEndOfStream(bool withoutCloseNotify);
    void OnClassicReadable();
    [[nodiscard]] bool Classic() const { return options_.mode == ExchangeMode::kHttp10UntilClose; }

    // Plain or TLS transfer on the connection. Wait sets `waitFor`; Failed sets ioError_.
    enum class Io { kProgress, kWait, kEof, kEofWithoutNotify, kFailed };
    Io Write(std::string_view bytes, size_t& written, short& waitFor);
    Io Read(char* buffer, size_t size, size_t& received, short& waitFor);
    Io FromTls(TlsStatus status, short& waitFor);

    void WaitIdle(short events);
    void Fail(ExchangeError error, lumar::Reason reason);
    void Finish();
    void CloseSocket();

    ExchangeRequest request_;
    ExchangeOptions options_;
    State state_ = State::kResolve;
    State failedIn_ = State::kResolve;
    short events_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::steady_clock::time_point connectDeadline_;
    std::chrono::steady_clock::time_point answerDeadline_;
    ExchangeError error_ = ExchangeError::kNone;
    lumar::Reason reason_;

    std::string dialHost_;
    std::uint16_t dialPort_ = 0;
    std::unique_ptr<PendingLookup> lookup_;
    std::vector<SocketAddress> addresses_;
    size_t nextAddress_ = 0;
    std::optional<lumar::Reason> connectError_;
    lumar::Reason ioError_;
    int socket_ = -1;
    std::unique_ptr<TlsStream> tls_;

    std::string requestHead_;
    // What is sent, in order: owned text (the head, small parts joined) and the caller's bytes.
    std::vector<std::string> ownedSegments_;
    std::vector<std::string_view> segments_;
    size_t segment_ = 0;
    size_t offset_ = 0;
    size_t sentTotal_ = 0;
    size_t sendSize_ = 0;
    bool tunnelAsked_ = false;
    bool resumedTls_ = false;

    HttpResponseReader tunnelAnswer_;
    HttpResponseReader response_;
    ResponseCollector collected_;
};

}  // namespace lumar::net
