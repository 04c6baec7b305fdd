#include "upload/upload_wait.h"

#include <algorithm>

#include "shell/plain_text.h"

namespace lumar {

std::string WaitText(const UploadWait& wait, const UiStrings& strings,
                     std::chrono::steady_clock::time_point now) {
    using std::chrono::seconds;
    switch (wait.kind) {
        case UploadWait::Kind::kNone:
            break;
        case UploadWait::Kind::kAnswer: {
            const auto waited = std::max(std::chrono::floor<seconds>(now - wait.at), seconds(0));
            std::string text = strings.Get(kStrWaitingFor);
            if (!text.empty() && text.back() != ' ') text += ' ';
            return text + wait.host + " … " + std::to_string(waited.count()) + " s";
        }
        case UploadWait::Kind::kRetry: {
            const auto left = std::max(std::chrono::ceil<seconds>(wait.at - now), seconds(0));
            return ReplaceAll(
                ReplaceAll(strings.Get(kStrRetryIn), "%1", std::to_string(wait.attempt)), "%2",
                std::to_string(left.count()));
        }
    }
    return {};
}

}  // namespace lumar
