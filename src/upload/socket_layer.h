#pragma once
// The socket layer of a classic row: one plain connection per image, carried by net's HTTP/1.0
// exchange (net::ExchangeMode::kHttp10UntilClose), so a classic row gets the name lookup, the
// connect and the proxy a standard row gets: every address of the host, IPv6 included, tried in
// order, and the proxy of the run's settings when one applies. ConnectTo, SendData and
// WaitForAnswer each drive the exchange to the end of their step with net::PollTurn, which
// cancels within one slice once the abort flag is set; the upload run instead drives the
// exchange on its own loop between the Begin... and ...Ended halves of each step. The answer is
// read up to 8192 bytes per readiness into a ResponseCollector, its header dropped however the
// reads split it.
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "net/exchange_runner.h"
#include "net/http_exchange.h"
#include "net/response_collector.h"
#include "upload/transport_options.h"
#include "upload/url.h"

namespace lumar {

using net::ResponseCollector;

// Opens /dev/null on each of the descriptors 0 to 2 that is closed, so a program started with
// standard input (or output) closed never hands such a number to a connection or a file that
// something else then takes for the standard stream. Called first thing in main.
void ReserveStandardDescriptors();

enum class SocketFailure {
    kNone,
    kHostNotFound,   // no address for the host name
    kConnectFailed,  // refused, unreachable, bad port, no socket
    kSendFailed,     // the peer reset or closed while the request was going out
    kTimeout,        // the time-out passed
    kCancelled,      // the abort flag was set
    kProxy,          // the proxy text cannot be used; Why() says what is wrong with it
};

// How a wait for the answer ended.
enum class WaitEnd {
    kClosed,  // the server closed the connection (or it failed, or the answer hit the cap)
    kTimeout,
    kCancelled,
};

// Where a classic row's connection goes: to the proxy the transport options choose for the
// plain URL of the CURL's host and `port`, its whole URL then written in front of the path
// (CURL's Proxy, so the request line names it); else to the host or its redirection.
struct ClassicRoute {
    net::ProxyChoice proxy;
    std::string host;  // what ConnectTo is given
    std::uint16_t port = 0;
    // The host and port a failed connect names: the proxy's when there is one.
    std::string shownHost;
    std::uint16_t shownPort = 0;
};
ClassicRoute RouteClassic(const TransportOptions& transport, CURL& url, std::uint16_t port);

// The connection of one image and the answer collected from it. Closing happens in the
// destructor at the latest, so nothing of one image's connection reaches the next.
class UploadConnection {
  public:
    // 0 = no connection, -1 = the last connect failed, > 0 = open.
    [[nodiscard]] int Socket() const;

    // The name lookup of later connects; empty (the default) = the system's.
    void SetLookup(net::NameLookup lookup) { lookup_ = std::move(lookup); }
    // The proxy of later connects (none: direct). The request then has to name the whole URL.
    void SetProxy(net::ProxyChoice proxy) { proxy_ = std::move(proxy); }

    // ConnectTo: looks the name up and connects, within `timeout` for both; then waits for the
    // request. False (Socket() -1) on failure.
    bool ConnectTo(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                   const net::RunControl& control, SocketFailure* why = nullptr);

    // SendData: sends every byte, in order as one stream; the time-out counts again from every
    // step forward, so only a stall ends it. A failed send closes the connection (Socket() 0),
    // so the image fails at once. Returns the number of bytes sent, or -1.
    long long SendData(std::span<const std::string_view> pieces, const net::RunControl& control,
                       SocketFailure* why = nullptr);
    long long SendData(std::string_view data, const net::RunControl& control,
                       SocketFailure* why = nullptr);

    // Waits until the server closes the connection, the time-out passes (counted from the end
    // of the send) or the abort flag is set, reading whatever arrives. A wait that ends other
    // than by the close gives the connection up; what came until then stays in Response().
    WaitEnd WaitForAnswer(const net::RunControl& control);

    // The halves of the three steps, for a caller that drives Exchange() itself until it has
    // left the step's state (Handshake, Send, Receive) or is finished: what ConnectTo,
    // SendData and WaitForAnswer do before and after their waits.
    bool BeginConnect(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout, SocketFailure* why = nullptr);
    bool ConnectEnded(SocketFailure* why = nullptr);
    bool BeginSend(std::span<const std::string_view> pieces, SocketFailure* why = nullptr);
    long long SendEnded(SocketFailure* why = nullptr);
    [[nodiscard]] WaitEnd AnswerEnded() const;
    net::HttpExchange* Exchange() { return exchange_.get(); }

    // The transport's reason for the last failure (a proxy text that cannot be used, ...).
    [[nodiscard]] const Reason& Why() const { return why_; }
    [[nodiscard]] const ResponseCollector& Response() const;
    void Close();

  private:
    // Drives the exchange until it has left `state` (and every state before it).
    void DriveWhile(net::HttpExchange::State state, const net::RunControl& control);
    SocketFailure Failure();
    bool FailConnect(SocketFailure reason, SocketFailure* why);

    std::unique_ptr<net::HttpExchange> exchange_;
    bool connectFailed_ = false;
    net::NameLookup lookup_;
    net::ProxyChoice proxy_;
    Reason why_;
};

}  // namespace lumar
