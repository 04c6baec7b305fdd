#include "shell/reason_text.h"

#include <string>
#include <vector>

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
        case ReasonCode::kMissingKey:
            return kReasonMissingKey;
        case ReasonCode::kTooLargeForHost:
            return kStrFileTooLarge;
        case ReasonCode::kPictureTooLarge:
            return kStrPictureTooLarge;
        case ReasonCode::kKeyRedirect:
            return kStrKeyRedirectRefused;
        case ReasonCode::kNotWebLink:
            return kReasonNotWebLink;
        case ReasonCode::kEmptyCode:
            return kReasonEmptyCode;
        case ReasonCode::kCodeTooLong:
            return kReasonCodeTooLong;
        case ReasonCode::kFallbackUnknown:
            return kStrFallbackUnknown;
        case ReasonCode::kFallbackIsChosen:
            return kStrFallbackIsChosen;
        case ReasonCode::kFallbackClassic:
            return kStrFallbackClassic;
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
            return 370;
        case ReasonCode::kHttpStatus:
            return 371;
        case ReasonCode::kLookupTimedOut:
            return 373;
        case ReasonCode::kNoSuchHost:
            return 374;
        case ReasonCode::kNoSocket:
            return 375;
        case ReasonCode::kCannotConnect:
            return 376;
        case ReasonCode::kNoAnswerFrom:
            return 377;
        case ReasonCode::kConnectTimedOut:
            return 378;
        case ReasonCode::kProxyTimedOut:
            return 379;
        case ReasonCode::kTlsTimedOut:
            return 380;
        case ReasonCode::kSendTimedOut:
            return 381;
        case ReasonCode::kAnswerTimedOut:
            return 382;
        case ReasonCode::kTlsFailed:
            return 383;
        case ReasonCode::kSendError:
            return 384;
        case ReasonCode::kReceiveError:
            return 385;
        case ReasonCode::kProxyBadAnswer:
            return 386;
        case ReasonCode::kProxyRefusedTunnel:
            return 387;
        case ReasonCode::kProxyClosed:
            return 388;
        case ReasonCode::kBadProxy:
            return 389;
        case ReasonCode::kProxyScheme:
            return 390;
        case ReasonCode::kAnswerCutOff:
            return 391;
        case ReasonCode::kBadAnswer:
            return 392;
        case ReasonCode::kRedirectLoop:
            return 393;
        case ReasonCode::kTooManyRedirects:
            return 394;
        case ReasonCode::kRedirectDowngrade:
            return 395;
        case ReasonCode::kBadRedirect:
            return 396;
        case ReasonCode::kUrlControl:
            return 397;
        case ReasonCode::kUrlNotHttp:
            return 398;
        case ReasonCode::kUrlCredentials:
            return 399;
        case ReasonCode::kUrlBadHost:
            return 400;
        case ReasonCode::kUrlBadPort:
            return 401;
        case ReasonCode::kBadMethod:
            return 402;
        case ReasonCode::kBadTarget:
            return 403;
        case ReasonCode::kBadHostHeader:
            return 404;
        case ReasonCode::kBadHeaderName:
            return 405;
        case ReasonCode::kBadHeaderValue:
            return 406;
        case ReasonCode::kOwnHeader:
            return 407;
        case ReasonCode::kBadContentType:
            return 408;
        case ReasonCode::kNoBoundary:
            return 409;
        case ReasonCode::kNotAPicture:
            return 410;
        case ReasonCode::kOutOfMemory:
            return 411;
        case ReasonCode::kImageLibrary:
            return 412;
        case ReasonCode::kNotOfType:
            return 413;
        case ReasonCode::kPictureDamaged:
            return 414;
        case ReasonCode::kPictureCutShort:
            return 415;
        case ReasonCode::kNoImageData:
            return 416;
        case ReasonCode::kNoUrlInAnswer:
            return 417;
        case ReasonCode::kAnswerTemplate:
            return 418;
        case ReasonCode::kRequestTemplate:
            return 419;
        case ReasonCode::kSkippedJpegOnly:
            return kStrSkippedJpegOnly;
        case ReasonCode::kSkippedType:
            return kStrSkippedType;
        case ReasonCode::kTooManySegments:
            return kReasonTooManySegments;
        case ReasonCode::kOther:
            return 0;
    }
    return 0;
}

// `text` with each "%N" replaced by the Nth argument in one pass, so an argument's own "%1"
// (a host's message, a file name) stays as it is. N is the longest run of digits naming an
// argument: with one argument "%10" is that argument and a "0".
std::string WithArguments(const std::string& text, const std::vector<std::string>& args) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t number = 0;
        std::size_t end = i + 1;
        while (text[i] == '%' && end < text.size() && text[end] >= '0' && text[end] <= '9') {
            const std::size_t longer = number * 10 + static_cast<std::size_t>(text[end] - '0');
            if (longer > args.size()) break;
            number = longer;
            ++end;
        }
        if (number == 0) {
            out += text[i];
            continue;
        }
        out += args[number - 1];
        i = end - 1;
    }
    return out;
}

// The status's text with the host's own words after it, when it gave any.
constexpr int kHttpStatusWithWords = 372;

}  // namespace

std::string ReasonText(const Reason& reason, const UiStrings& strings) {
    int entry = TextEntry(reason.code);
    if (entry == 0) return reason.Arg(0);
    if (reason.code == ReasonCode::kHttpStatus && !reason.Arg(1).empty())
        entry = kHttpStatusWithWords;
    const std::string& text = strings.Get(entry);
    // The missing key's text ends where its name follows.
    if (reason.code == ReasonCode::kMissingKey) return text + " " + reason.Arg(0);
    return WithArguments(text, reason.args);
}

}  // namespace lumar
