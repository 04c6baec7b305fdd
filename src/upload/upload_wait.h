#pragma once
// What an upload is waiting for while nothing seems to move: the host's answer to a request
// that went out, or the pause before another try. The run reports it when it changes; the
// front end counts the seconds itself, so a host that hangs for the whole time-out still shows
// the time going by.
#include <chrono>
#include <string>

#include "shell/language_table.h"

namespace lumar {

struct UploadWait {
    enum class Kind { kNone, kAnswer, kRetry };
    Kind kind = Kind::kNone;
    std::string host;
    // Answer: when the request had gone out; Retry: when the next try starts.
    std::chrono::steady_clock::time_point at;
    int attempt = 0;  // Retry: the number of the try to come (2 for the first retry)

    bool operator==(const UploadWait&) const = default;
};

// "Warte auf Antwort von HOST … 12 s" (the seconds since the request went out) or
// "2. Versuch in 4 s" (rounded up, never below 0); "" for no wait.
std::string WaitText(const UploadWait& wait, const UiStrings& strings,
                     std::chrono::steady_clock::time_point now);

}  // namespace lumar
