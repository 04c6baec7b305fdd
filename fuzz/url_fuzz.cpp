// Any text parses without harm: the host is always the second argument, the path starts with
// "/" whenever it was set, and the port is 80.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "upload/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find('\t');
    const std::string url = text.substr(0, split);
    const std::string host = split == std::string::npos ? "h" : text.substr(split + 1);
    lumar::CURL u;
    u.ParseURL(url, host);
    if (u.Path().empty()) {
        Check(u.Host().empty() && u.Port() == 80);
    } else {
        Check(u.Path()[0] == '/');
        Check(u.Host() == host);
        Check(u.Port() == 80);
    }
    return 0;
}
