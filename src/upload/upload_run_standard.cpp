// The upload of one image to a standard row, as a step of the run.
#include "shell/plain_text.h"
#include "upload/standard_upload.h"
#include "upload/upload_run.h"

namespace lumar {
namespace {

// The file's size rounded up and the limit rounded down, so the one shown is always the larger.
std::string KiloBytesUp(std::uint64_t bytes) {
    return std::to_string((bytes + 1023) / 1024);
}

}  // namespace

bool UploadRun::UploadStandardImage(std::span<ImageEntry> rows, int position,
                                    const UploadRunOptions& options) {
    const HosterDef& hoster = hosters_.Row(hosterIndex_);
    const std::string path = rows[static_cast<size_t>(position - 1)].FullPath();
    observer_.StatusLine(strings_.Get(kStrSendingRequest));
    Pump(options.pump);

    StandardUploadOptions upload;
    upload.transport = options.transport;
    upload.timeout = std::chrono::seconds(TimeoutSeconds(options));
    upload.control = {options.pump, &abortFlag_, options.pumpSlice};
    const StandardUploadResult result = UploadStandard(hoster, path, upload);

    std::string reason;
    switch (result.failure) {
        case StandardFailure::None:
            Log(strings_.Get(kStrUploadOf) + " " + path + "...", false);
            Succeeded(rows, position, result.code, static_cast<double>(result.fileBytes), options);
            return true;
        case StandardFailure::FileUnreadable:
            reason = strings_.Get(kReasonFileUnreadable);
            break;
        case StandardFailure::TooLarge:
            reason = ReplaceAll(
                ReplaceAll(strings_.Get(kStrFileTooLarge), "%1", KiloBytesUp(result.fileBytes)),
                "%2", std::to_string(hoster.MaxBytes / 1024));
            break;
        case StandardFailure::MissingKey:
            reason = strings_.Get(kReasonMissingKey) + " " + result.reason;
            break;
        case StandardFailure::Cancelled:
            reason = strings_.Get(kReasonCancelled);
            break;
        case StandardFailure::Answer:
            reason = !result.reason.empty()              ? result.reason
                     : result.cut == CutProblem::Empty   ? strings_.Get(kReasonEmptyCode)
                     : result.cut == CutProblem::TooLong ? strings_.Get(kReasonCodeTooLong)
                                                         : strings_.Get(kReasonNoCode);
            break;
        case StandardFailure::BadRequest:
        case StandardFailure::Exchange:
            reason = result.reason;
            break;
    }
    Log(strings_.Get(kStrUploadOf) + " " + path + "..." + Failed(reason), true);
    return false;
}

}  // namespace lumar
