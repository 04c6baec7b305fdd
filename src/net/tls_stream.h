#pragma once
// A TLS client over a socket that is already connected and non-blocking, driven by the
// caller's poll loop (no thread, no blocking call).
//
// The stream takes the socket (it does not close it), the server's name as the URL gives it
// and an optional extra CA file in PEM. The name is sent as SNI (not for an IP address) and
// the certificate must be valid for it and chain to the system's trust store or that CA;
// TLS 1.2 is the least version accepted. Handshake(), Write() and Read() are called again
// and again: WantRead / WantWrite ask the caller to poll the socket for that readiness and
// call the same function again, Done means the step succeeded. Read() reports the peer's
// close-notify as Closed, an end of the connection without it as EofWithoutNotify ("unexpected
// eof"; acceptable once the answer's length is known to be complete), and every other
// problem as Failed with a readable Error() ("certificate has expired", "hostname mismatch",
// "self-signed certificate", "unsupported protocol", ...). Sessions are kept per CA file and
// server name, so the next connection to the same server can resume without a full handshake.
#include <cstddef>
#include <memory>
#include <span>
#include <string>

struct ssl_st;

namespace lumar::net {

enum class TlsStatus { kDone, kWantRead, kWantWrite, kClosed, kEofWithoutNotify, kFailed };

class TlsClientContext;

class TlsStream {
  public:
    TlsStream(int socket, std::string serverName, const std::string& caFile = {});
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    TlsStatus Handshake();
    // Done with `written` > 0 bytes taken from the front of `bytes`. After WantRead or
    // WantWrite, call again with the same bytes.
    TlsStatus Write(std::span<const char> bytes, size_t& written);
    // Done with `received` > 0 bytes at the front of `buffer`.
    TlsStatus Read(std::span<char> buffer, size_t& received);
    // Sends close-notify once, without waiting for the peer's. Call it when the answer is
    // complete: OpenSSL takes a connection dropped without it for an attack and stops the
    // session from being resumed.
    void Shutdown();

    [[nodiscard]] const std::string& Error() const { return error_; }
    // Whether the handshake resumed an earlier session.
    [[nodiscard]] bool Resumed() const;

  private:
    TlsStatus Map(int result, const char* step);

    std::shared_ptr<TlsClientContext> context_;
    ssl_st* ssl_ = nullptr;
    std::string serverName_;  // where the session callback finds it
    std::string error_;
};

}  // namespace lumar::net
