#include "net/response_collector.h"

#include <algorithm>

namespace lumar::net {
namespace {

constexpr std::string_view kStatusStart = "HTTP/1.";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

// "HTTP/1.1 413 Request Entity Too Large": the three digits after the first blank.
int StatusOf(std::string_view statusLine, std::string& text) {
    const size_t blank = statusLine.find(' ');
    if (blank == std::string_view::npos || statusLine.size() < blank + 4) return 0;
    int status = 0;
    for (char c : statusLine.substr(blank + 1, 3)) {
        if (c < '0' || c > '9') return 0;
        status = status * 10 + (c - '0');
    }
    if (statusLine.size() > blank + 5) text = std::string(statusLine.substr(blank + 5));
    return status;
}

}  // namespace

bool ResponseCollector::Append(std::string_view piece) {
    if (Full()) return false;
    if (piece.size() > maxBytes_ - received_) piece = piece.substr(0, maxBytes_ - received_);
    received_ += piece.size();

    if (state_ == State::kBody) {
        body_.append(piece);
        return !Full();
    }
    pending_.append(piece);
    if (state_ == State::kStart) {
        const size_t n = std::min(pending_.size(), kStatusStart.size());
        if (pending_.compare(0, n, kStatusStart.substr(0, n)) != 0) {
            // No status line: the whole answer is body.
            body_ = std::move(pending_);
            pending_.clear();
            state_ = State::kBody;
            return !Full();
        }
        if (pending_.size() < kStatusStart.size()) return !Full();
        state_ = State::kHeader;
    }
    // Search only where a new end of header can be; the last three bytes of the previous
    // pending text may begin it.
    const size_t searchFrom =
        pending_.size() - piece.size() >= 3 ? pending_.size() - piece.size() - 3 : 0;
    const size_t end = pending_.find(kHeaderEnd, searchFrom);
    if (end != std::string::npos) {
        const std::string_view head(pending_);
        status_ = StatusOf(head.substr(0, head.find("\r\n")), statusText_);
        body_ = pending_.substr(end + kHeaderEnd.size());
        pending_.clear();
        pending_.shrink_to_fit();
        state_ = State::kBody;
    }
    return !Full();
}

const std::string& ResponseCollector::Answer() const {
    if (state_ == State::kBody) return body_;
    return pending_;
}

void ResponseCollector::Clear() {
    state_ = State::kStart;
    pending_.clear();
    body_.clear();
    status_ = 0;
    statusText_.clear();
    received_ = 0;
}

}  // namespace lumar::net
