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

    // The transport: a name lookup, a connection, TLS, a proxy, a redirect, the answer.
    kLookupTimedOut,   // %1 the host
    kNoSuchHost,       // %1 the host
    kNoSocket,         // %1 the address, %2 the system's words
    kCannotConnect,    // %1 the address, %2 the system's words
    kNoAnswerFrom,     // %1 the address
    kConnectTimedOut,  // %1 the host
    kProxyTimedOut,
    kTlsTimedOut,
    kSendTimedOut,
    kAnswerTimedOut,
    kTlsFailed,           // %1 the TLS library's words
    kSendError,           // %1 the system's words
    kReceiveError,        // %1 the system's words
    kProxyBadAnswer,      // %1 the reader's words
    kProxyRefusedTunnel,  // %1 the status and its words
    kProxyClosed,
    kBadProxy,           // %1 the proxy as it was given
    kProxyScheme,        // %1 the scheme Lumar cannot use for a proxy
    kAnswerCutOff,       // a TLS answer without close-notify that runs until the close
    kBadAnswer,          // %1 the reader's words
    kRedirectLoop,       // %1 the address
    kTooManyRedirects,   // %1 the most that are followed
    kRedirectDowngrade,  // %1 the http address
    kBadRedirect,        // %1 the Location, no http(s) address Lumar can use
    // An address that cannot be used; %1 the address.
    kUrlControl,
    kUrlNotHttp,
    kUrlCredentials,
    kUrlBadHost,
    kUrlBadPort,
    // A request that cannot be sent as the row describes it.
    kBadMethod,       // %1 the method
    kBadTarget,       // %1 the target
    kBadHostHeader,   // %1 the host
    kBadHeaderName,   // %1 the name
    kBadHeaderValue,  // %1 the header's name
    kOwnHeader,       // %1 the header's name
    kBadContentType,  // %1 the type
    kNoBoundary,
    // Preparing a picture.
    kNotAPicture,
    kOutOfMemory,
    kImageLibrary,  // %1 the library's words
    // A picture file whose structure could not be followed; %1 its type ("JPEG").
    kNotOfType,
    kPictureDamaged,
    kPictureCutShort,
    kNoImageData,
    // What a standard row's answer or settings gave instead of a code.
    kMissingKey,       // %1 the key's name
    kTooLargeForHost,  // %1 the file's kB, %2 the row's limit in kB
    kPictureTooLarge,  // %1 the file's MB, %2 the cap in MB
    kKeyRedirect,      // %1 the host not followed to
    kNotWebLink,       // %1 the field, %2 what it read
    kEmptyCode,
    kCodeTooLong,
    kNoUrlInAnswer,
    kAnswerTemplate,   // %1 the templates' own words
    kRequestTemplate,  // %1 the templates' own words
    // A picture the row does not take, left checked for another host.
    kSkippedJpegOnly,
    kSkippedType,  // %1 the picture's type
    // Bounds of what a picture or an answer may cost.
    kTooManySegments,  // %1 the most segments a JPEG file may have to be shrunk
    // The fallback row (Bilder/Ersatz, lumar-cli upload --fallback) a run cannot use.
    kFallbackUnknown,   // %1 the ID, which names no row
    kFallbackIsChosen,  // %1 the row's name: the chosen row cannot stand in for itself
    kFallbackClassic,   // %1 the row's name: a classic row cannot run beside the others
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
    [[nodiscard]] const std::string& Arg(std::size_t index) const {
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

    [[nodiscard]] bool Ok() const { return state_.index() == 0; }
    explicit operator bool() const { return Ok(); }

    // The value; only for an Ok() outcome.
    [[nodiscard]] const T& Value() const& {
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
    [[nodiscard]] const Reason& Why() const {
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

    [[nodiscard]] bool Ok() const { return !failed_; }
    explicit operator bool() const { return Ok(); }
    [[nodiscard]] const Reason& Why() const {
        assert(failed_);
        return reason_;
    }

  private:
    bool failed_ = false;
    Reason reason_;
};

using Status = Outcome<void>;

}  // namespace lumar
