// The images of a standard row as steps of the run: several in flight on one poll loop, each
// ending with one whole line in the log whatever order the answers come in.
#include <algorithm>
#include <optional>
#include <thread>

#include "shell/file_io.h"
#include "shell/plain_text.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "upload/standard_upload.h"
#include "upload/upload_run.h"

namespace lumar {
namespace {

// The file's size rounded up and the limit rounded down, so the one shown is always the larger.
std::string KiloBytesUp(std::uint64_t bytes) {
    return std::to_string((bytes + 1023) / 1024);
}

std::string ReasonOf(const StandardUploadResult& result, const HosterDef& hoster,
                     const UiStrings& strings) {
    switch (result.failure) {
        case StandardFailure::None:
            break;
        case StandardFailure::FileUnreadable:
            return strings.Get(kReasonFileUnreadable);
        case StandardFailure::TooLarge:
            return ReplaceAll(
                ReplaceAll(strings.Get(kStrFileTooLarge), "%1", KiloBytesUp(result.fileBytes)),
                "%2", std::to_string(hoster.MaxBytes / 1024));
        case StandardFailure::MissingKey:
            return strings.Get(kReasonMissingKey) + " " + result.reason;
        case StandardFailure::Cancelled:
            return strings.Get(kReasonCancelled);
        case StandardFailure::Answer:
            if (const std::optional<RefusedLink>& refused = result.links.refused)
                return ReplaceAll(ReplaceAll(strings.Get(kReasonNotWebLink), "%1", refused->field),
                                  "%2", refused->link);
            return !result.reason.empty()              ? result.reason
                   : result.cut == CutProblem::Empty   ? strings.Get(kReasonEmptyCode)
                   : result.cut == CutProblem::TooLong ? strings.Get(kReasonCodeTooLong)
                                                       : strings.Get(kReasonNoCode);
        case StandardFailure::KeyRedirect:
            return ReplaceAll(strings.Get(kStrKeyRedirectRefused), "%1", result.reason);
        case StandardFailure::BadRequest:
        case StandardFailure::Exchange:
            return result.reason;
    }
    return {};
}

}  // namespace

int UploadRun::ConnectionLimit(const HosterDef& hoster, const UploadRunOptions& options) const {
    if (options.connections) return std::max(*options.connections, 1);
    // Without a settings file the key's default stands.
    const int cap = ReadIntSetting(options.settingsFile, keys::Connections);
    return std::clamp(ConnectionsFor(hoster), 1, cap);
}

void UploadRun::RunStandard(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    const size_t limit = static_cast<size_t>(ConnectionLimit(hosters_.Row(hosterIndex_), options));
    const bool hash = options.history && options.history->IsOpen();
    preparer_ = std::make_unique<ImagePreparer>(PreparerThreads());
    size_t next = 0;  // the first row not yet handed to the preparer
    // One picture more than there are connections, so a free connection never waits for one.
    auto handOut = [&] {
        while (next < rows.size() && static_cast<size_t>(preparer_->Outstanding()) < limit + 1) {
            ImageEntry& row = rows[next++];
            if (!row.IsImageToUpload()) continue;
            if (!RowTakes(row.FullPath()) || !WithinSizeCap(row.FullPath(), options)) {
                ImageEnded(row, false, false, std::chrono::steady_clock::now());
                continue;
            }
            preparer_->Add(static_cast<int>(next), row.FullPath(), options.processing, hash);
        }
    };
    while (!abortFlag_.load()) {
        handOut();
        RetryClaimed(rows, options);
        while (jobs_.size() < limit && !abortFlag_.load()) {
            std::optional<PreparedImage> ready = preparer_->TakeReady();
            if (!ready) break;
            StartStandardImage(rows, std::move(*ready), options);
            handOut();
        }
        const bool preparing = preparer_->Outstanding() > 0;
        if (jobs_.empty() && !preparing && recording_.empty() && waiting_.empty()) break;
        if (jobs_.empty() && preparing) {
            preparer_->WaitReady(options.pumpSlice);
            Pump(options.pump);
            ReportRecorded(rows, options, false);
        } else {
            // A picture that gets ready meanwhile waits for the end of this turn; with a
            // connection free, the turn is kept short so it does not wait long.
            DriveJobs(rows, options,
                      preparing && jobs_.size() < limit
                          ? std::min(options.pumpSlice, std::chrono::milliseconds(10))
                          : options.pumpSlice);
        }
    }
    preparer_->DropPending();
    RetryClaimed(rows, options);  // cancelled: none waits any longer
    while (!jobs_.empty() || !recording_.empty()) DriveJobs(rows, options, options.pumpSlice);
    preparer_.reset();
}

void UploadRun::StartStandardImage(std::span<ImageEntry> rows, PreparedImage prepared,
                                   const UploadRunOptions& options) {
    const HosterDef& hoster = hosters_.Row(hosterIndex_);
    const int position = prepared.position;
    ImageEntry& row = rows[static_cast<size_t>(position - 1)];
    const std::string& path = prepared.path;
    const std::string line = strings_.Get(kStrUploadOf) + " " + path + "...";
    auto image = std::make_unique<StandardImage>();
    image->position = position;
    image->start = std::chrono::steady_clock::now();
    ReportFigures();
    observer_.CurrentFile(path);
    observer_.StatusLine(strings_.Get(kStrSendingRequest));

    ProcessedImage& processed = prepared.processed;
    if (!processed.error.empty() && options.processing.Changes()) {
        Log(line + Failed(processed.error), true);
        return ImageEnded(row, false, false, image->start);
    }
    const bool history = options.history && options.history->IsOpen();
    if (history && !processed.bytes.empty()) {
        if (options.reuse && !ReuseOrClaim(rows, prepared, *image, hoster, options)) return;
        image->sentSha256 = std::move(prepared.sentSha256);
        image->originalSha256 = std::move(prepared.originalSha256);
        image->width = processed.width ? processed.width : row.width;
        image->height = processed.height ? processed.height : row.height;
    }

    StandardUploadOptions upload;
    upload.transport = options.transport;
    upload.timeout = std::chrono::seconds(TimeoutSeconds(options));
    const int retryCap = ReadIntSetting(options.settingsFile, keys::Retries);
    upload.retries = std::min(RetriesFor(hoster), retryCap);
    upload.retryBaseDelay = options.retryBaseDelay;
    upload.retryWaitLimit = options.retryWaitLimit;
    upload.answers = options.answers;
    image->job = std::make_unique<StandardUploadJob>(hoster, path, std::move(processed.bytes),
                                                     std::move(upload));
    if (image->job->Finished()) return EndStandardImage(rows, std::move(image), options);
    jobs_.push_back(std::move(image));
}

bool UploadRun::ReuseOrClaim(std::span<ImageEntry> rows, PreparedImage& prepared,
                             StandardImage& image, const HosterDef& hoster,
                             const UploadRunOptions& options) {
    const int position = prepared.position;
    ImageEntry& row = rows[static_cast<size_t>(position - 1)];
    const std::string line = strings_.Get(kStrUploadOf) + " " + prepared.path + "...";
    const std::string key = ReuseKey(hoster);
    const std::string processing = options.processing.Key();
    if (const std::optional<HistoryEntry> earlier =
            options.history->FindReusable(prepared.originalSha256, processing, hoster.Id, key)) {
        claimWaits_.erase(position);
        row.upload = earlier->code;
        row.checked = false;
        Log(line + ReplaceAll(strings_.Get(kStrReused), "%1", LocalTimeText(earlier->uploadedAt)),
            true);
        observer_.RowChanged(position);
        ImageEnded(row, true, false, image.start);
        return false;
    }
    const PictureClaim claim = options.history->Claim(prepared.originalSha256, processing, key);
    if (claim.taken) {
        claimWaits_.erase(position);
        image.claimKey = key;
        return true;
    }
    // Another run is sending it: its code will do, once recorded. Its upload is bounded by
    // the time-out as ours is, so a claim that outlasts it is given up on.
    const auto now = std::chrono::steady_clock::now();
    const auto wait =
        claimWaits_.try_emplace(position, now + std::chrono::seconds(TimeoutSeconds(options)))
            .first;
    if (now < wait->second) {
        waiting_.push_back(std::move(prepared));
        return false;
    }
    claimWaits_.erase(wait);
    Log(line + ReplaceAll(strings_.Get(kStrClaimedElsewhere), "%1", std::to_string(claim.holder)),
        true);
    ImageEnded(row, false, false, image.start);
    return false;
}

void UploadRun::RetryClaimed(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    std::vector<PreparedImage> again = std::move(waiting_);
    waiting_.clear();
    for (PreparedImage& prepared : again) {
        if (!abortFlag_.load()) {
            StartStandardImage(rows, std::move(prepared), options);
            continue;
        }
        const ImageEntry& row = rows[static_cast<size_t>(prepared.position - 1)];
        Log(strings_.Get(kStrUploadOf) + " " + prepared.path + "..." +
                Failed(strings_.Get(kReasonCancelled)),
            true);
        ImageEnded(row, false, false, std::chrono::steady_clock::now());
    }
}

void UploadRun::DriveJobs(std::span<ImageEntry> rows, const UploadRunOptions& options,
                          std::chrono::milliseconds slice) {
    if (jobs_.empty() && recording_.empty()) {
        // Only pictures another run is sending: look again after a slice.
        std::this_thread::sleep_for(slice);
        Pump(options.pump);
        return RetryClaimed(rows, options);
    }
    if (jobs_.empty()) return ReportRecorded(rows, options, true);
    std::vector<StandardUploadJob*> tasks;
    for (const auto& image : jobs_) tasks.push_back(image->job.get());
    net::PollTurn(std::span<StandardUploadJob* const>(tasks), {options.pump, &abortFlag_, slice});
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (!(*it)->job->Finished()) {
            ++it;
            continue;
        }
        std::unique_ptr<StandardImage> image = std::move(*it);
        it = jobs_.erase(it);
        EndStandardImage(rows, std::move(image), options);
    }
    ReportRecorded(rows, options, false);
}

void UploadRun::EndStandardImage(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                                 const UploadRunOptions& options) {
    const StandardUploadJob& job = *image->job;
    const StandardUploadResult& result = job.Result();
    outputs_.insert(outputs_.end(), result.outputs.begin(), result.outputs.end());
    // A picture the history was open for and never hashed (it could not be read) has no
    // success to record.
    const bool history =
        options.history && (!options.history->IsOpen() || !image->sentSha256.empty());
    if (result.failure != StandardFailure::None || !history)
        return ReportStandardImage(rows, *image, options, {});
    HistoryEntry entry;
    entry.filePath = job.Path();
    entry.fileBytes = rows[static_cast<size_t>(image->position - 1)].bytes;
    entry.originalSha256 = image->originalSha256;
    entry.sentSha256 = image->sentSha256;
    entry.width = image->width;
    entry.height = image->height;
    entry.code = result.code;
    entry.url = result.links.url;
    entry.thumbnailUrl = result.links.thumbnail_url;
    entry.deletionUrl = result.links.deletion_url;
    std::future<Status> written = Record(std::move(entry), job.Row(), options);
    recording_.push_back({std::move(image), std::move(written)});
}

void UploadRun::ReportRecorded(std::span<ImageEntry> rows, const UploadRunOptions& options,
                               bool wait) {
    if (wait && !recording_.empty() &&
        recording_.front().written.wait_for(options.pumpSlice) != std::future_status::ready)
        Pump(options.pump);
    for (auto it = recording_.begin(); it != recording_.end();) {
        if (it->written.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ++it;
            continue;
        }
        Recording done = std::move(*it);
        it = recording_.erase(it);
        ReportStandardImage(rows, *done.image, options, done.written.get());
    }
}

void UploadRun::ReportStandardImage(std::span<ImageEntry> rows, StandardImage& image,
                                    const UploadRunOptions& options, const Status& recorded) {
    const StandardUploadJob& job = *image.job;
    const StandardUploadResult& result = job.Result();
    const ImageEntry& row = rows[static_cast<size_t>(image.position - 1)];
    const std::string line = strings_.Get(kStrUploadOf) + " " + job.Path() + "...";
    const std::string note =
        job.Attempts() > 1
            ? " (" + ReplaceAll(strings_.Get(kStrAttempt), "%1", std::to_string(job.Attempts())) +
                  ")"
            : "";
    const bool succeeded = result.failure == StandardFailure::None;
    // After the entry is written, so a run waiting for the picture finds its code.
    if (!image.claimKey.empty())
        options.history->Release(image.originalSha256, options.processing.Key(), image.claimKey);
    if (succeeded) {
        Log(line, false);
        Succeeded(rows, image.position, result.code, static_cast<double>(result.fileBytes), options,
                  note + RecordNote(recorded));
    } else {
        Log(line + Failed(ReasonOf(result, job.Row(), strings_)) + note, true);
    }
    ImageEnded(row, succeeded, true, image.start);
}

}  // namespace lumar
