#pragma once
// The one result type of the core: a value, or the reason there is none.
//
// A reason is a code with its arguments (a host, a port, a status, a file, a system text),
// never a sentence: it travels between rooms as data and becomes words only where it is shown
// (ReasonText in shell/reason_text.h), in the interface's language.
#include <cassert>
#include <initializer_list>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace lumar {

// Why something failed. Each code has one text (shell/reason_text.cpp) whose "%1", "%2", ...
// take the arguments in order; a code's comment names them.
enum class ReasonCode : int {
    kFileUnreadable,  // %1 the file
    kFileMissing,     // %1 the file
    kHostNotFound,    // %1 the host
    kConnectFailed,   // %1 the host, %2 the port, %3 the system's words
    kSendFailed,      // %1 the host, %2 the system's words
    kTimeout,         // %1 the host
    kNoCode,          // %1 what the answer gave instead, may be empty
    kCancelled,
    kHttpStatus,  // %1 the status, %2 the host's own words, may be empty
    kOther,       // %1 words already written (for texts not yet given a code)
    // The upload history.
    kHistoryUnusable,      // %1 the file, %2 the system's words
    kHistoryNewer,         // %1 the file, %2 the layout it is in
    kHistoryLocked,        // %1 the file
    kHistoryNotWritten,    // %1 the system's words
    kDeletionUnconfirmed,  // the answer to the deletion address does not say it was deleted
};

struct Reason {
    ReasonCode code = ReasonCode::kOther;
    std::vector<std::string> args;

    Reason() = default;
    Reason(ReasonCode reasonCode, std::initializer_list<std::string> arguments = {})
        : code(reasonCode), args(arguments) {}

    // The argument at `index`, "" when the reason has fewer.
    const std::string& Arg(std::size_t index) const {
        static const std::string none;
        return index < args.size() ? args[index] : none;
    }
    bool operator==(const Reason&) const = default;
};

// A value of type T, or a Reason. Outcome<void> carries only the reason of a failure.
template <class T>
class [[nodiscard]] Outcome {
  public:
    Outcome(T value) : state_(std::move(value)) {}         // NOLINT(google-explicit-constructor)
    Outcome(Reason reason) : state_(std::move(reason)) {}  // NOLINT(google-explicit-constructor)

    bool Ok() const { return state_.index() == 0; }
    explicit operator bool() const { return Ok(); }

    // The value; only for an Ok() outcome.
    const T& Value() const& {
        assert(Ok());
        return std::get<0>(state_);
    }
    T& Value() & {
        assert(Ok());
        return std::get<0>(state_);
    }
    T&& Value() && {
        assert(Ok());
        return std::get<0>(std::move(state_));
    }
    const T* operator->() const { return &Value(); }
    T* operator->() { return &Value(); }

    // The reason; only for a failed outcome.
    const Reason& Why() const {
        assert(!Ok());
        return std::get<1>(state_);
    }

  private:
    std::variant<T, Reason> state_;
};

template <>
class [[nodiscard]] Outcome<void> {
  public:
    Outcome() = default;
    Outcome(Reason reason) : failed_(true), reason_(std::move(reason)) {}  // NOLINT

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return Ok(); }
    const Reason& Why() const {
        assert(failed_);
        return reason_;
    }

  private:
    bool failed_ = false;
    Reason reason_;
};

using Status = Outcome<void>;

}  // namespace lumar
