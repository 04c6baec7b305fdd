#include "upload/host_lookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace lumar {
namespace {

// What the caller and the lookup thread share. Whichever lets go last closes the pipe, so the
// thread's late write always goes to its own pipe, never to a descriptor number reused since.
struct LookupChannel {
    int readEnd = -1;
    int writeEnd = -1;

    LookupChannel() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            readEnd = ends[0];
            writeEnd = ends[1];
        }
    }
    ~LookupChannel() {
        if (readEnd >= 0) ::close(readEnd);
        if (writeEnd >= 0) ::close(writeEnd);
    }
    LookupChannel(const LookupChannel&) = delete;
    LookupChannel& operator=(const LookupChannel&) = delete;

    bool Open() const { return readEnd >= 0 && writeEnd >= 0; }
};

std::uint32_t ResolveGuarded(const HostResolver& resolver, const std::string& host) {
    try {
        return resolver ? resolver(host) : ResolveWithSystem(host);
    } catch (...) {
        // A lookup that throws has found nothing; the exception must not end the thread
        // (and with it the program).
        return kAddressNone;
    }
}

// The address travels through the pipe as its four bytes: one write below PIPE_BUF arrives
// whole or not at all, so no other shared field is needed.
void Report(const LookupChannel& channel, std::uint32_t address) {
    char bytes[sizeof address];
    std::memcpy(bytes, &address, sizeof address);
    while (::write(channel.writeEnd, bytes, sizeof bytes) < 0 && errno == EINTR) {
    }
}

std::uint32_t Fail(SocketFailure reason, SocketFailure* why) {
    if (why) *why = reason;
    return kAddressNone;
}

}  // namespace

std::uint32_t ResolveWithSystem(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return kAddressNone;
    std::uint32_t address = kAddressNone;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeaddrinfo(found);
    return address;
}

std::uint32_t LookUpHost(const std::string& host, const WaitControl& control,
                         const HostResolver& resolver, SocketFailure* why) {
    if (why) *why = SocketFailure::None;
    // All bits set (255.255.255.255) stays the failure value, as it always was.
    if (const std::optional<std::uint32_t> dotted = ParseDottedAddress(host);
        dotted && *dotted != kAddressNone)
        return *dotted;
    // Refused here rather than sent to a name server, whose time-out would only delay the failure.
    if (!IsHostName(host) || IsReservedInvalidName(host))
        return Fail(SocketFailure::HostNotFound, why);
    if (control.Aborted()) return Fail(SocketFailure::Cancelled, why);

    auto channel = std::make_shared<LookupChannel>();
    if (!channel->Open()) return Fail(SocketFailure::HostNotFound, why);
    try {
        std::thread([channel, resolver, host] {
            Report(*channel, ResolveGuarded(resolver, host));
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: looking the name up here is slower for the window but still right.
        const std::uint32_t address = ResolveGuarded(resolver, host);
        return address == kAddressNone ? Fail(SocketFailure::HostNotFound, why) : address;
    }

    const int revents = WaitForReady(channel->readEnd, POLLIN, control);
    if (revents < 0) return Fail(SocketFailure::Cancelled, why);
    if (revents == 0) return Fail(SocketFailure::Timeout, why);
    char bytes[sizeof(std::uint32_t)];
    ssize_t n;
    while ((n = ::read(channel->readEnd, bytes, sizeof bytes)) < 0 && errno == EINTR) {
    }
    if (n != static_cast<ssize_t>(sizeof bytes)) return Fail(SocketFailure::HostNotFound, why);
    std::uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address == kAddressNone ? Fail(SocketFailure::HostNotFound, why) : address;
}

}  // namespace lumar
