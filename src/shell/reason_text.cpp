#include "shell/reason_text.h"

#include <string>

#include "shell/plain_text.h"

namespace lumar {
namespace {

// The STRINGS entry that words a code; 0 for a code whose first argument is its text.
int TextEntry(ReasonCode code) {
    switch (code) {
        case ReasonCode::kFileUnreadable:
            return kReasonFileUnreadable;
        case ReasonCode::kHostNotFound:
            return kReasonHostNotFound;
        case ReasonCode::kConnectFailed:
            return kReasonConnectFailed;
        case ReasonCode::kSendFailed:
            return kReasonSendFailed;
        case ReasonCode::kTimeout:
            return kReasonTimeout;
        case ReasonCode::kNoCode:
            return kReasonNoCode;
        case ReasonCode::kCancelled:
            return kReasonCancelled;
        case ReasonCode::kHistoryUnusable:
            return kReasonHistoryUnusable;
        case ReasonCode::kHistoryNewer:
            return kReasonHistoryNewer;
        case ReasonCode::kHistoryLocked:
            return kReasonHistoryLocked;
        case ReasonCode::kHistoryNotWritten:
            return kReasonHistoryNotWritten;
        case ReasonCode::kDeletionUnconfirmed:
            return kReasonDeletionUnconfirmed;
        case ReasonCode::kFileMissing:
        case ReasonCode::kHttpStatus:
        case ReasonCode::kOther:
            return 0;
    }
    return 0;
}

}  // namespace

std::string ReasonText(const Reason& reason, const UiStrings& strings) {
    const int entry = TextEntry(reason.code);
    if (entry == 0) return reason.Arg(0);
    std::string text = strings.Get(entry);
    // From the last argument down, so "%1" never eats the start of "%10".
    for (std::size_t i = reason.args.size(); i > 0; --i)
        text = ReplaceAll(text, "%" + std::to_string(i), reason.args[i - 1]);
    return text;
}

}  // namespace lumar
