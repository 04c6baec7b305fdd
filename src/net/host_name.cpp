#include "net/host_name.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace lumar::net {

bool IsReservedInvalidName(std::string_view host) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    constexpr std::string_view kInvalid = "invalid";
    if (host.size() < kInvalid.size()) return false;
    const std::string_view last = host.substr(host.size() - kInvalid.size());
    if (host.size() > kInvalid.size() && host[host.size() - kInvalid.size() - 1] != '.')
        return false;
    for (size_t i = 0; i < kInvalid.size(); ++i)
        if ((last[i] | 0x20) != kInvalid[i]) return false;
    return true;
}

std::optional<std::uint32_t> ParseDottedAddress(const std::string& host) {
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return std::nullopt;
    return address.s_addr;
}

bool IsHostName(std::string_view host) {
    bool letters = false;
    for (char c : host) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
        if (!digit && !letter && c != '.') return false;
        letters = letters || letter;
    }
    return letters;
}

}  // namespace lumar::net
