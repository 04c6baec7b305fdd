#pragma once
// Reads one HTTP/1.0 or HTTP/1.1 answer from the bytes a connection delivers, however the
// reads split them.
//
// Feed() takes the next bytes and returns the state: Head while the status line and headers
// are coming, Body while the body is, Done once the answer is complete (bytes fed after that
// are ignored), Failed with a readable Error() when the bytes are no valid answer or exceed a
// limit. Finish() is called when the peer closed the connection: a body that runs until the
// close is complete then, while an answer still missing part of its head, of its announced
// Content-Length or of its chunks fails with "answer cut off". Interim 1xx answers are
// skipped, at most kMaxInterimAnswers of them. The body is de-chunked; other transfer codings are
// refused (Lumar asks for none).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumar::net {

inline constexpr int kMaxInterimAnswers = 10;

struct HttpReaderLimits {
    size_t maxHeadBytes = 64u * 1024u;          // status line and headers, and again trailers
    size_t maxBodyBytes = 16u * 1024u * 1024u;  // as much as the classic transport keeps
};

class HttpResponseReader {
  public:
    enum class State { kHead, kBody, kDone, kFailed };

    // `answersHead`: the request was a HEAD, so the answer carries no body whatever it says.
    explicit HttpResponseReader(HttpReaderLimits limits = {}, bool answersHead = false)
        : limits_(limits), answersHead_(answersHead) {}

    State Feed(std::string_view bytes);
    State Finish();

    [[nodiscard]] State GetState() const;
    [[nodiscard]] const std::string& Error() const { return error_; }

    [[nodiscard]] int Status() const { return status_; }
    // "HTTP/1.1"
    [[nodiscard]] const std::string& Version() const { return version_; }
    [[nodiscard]] const std::string& Reason() const { return reason_; }
    // The value of a header, names compared without regard to case; several headers of the
    // same name are joined with ", " (Set-Cookie lines are best read with Headers()).
    [[nodiscard]] std::optional<std::string> Header(std::string_view name) const;
    [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& Headers() const {
        return headers_;
    }
    [[nodiscard]] const std::string& Body() const { return body_; }

  private:
    enum class Phase {
        kStatusLine,
        kHeaderLines,
        kLengthBody,
        kCloseBody,
        kChunkSize,
        kChunkData,
        kChunkDataEnd,
        kTrailers,
        kDone,
        kFailed,
    };
    // Returns how many bytes of `bytes` the current phase took (at least one).
    size_t Consume(std::string_view bytes);
    size_t TakeLine(std::string_view bytes, size_t limit, const char* tooLong);
    size_t TakeBody(std::string_view bytes, size_t wanted);
    void OnLine(std::string_view line);
    void OnStatusLine(std::string_view line);
    void OnHeaderLine(std::string_view line);
    void OnHeadComplete();
    void OnChunkSizeLine(std::string_view line);
    void Fail(std::string why);

    HttpReaderLimits limits_;
    bool answersHead_;
    Phase phase_ = Phase::kStatusLine;
    std::string error_;
    std::string line_;      // the line being collected
    size_t lineBytes_ = 0;  // head (or trailer) bytes so far, against the limit
    size_t remaining_ = 0;  // of the Content-Length or the current chunk
    bool receivedAny_ = false;
    int interimAnswers_ = 0;
    int status_ = 0;
    std::string version_;
    std::string reason_;
    std::vector<std::pair<std::string, std::string>> headers_;
    std::string body_;
};

}  // namespace lumar::net
