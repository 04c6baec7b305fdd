#include "upload/socket_layer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "upload/host_lookup.h"

namespace lumar {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds of the next slice: at most one slice, never past the deadline.
int SliceMs(const WaitControl& control) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(control.deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>(
        std::min(left, std::max(control.slice, std::chrono::milliseconds(1))).count());
}

void CloseFd(int fd) {
    if (fd >= 0) ::close(fd);
}

constexpr size_t kMaxVectors = 64;

// Where a send stands in its pieces: the first byte not yet taken by the socket.
class SendCursor {
  public:
    bool AtEnd(std::span<const std::string_view> pieces) {
        while (piece_ < pieces.size() && offset_ == pieces[piece_].size()) {
            ++piece_;
            offset_ = 0;
        }
        return piece_ == pieces.size();
    }

    // Points the vectors at the bytes still to send, up to kMaxVectors pieces; returns how many.
    size_t Fill(std::span<const std::string_view> pieces, iovec (&vectors)[kMaxVectors]) const {
        size_t count = 0;
        for (size_t i = piece_; i < pieces.size() && count < kMaxVectors; ++i) {
            const size_t skip = i == piece_ ? offset_ : 0;
            if (pieces[i].size() == skip) continue;
            vectors[count].iov_base = const_cast<char*>(pieces[i].data() + skip);
            vectors[count].iov_len = pieces[i].size() - skip;
            ++count;
        }
        return count;
    }

    void Advance(std::span<const std::string_view> pieces, size_t taken) {
        while (taken > 0) {
            const size_t step = std::min(taken, pieces[piece_].size() - offset_);
            offset_ += step;
            taken -= step;
            if (offset_ == pieces[piece_].size() && taken > 0) {
                ++piece_;
                offset_ = 0;
            }
        }
    }

  private:
    size_t piece_ = 0;   // first piece not yet sent completely
    size_t offset_ = 0;  // bytes of it already sent
};

}  // namespace

int WaitForReady(int fd, short events, const WaitControl& control) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, SliceMs(control));
        if (n < 0 && errno != EINTR) return POLLERR;
        // Pump after every turn, ready or not: a long send to a slow peer is ready again and
        // again within a slice and must not starve the window.
        Pump(control.pump);
        if (control.Aborted()) return -1;
        if (n > 0) return p.revents;
        if (Clock::now() >= control.deadline) return 0;
    }
}

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

std::uint32_t GetHostAddress(const std::string& host) {
    if (const std::optional<std::uint32_t> dotted = ParseDottedAddress(host)) return *dotted;
    if (!IsHostName(host) || IsReservedInvalidName(host)) return kAddressNone;
    return ResolveWithSystem(host);
}

int SetLinger(int socket, bool on, int seconds) {
    linger value{on ? 1 : 0, seconds};
    if (::setsockopt(socket, SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0) return -1;
    linger back{};
    socklen_t size = sizeof back;
    if (::getsockopt(socket, SOL_SOCKET, SO_LINGER, &back, &size) != 0) return -1;
    return 0;
}

UploadConnection::~UploadConnection() {
    Close();
}

void UploadConnection::Close() {
    CloseFd(fd_);
    fd_ = -1;
    connectFailed_ = false;
}

bool UploadConnection::ConnectTo(const std::string& host, std::uint16_t port,
                                 const WaitControl& control, SocketFailure* why) {
    Close();
    auto fail = [&](SocketFailure reason, int fd) {
        CloseFd(fd);
        connectFailed_ = true;
        if (why) *why = reason;
        return false;
    };
    if (port == 0 || port == 0xFFFF) return fail(SocketFailure::ConnectFailed, -1);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    SocketFailure lookup = SocketFailure::None;
    address.sin_addr.s_addr = LookUpHost(host, control, resolver_, &lookup);
    if (address.sin_addr.s_addr == kAddressNone)
        return fail(lookup == SocketFailure::None ? SocketFailure::HostNotFound : lookup, -1);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return fail(SocketFailure::ConnectFailed, -1);
    if (SetLinger(fd, true, 0) != 0) return fail(SocketFailure::ConnectFailed, fd);

    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return fail(SocketFailure::ConnectFailed, fd);
        const int revents = WaitForReady(fd, POLLOUT, control);
        if (revents < 0) return fail(SocketFailure::Cancelled, fd);
        if (revents == 0) return fail(SocketFailure::Timeout, fd);
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return fail(SocketFailure::ConnectFailed, fd);
    }
    fd_ = fd;
    if (why) *why = SocketFailure::None;
    return true;
}

long long UploadConnection::SendData(std::string_view data, const WaitControl& control,
                                     SocketFailure* why) {
    const std::string_view pieces[] = {data};
    return SendData(std::span<const std::string_view>(pieces), control, why);
}

long long UploadConnection::SendData(std::span<const std::string_view> pieces,
                                     const WaitControl& control, SocketFailure* why) {
    auto fail = [&](SocketFailure reason) -> long long {
        Close();
        if (why) *why = reason;
        return -1;
    };
    if (fd_ < 0) return fail(SocketFailure::SendFailed);
    // The time-out bounds a stall, not the whole send: a large image over a slow line goes on
    // as long as the host keeps taking bytes, so every step forward grants the time anew.
    const auto allowance = control.deadline - Clock::now();
    WaitControl waiting = control;
    SendCursor cursor;
    long long sent = 0;
    // A peer that takes everything at once (the loopback) never makes the socket wait, so the
    // window gets its turn by the clock as well.
    auto lastPump = Clock::now();
    while (!cursor.AtEnd(pieces)) {
        if (Clock::now() - lastPump >= control.slice) {
            Pump(control.pump);
            lastPump = Clock::now();
            if (control.Aborted()) return fail(SocketFailure::Cancelled);
        }
        iovec vectors[kMaxVectors];
        msghdr message{};
        message.msg_iov = vectors;
        message.msg_iovlen = cursor.Fill(pieces, vectors);
        const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            waiting.deadline = Clock::now() + allowance;
            cursor.Advance(pieces, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int revents = WaitForReady(fd_, POLLOUT, waiting);
            if (revents < 0) return fail(SocketFailure::Cancelled);
            if (revents == 0) return fail(SocketFailure::Timeout);
            if (revents & (POLLERR | POLLNVAL)) return fail(SocketFailure::SendFailed);
            continue;
        }
        return fail(SocketFailure::SendFailed);
    }
    if (why) *why = SocketFailure::None;
    return sent;
}

void UploadConnection::OnReadable() {
    if (fd_ < 0) return;
    char buffer[kReceiveBufferBytes];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 1) {
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        Close();
        return;
    }
    if (!response_.Append(std::string_view(buffer, static_cast<size_t>(n)))) Close();
}

WaitEnd UploadConnection::WaitForAnswer(const WaitControl& control) {
    // Reads per slice are bounded so the pump still runs while a fast peer keeps sending.
    constexpr int kReadsPerSlice = 256;
    for (;;) {
        if (fd_ < 0) return WaitEnd::Closed;
        if (Clock::now() >= control.deadline) {
            Close();
            return WaitEnd::Timeout;
        }
        pollfd p{fd_, POLLIN, 0};
        int n = ::poll(&p, 1, SliceMs(control));
        for (int reads = 0; n > 0 && fd_ >= 0 && reads < kReadsPerSlice; ++reads) {
            OnReadable();
            if (fd_ < 0) break;
            p = {fd_, POLLIN, 0};
            n = ::poll(&p, 1, 0);
        }
        if (fd_ < 0) return WaitEnd::Closed;
        Pump(control.pump);
        if (control.Aborted()) {
            Close();
            return WaitEnd::Cancelled;
        }
    }
}

}  // namespace lumar
