#pragma once
// Collects a hoster's answer from the pieces the socket delivers: the HTTP response header
// is removed once from the start of the answer, however the reads split it, and everything
// after it is kept as it arrives. A later piece that happens to begin with "HTTP/1." is body.
#include <cstddef>
#include <string>
#include <string_view>

namespace lumar::net {

// Answers beyond this size are cut here and treated as ended.
inline constexpr size_t kMaxAnswerBytes = 16u * 1024u * 1024u;

class ResponseCollector {
  public:
    explicit ResponseCollector(size_t maxBytes = kMaxAnswerBytes) : maxBytes_(maxBytes) {}

    // Appends one piece. Returns false once the answer reached the cap: the caller stops
    // reading and treats the answer as ended (the rest of the piece is dropped).
    bool Append(std::string_view piece);

    // The answer so far without its header. A header still waiting for its empty line when
    // the answer ends is kept as it is (there is no body to tell it from).
    [[nodiscard]] const std::string& Answer() const;

    // The status of the answer's header and its reason phrase ("413", "Request Entity Too
    // Large"); 0 and "" while no complete header came.
    [[nodiscard]] int Status() const { return status_; }
    [[nodiscard]] const std::string& StatusText() const { return statusText_; }

    // Bytes taken so far (header included).
    [[nodiscard]] size_t Received() const { return received_; }
    [[nodiscard]] bool Full() const { return received_ >= maxBytes_; }
    void Clear();

  private:
    enum class State { kStart, kHeader, kBody };
    State state_ = State::kStart;
    std::string pending_;  // the answer's beginning while the header is not yet complete
    std::string body_;
    int status_ = 0;
    std::string statusText_;
    size_t received_ = 0;
    size_t maxBytes_;
};

}  // namespace lumar::net
