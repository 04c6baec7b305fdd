#pragma once
// What a host name or address in a row or URL may look like, judged without a lookup.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumar::net {

// True for names under the reserved top-level domain "invalid", which never resolve.
bool IsReservedInvalidName(std::string_view host);

// A dotted IPv4 address: four decimal numbers 0 to 255 and nothing else ("127.0.0.1 /x",
// "127.1" and "0x7f.0.0.1" are none); in network order, or nullopt.
std::optional<std::uint32_t> ParseDottedAddress(const std::string& host);

// Text a name lookup can be asked for: letters, digits, dots, hyphens and underscores, and not
// digits and dots alone (those must be a dotted address, which the lookup would read loosely).
bool IsHostName(std::string_view host);

}  // namespace lumar::net
