// Any proxy text and no_proxy list from the environment is taken without harm: a proxy is
// either usable (a host and a port) or refused with a reason, never both; "*" exempts every
// host. Input: proxy TAB no_proxy TAB host.
#include "fuzz_check.h"
#include "net/proxy_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields = Fields(Text(data, size), '\t');
    fields.resize(3);
    const lumar::net::ProxyChoice choice = lumar::net::ParseProxy(fields[0]);
    Check(choice.proxy.has_value() != choice.error.has_value());
    if (choice.proxy) Check(!choice.proxy->host.empty() && choice.proxy->port != 0);
    lumar::net::MatchesNoProxy(fields[2], fields[1]);
    Check(lumar::net::MatchesNoProxy(fields[2], " * "));
    return 0;
}
