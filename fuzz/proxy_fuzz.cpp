// Any proxy text and no_proxy list from the environment is taken without harm: a proxy is
// either usable (a host and a port) or refused with a reason, never both; "*" exempts every
// host. Input: proxy TAB no_proxy TAB host.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "net/proxy_settings.h"

namespace {

std::string Field(const std::string& text, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index && start != std::string::npos; ++i) {
        start = text.find('\t', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) return {};
    return text.substr(start, text.find('\t', start) - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string host = Field(text, 2);
    const lumar::net::ProxyChoice choice = lumar::net::ParseProxy(Field(text, 0));
    Check(choice.proxy.has_value() != !choice.error.empty());
    if (choice.proxy) Check(!choice.proxy->host.empty() && choice.proxy->port != 0);
    lumar::net::MatchesNoProxy(host, Field(text, 1));
    Check(lumar::net::MatchesNoProxy(host, " * "));
    return 0;
}
