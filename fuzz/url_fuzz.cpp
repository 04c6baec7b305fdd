// Any text parses without harm: the host is always the second argument, the path starts with
// "/" whenever it was set, and the port is 80.
#include "fuzz_check.h"
#include "upload/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [url, host] = Cut(Text(data, size), '\t');
    lumar::CURL u;
    u.ParseURL(url, host);
    Check(u.Port() == 80);
    Check(u.Path().empty() ? u.Host().empty() : u.Path()[0] == '/' && u.Host() == host);
    return 0;
}
