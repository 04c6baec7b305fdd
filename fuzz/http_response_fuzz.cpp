// Arbitrary bytes read as an HTTP answer: the outcome never depends on how the reads split
// the bytes, a body is never longer than the bytes fed, and every failure names its reason.

#include "fuzz_check.h"
#include "net/http_response_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using lumar::net::HttpResponseReader;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const lumar::net::HttpReaderLimits limits{4096, 8192};

    HttpResponseReader whole(limits);
    whole.Feed(input);
    whole.Finish();

    // The same bytes in pieces whose sizes come from the bytes themselves.
    HttpResponseReader pieces(limits);
    for (size_t at = 0; at < size;) {
        const size_t length = std::min<size_t>(size - at, 1 + data[at] % 17);
        pieces.Feed(input.substr(at, length));
        at += length;
    }
    pieces.Finish();

    Check(whole.GetState() == pieces.GetState());
    Check(whole.Body() == pieces.Body());
    Check(whole.Error() == pieces.Error());
    Check(whole.Body().size() <= size && whole.Body().size() <= limits.maxBodyBytes);
    Check(whole.GetState() == HttpResponseReader::State::kDone ||
          whole.GetState() == HttpResponseReader::State::kFailed);
    Check((whole.GetState() == HttpResponseReader::State::kFailed) == !whole.Error().empty());
    return 0;
}
