#pragma once
// Name lookup that never holds up the caller. getaddrinfo blocks for as long as the name
// server takes (seconds, when it does not answer), so it runs on a short-lived thread of its
// own that hands the address back through a pipe; the caller polls the pipe in slices like any
// other socket wait, pumping events between them, and stops at once on time-out or cancel.
// The thread and the pipe share one state that the last of them to finish frees, so a lookup
// given up may still end later without touching anything of the caller.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/host_name.h"
#include "upload/socket_layer.h"

namespace lumar {

using net::IsHostName;
using net::IsReservedInvalidName;
using net::ParseDottedAddress;

// The system's lookup: the first IPv4 address getaddrinfo gives.
std::uint32_t ResolveWithSystem(const std::string& host);

// The address of `host` within `control`: a dotted address as it is and a name of the reserved
// domain "invalid" (or an empty one) refused, both without a lookup; any other name through
// `resolver` (the system's when empty) on the lookup thread. kAddressNone on failure, with
// `why` HostNotFound, Timeout or Cancelled.
std::uint32_t LookUpHost(const std::string& host, const WaitControl& control,
                         const HostResolver& resolver, SocketFailure* why = nullptr);

}  // namespace lumar
