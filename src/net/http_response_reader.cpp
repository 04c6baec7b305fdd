#include "net/http_response_reader.h"

#include <algorithm>

#include "net/header_text.h"
#include "shell/plain_text.h"

namespace lumar::net {
namespace {

// A chunk-size line with its extensions; real servers send a few bytes.
constexpr size_t kMaxChunkLineBytes = 4096;
constexpr const char* kCutOff = "answer cut off";
constexpr const char* kBodyTooLarge = "answer too large";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

// Splits a comma-separated header value into its trimmed, non-empty members.
std::vector<std::string_view> ListMembers(std::string_view value) {
    std::vector<std::string_view> members;
    while (true) {
        const size_t comma = value.find(',');
        const std::string_view member = Trim(value.substr(0, comma));
        if (!member.empty()) members.push_back(member);
        if (comma == std::string_view::npos) return members;
        value.remove_prefix(comma + 1);
    }
}

std::optional<size_t> ParseDecimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 18 || !std::all_of(digits.begin(), digits.end(), IsDigit))
        return std::nullopt;
    size_t value = 0;
    for (char c : digits) value = value * 10 + static_cast<size_t>(c - '0');
    return value;
}

std::optional<size_t> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 15) return std::nullopt;
    size_t value = 0;
    for (char c : digits) {
        const char l = Lower(c);
        int digit = 0;
        if (IsDigit(l)) {
            digit = l - '0';
        } else if (l >= 'a' && l <= 'f') {
            digit = l - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<size_t>(digit);
    }
    return value;
}

}  // namespace

HttpResponseReader::State HttpResponseReader::GetState() const {
    switch (phase_) {
        case Phase::kStatusLine:
        case Phase::kHeaderLines:
            return State::kHead;
        case Phase::kDone:
            return State::kDone;
        case Phase::kFailed:
            return State::kFailed;
        default:
            return State::kBody;
    }
}

HttpResponseReader::State HttpResponseReader::Feed(std::string_view bytes) {
    receivedAny_ = receivedAny_ || !bytes.empty();
    while (!bytes.empty() && phase_ != Phase::kDone && phase_ != Phase::kFailed)
        bytes.remove_prefix(Consume(bytes));
    return GetState();
}

HttpResponseReader::State HttpResponseReader::Finish() {
    if (phase_ == Phase::kCloseBody) {
        phase_ = Phase::kDone;
    } else if (phase_ != Phase::kDone && phase_ != Phase::kFailed) {
        Fail(receivedAny_ ? kCutOff : "connection closed without an answer");
    }
    return GetState();
}

std::optional<std::string> HttpResponseReader::Header(std::string_view name) const {
    std::optional<std::string> value;
    for (const auto& [key, text] : headers_) {
        if (!EqualNoCase(key, name)) continue;
        value = value ? *value + ", " + text : text;
    }
    return value;
}

void HttpResponseReader::Fail(std::string why) {
    phase_ = Phase::kFailed;
    error_ = std::move(why);
}

size_t HttpResponseReader::Consume(std::string_view bytes) {
    switch (phase_) {
        case Phase::kStatusLine:
        case Phase::kHeaderLines:
            return TakeLine(bytes, limits_.maxHeadBytes, "answer header too large");
        case Phase::kTrailers:
            return TakeLine(bytes, limits_.maxHeadBytes, "answer trailer too large");
        case Phase::kChunkSize:
        case Phase::kChunkDataEnd:
            return TakeLine(bytes, kMaxChunkLineBytes, "bad chunk size");
        case Phase::kLengthBody:
        case Phase::kChunkData:
            return TakeBody(bytes, remaining_);
        case Phase::kCloseBody:
            return TakeBody(bytes, bytes.size());
        case Phase::kDone:
        case Phase::kFailed:
            break;
    }
    return bytes.size();
}

size_t HttpResponseReader::TakeLine(std::string_view bytes, size_t limit, const char* tooLong) {
    const size_t newline = bytes.find('\n');
    const size_t take = newline == std::string_view::npos ? bytes.size() : newline + 1;
    if (take > limit - lineBytes_) {
        Fail(tooLong);
        return bytes.size();
    }
    lineBytes_ += take;
    line_.append(bytes.substr(0, take));
    if (newline == std::string_view::npos) return take;
    std::string_view line(line_);
    line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    OnLine(line);
    line_.clear();
    return take;
}

size_t HttpResponseReader::TakeBody(std::string_view bytes, size_t wanted) {
    const size_t take = std::min(wanted, bytes.size());
    if (take > limits_.maxBodyBytes - body_.size()) {
        Fail(kBodyTooLarge);
        return bytes.size();
    }
    body_.append(bytes.substr(0, take));
    if (phase_ == Phase::kCloseBody) return take;
    remaining_ -= take;
    if (remaining_ == 0) {
        phase_ = phase_ == Phase::kLengthBody ? Phase::kDone : Phase::kChunkDataEnd;
        lineBytes_ = 0;
    }
    return take;
}

void HttpResponseReader::OnLine(std::string_view line) {
    switch (phase_) {
        case Phase::kStatusLine:
            // Stray blank lines before the status line are tolerated, as browsers do.
            if (!line.empty()) OnStatusLine(line);
            return;
        case Phase::kHeaderLines:
            OnHeaderLine(line);
            return;
        case Phase::kChunkSize:
            OnChunkSizeLine(line);
            return;
        case Phase::kChunkDataEnd:
            if (!line.empty()) return Fail("bad chunk end");
            phase_ = Phase::kChunkSize;
            lineBytes_ = 0;
            return;
        case Phase::kTrailers:
            // Trailer fields carry nothing Lumar reads; the empty line ends the answer.
            if (line.empty()) phase_ = Phase::kDone;
            return;
        default:
            return;
    }
}

void HttpResponseReader::OnStatusLine(std::string_view line) {
    // "HTTP/1.1 200 OK"; the reason may be missing, the version must be 1.x.
    const bool versionOk =
        line.size() >= 12 && line.substr(0, 7) == "HTTP/1." && IsDigit(line[7]) && line[8] == ' ';
    const std::string_view code = versionOk ? line.substr(9, 3) : std::string_view{};
    const bool codeOk = code.size() == 3 && code[0] >= '1' && code[0] <= '5' && IsDigit(code[1]) &&
                        IsDigit(code[2]) && (line.size() == 12 || line[12] == ' ');
    if (!versionOk || !codeOk) return Fail("no HTTP status line in the answer");
    version_ = std::string(line.substr(0, 8));
    status_ = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    reason_ = std::string(Trim(line.substr(12)));
    phase_ = Phase::kHeaderLines;
}

void HttpResponseReader::OnHeaderLine(std::string_view line) {
    if (line.empty()) return OnHeadComplete();
    if (line.front() == ' ' || line.front() == '\t') {
        // An obsolete folded line continues the previous value, joined by one blank.
        if (headers_.empty()) return Fail("bad header line in the answer");
        std::string& value = headers_.back().second;
        const std::string_view more = Trim(line);
        if (!more.empty()) value.append(value.empty() ? "" : " ").append(more);
        return;
    }
    const size_t colon = line.find(':');
    const std::string_view name = line.substr(0, colon);
    if (colon == std::string_view::npos || !IsHttpToken(name))
        return Fail("bad header line in the answer");
    headers_.emplace_back(std::string(name), std::string(Trim(line.substr(colon + 1))));
}

void HttpResponseReader::OnHeadComplete() {
    lineBytes_ = 0;
    if (status_ == 101) return Fail("the server switched protocols");
    if (status_ < 200) {
        // An interim answer (100 Continue, 103 Early Hints): the real one follows, unless a
        // host keeps the connection busy with nothing else.
        if (++interimAnswers_ > kMaxInterimAnswers) return Fail("too many interim answers");
        headers_.clear();
        phase_ = Phase::kStatusLine;
        return;
    }
    if (answersHead_ || status_ == 204 || status_ == 304) {
        phase_ = Phase::kDone;
        return;
    }
    if (const std::optional<std::string> codings = Header("Transfer-Encoding")) {
        std::vector<std::string_view> applied;
        for (std::string_view coding : ListMembers(*codings))
            if (!EqualNoCase(coding, "identity")) applied.push_back(coding);
        if (applied.size() == 1 && EqualNoCase(applied.front(), "chunked")) {
            phase_ = Phase::kChunkSize;
            return;
        }
        if (!applied.empty()) return Fail("unsupported transfer coding: " + *codings);
    }
    if (const std::optional<std::string> lengths = Header("Content-Length")) {
        // Repeated headers (or a list) are accepted only when they all say the same.
        const std::vector<std::string_view> members = ListMembers(*lengths);
        std::optional<size_t> length;
        for (std::string_view member : members) {
            const std::optional<size_t> value = ParseDecimal(member);
            if (!value || (length && *length != *value)) return Fail("bad Content-Length");
            length = value;
        }
        if (!length) return Fail("bad Content-Length");
        if (*length > limits_.maxBodyBytes) return Fail(kBodyTooLarge);
        remaining_ = *length;
        phase_ = remaining_ == 0 ? Phase::kDone : Phase::kLengthBody;
        return;
    }
    phase_ = Phase::kCloseBody;
}

void HttpResponseReader::OnChunkSizeLine(std::string_view line) {
    const std::optional<size_t> size = ParseHex(Trim(line.substr(0, line.find(';'))));
    if (!size) return Fail("bad chunk size");
    lineBytes_ = 0;
    if (*size == 0) {
        phase_ = Phase::kTrailers;
        return;
    }
    if (*size > limits_.maxBodyBytes - body_.size()) return Fail(kBodyTooLarge);
    remaining_ = *size;
    phase_ = Phase::kChunkData;
}

}  // namespace lumar::net
