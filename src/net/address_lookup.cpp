#include "net/address_lookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace lumar::net {

std::string SocketAddress::ToString() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (Family() == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&storage);
        ::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(a->sin6_port));
    }
    const auto* a = reinterpret_cast<const sockaddr_in*>(&storage);
    ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a->sin_port));
}

std::optional<SocketAddress> NumericAddress(const std::string& host, std::uint16_t port) {
    SocketAddress out;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out.storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out.storage);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        out.length = sizeof(sockaddr_in);
        return out;
    }
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        out.length = sizeof(sockaddr_in6);
        return out;
    }
    return std::nullopt;
}

std::vector<SocketAddress> LookUpWithSystem(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) return {};
    std::vector<SocketAddress> out;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (!a->ai_addr || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        SocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        out.push_back(address);
    }
    ::freeaddrinfo(found);
    return out;
}

struct PendingLookup::Shared {
    int readEnd = -1;
    int writeEnd = -1;
    std::mutex mutex;
    std::optional<std::vector<SocketAddress>> result;

    ~Shared() {
        if (readEnd >= 0) ::close(readEnd);
        if (writeEnd >= 0) ::close(writeEnd);
    }

    void Deliver(std::vector<SocketAddress> addresses) {
        {
            const std::lock_guard lock(mutex);
            result = std::move(addresses);
        }
        if (writeEnd >= 0) {
            const char done = 1;
            while (::write(writeEnd, &done, 1) < 0 && errno == EINTR) {
            }
        }
    }
};

namespace {

std::vector<SocketAddress> RunGuarded(const NameLookup& lookup, const std::string& host,
                                      std::uint16_t port) {
    try {
        return lookup ? lookup(host, port) : LookUpWithSystem(host, port);
    } catch (...) {
        // A lookup that throws has found nothing; the exception must not end the thread (and
        // with it the program).
        return {};
    }
}

}  // namespace

PendingLookup::PendingLookup(const NameLookup& lookup, const std::string& host, std::uint16_t port)
    : shared_(std::make_shared<Shared>()) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        shared_->readEnd = ends[0];
        shared_->writeEnd = ends[1];
        try {
            std::thread([shared = shared_, lookup, host, port] {
                shared->Deliver(RunGuarded(lookup, host, port));
            }).detach();
            return;
        } catch (const std::system_error&) {
            // No thread to be had: looking the name up here is slower for the caller but
            // still right.
        }
    }
    shared_->Deliver(RunGuarded(lookup, host, port));
}

PendingLookup::~PendingLookup() = default;

int PendingLookup::Fd() const {
    return shared_->readEnd;
}

std::optional<std::vector<SocketAddress>> PendingLookup::Take() {
    const std::lock_guard lock(shared_->mutex);
    return std::move(shared_->result);
}

}  // namespace lumar::net
