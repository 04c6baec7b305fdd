#pragma once
// One plain TCP connection per image over POSIX sockets. The socket is non-blocking from the
// start: connecting, sending and waiting for the answer all poll in slices (200 ms unless the
// caller asks for shorter ones) and call the front end's PumpEvents between the slices, so the
// window stays alive and a cancel takes effect within one slice. The answer is read on the calling
// thread, up to 8192 bytes per readiness, into a ResponseCollector.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "shell/event_pump.h"
#include "upload/response_collector.h"

namespace lumar {

// The failure value of GetHostAddress (all bits set).
inline constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;
// One read takes at most this many bytes.
inline constexpr size_t kReceiveBufferBytes = 8192;
// Longest single wait between two calls of the pump, unless a WaitControl asks for another.
inline constexpr std::chrono::milliseconds kWaitSlice{200};

// An IPv4 address in network order: a dotted address as it is, else the first address the
// name lookup gives; kAddressNone when neither works (so 255.255.255.255 never connects).
std::uint32_t GetHostAddress(const std::string& host);

// Turns a host name into an IPv4 address in network order, blocking as long as it takes;
// kAddressNone when the name has none. It runs on a lookup thread of its own and is copied
// there, so it must not refer to anything the caller may destroy while it runs.
using HostResolver = std::function<std::uint32_t(const std::string& host)>;

// Sets SO_LINGER to (on, seconds) and reads it back; 0, or -1 when either call fails.
int SetLinger(int socket, bool on, int seconds);

enum class SocketFailure {
    None,
    HostNotFound,   // no address for the host name
    ConnectFailed,  // refused, unreachable, bad port, no socket
    SendFailed,     // the peer reset or closed while the request was going out
    Timeout,        // the time-out passed
    Cancelled,      // the abort flag was set
};

// Limits of one blocking step: until `deadline`, or until `abortFlag` is set.
struct WaitControl {
    std::chrono::steady_clock::time_point deadline;
    PumpEvents pump;
    const std::atomic<bool>* abortFlag = nullptr;
    // The window passes a frame's length, so it answers input while the run waits.
    std::chrono::milliseconds slice = kWaitSlice;

    bool Aborted() const { return abortFlag && abortFlag->load(); }
};

// Opens /dev/null on each of the descriptors 0 to 2 that is closed, so a program started with
// standard input (or output) closed never hands such a number to a connection or a file that
// something else then takes for the standard stream. Called first thing in main.
void ReserveStandardDescriptors();

// Polls `fd` for `events` in slices, pumping after each. The revents seen, 0 when the
// deadline passed, -1 when the abort flag was set.
int WaitForReady(int fd, short events, const WaitControl& control);

// How a wait for the answer ended.
enum class WaitEnd {
    Closed,  // the server closed the connection (or it failed, or the answer hit the cap)
    Timeout,
    Cancelled,
};

// The connection of one image and the answer collected from it. Closing happens in the
// destructor at the latest, so nothing of one image's connection reaches the next.
class UploadConnection {
  public:
    UploadConnection() = default;
    ~UploadConnection();
    UploadConnection(const UploadConnection&) = delete;
    UploadConnection& operator=(const UploadConnection&) = delete;

    // 0 = no connection, -1 = the last connect failed, > 0 = open (a connection never gets
    // descriptor 0 once ReserveStandardDescriptors has run).
    int Socket() const { return fd_ >= 0 ? fd_ : connectFailed_ ? -1 : 0; }

    // The name lookup of later connects; empty (the default) = the system's.
    void SetResolver(HostResolver resolver) { resolver_ = std::move(resolver); }

    // ConnectTo: resolves without blocking the caller beyond one slice, connects without blocking
    // the caller beyond one slice, with SO_LINGER (1, 0) so a close resets at once. False (Socket()
    // -1) on failure.
    bool ConnectTo(const std::string& host, std::uint16_t port, const WaitControl& control,
                   SocketFailure* why = nullptr);

    // SendData: sends every byte, waiting for the socket to take more when it is full; the
    // time the control allows counts again from every step forward, so only a stall ends it. A
    // failed send closes the connection (Socket() 0), so the image fails at once. Returns the
    // number of bytes sent, or -1.
    long long SendData(std::string_view data, const WaitControl& control,
                       SocketFailure* why = nullptr);
    // The same for a request in pieces, sent in order as one stream.
    long long SendData(std::span<const std::string_view> pieces, const WaitControl& control,
                       SocketFailure* why = nullptr);

    // Waits until the server closes the connection, the deadline passes or the abort flag is
    // set, reading whatever arrives; the handler runs between the slices, the pump after
    // each. A wait that ends other than by the close gives the connection up (closes it).
    WaitEnd WaitForAnswer(const WaitControl& control);

    // The handler of one readiness: one read of up to 8192 bytes, appended to the answer.
    // End of stream, a read error or a full answer close the connection (Socket() 0).
    void OnReadable();

    void Close();

    const ResponseCollector& Response() const { return response_; }
    void ClearResponse() { response_.Clear(); }

  private:
    int fd_ = -1;  // -1 = none: 0 is a descriptor like any other
    bool connectFailed_ = false;
    ResponseCollector response_;
    HostResolver resolver_;
};

}  // namespace lumar
