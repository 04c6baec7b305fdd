// An answer split into arbitrary pieces gives the same collected text as the answer in one
// piece, the header goes exactly once, and the cap is never exceeded.

#include "fuzz_check.h"
#include "net/response_collector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte chooses the piece sizes, the second the cap; the rest is the answer.
    const unsigned seed = data[0];
    const size_t cap = 16 + static_cast<size_t>(data[1]) * 8;
    const std::string answer = Text(data + 2, size - 2);

    lumar::net::ResponseCollector whole(cap);
    whole.Append(answer);
    lumar::net::ResponseCollector pieces(cap);
    size_t at = 0;
    unsigned step = seed;
    while (at < answer.size()) {
        step = step * 1103515245u + 12345u;
        const size_t n = 1 + (step >> 16) % 9;
        pieces.Append(std::string_view(answer).substr(at, n));
        at += n;
    }
    Check(whole.Answer() == pieces.Answer());
    Check(pieces.Received() <= cap);
    Check(pieces.Answer().size() <= pieces.Received());

    const std::string expected = answer.substr(0, cap);
    const size_t headerEnd = expected.find("\r\n\r\n");
    if (expected.rfind("HTTP/1.", 0) == 0 && headerEnd != std::string::npos)
        Check(whole.Answer() == expected.substr(headerEnd + 4));
    else
        Check(whole.Answer() == expected);
    return 0;
}
