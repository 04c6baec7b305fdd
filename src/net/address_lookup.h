#pragma once
// Where a connection can go: every address of a host name, IPv6 included, in the order the
// system's resolver gives them.
//
// getaddrinfo blocks for as long as the name server takes, so PendingLookup runs a lookup on a
// short-lived thread of its own and hands the answer back through a pipe: a poll loop waits for
// Fd() to become readable among its other sockets, then takes the addresses. The thread and the
// lookup share one state that the last of them to finish frees, so a lookup given up may still
// end later without touching anything of the caller.
#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumar::net {

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    [[nodiscard]] int Family() const { return storage.ss_family; }
    // "127.0.0.1:80", "[::1]:443"
    [[nodiscard]] std::string ToString() const;
};

// Blocking: every address of `host` with `port` filled in; empty when the name has none. It runs
// on the lookup thread and is copied there, so it must not refer to anything the caller may
// destroy meanwhile.
using NameLookup =
    std::function<std::vector<SocketAddress>(const std::string& host, std::uint16_t port)>;

std::vector<SocketAddress> LookUpWithSystem(const std::string& host, std::uint16_t port);

// An IPv4 or IPv6 address written as such (no brackets); nullopt for a name.
std::optional<SocketAddress> NumericAddress(const std::string& host, std::uint16_t port);

class PendingLookup {
  public:
    // An empty `lookup` means the system's.
    PendingLookup(const NameLookup& lookup, const std::string& host, std::uint16_t port);
    ~PendingLookup();
    PendingLookup(const PendingLookup&) = delete;
    PendingLookup& operator=(const PendingLookup&) = delete;

    // Readable once the answer is there; -1 when no pipe could be had (Take() is ready then).
    [[nodiscard]] int Fd() const;
    // The addresses once the lookup has ended, nullopt while it runs.
    std::optional<std::vector<SocketAddress>> Take();

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace lumar::net
