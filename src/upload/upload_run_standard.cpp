// The images of a standard row as steps of the run: several in flight on one poll loop, each
// ending with one whole line in the log whatever order the answers come in.
#include <algorithm>
#include <optional>

#include "shell/file_io.h"
#include "shell/plain_text.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "upload/standard_upload.h"
#include "upload/upload_run.h"

namespace lumar {

int UploadRun::ConnectionLimit(const HosterDef& hoster, const UploadRunOptions& options) const {
    if (options.connections) return std::max(*options.connections, 1);
    // Without a settings file the key's default stands.
    const int cap = SettingsOf(options).Int(keys::Connections);
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
            const int position = static_cast<int>(next);
            if (!FileThere(position, row.FullPath()) || !RowTakes(position, row.FullPath()) ||
                !WithinSizeCap(position, row.FullPath(), options)) {
                ImageEnded(row, false, false, std::chrono::steady_clock::now());
                continue;
            }
            preparer_->Add(position, row.FullPath(), options.processing, hash);
        }
    };
    while (MayStartImage()) {
        handOut();
        while (jobs_.size() < limit && MayStartImage()) {
            std::optional<PreparedImage> ready = preparer_->TakeReady();
            if (!ready) break;
            StartStandardImage(rows, std::move(*ready), options);
            handOut();
        }
        const bool preparing = preparer_->Outstanding() > 0;
        if (jobs_.empty() && !preparing) break;
        if (jobs_.empty()) {
            preparer_->WaitReady(options.pumpSlice);
            Pump(options.pump);
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
    while (!jobs_.empty()) DriveJobs(rows, options, options.pumpSlice);
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
    if (processed.error && options.processing.Changes()) {
        Log(line + Failed(position, *processed.error), true);
        return ImageEnded(row, false, false, image->start);
    }
    const bool history = options.history && options.history->IsOpen();
    if (history && !processed.bytes.empty()) {
        image->sentSha256 = std::move(prepared.sentSha256);
        image->originalSha256 = std::move(prepared.originalSha256);
        image->width = processed.width ? processed.width : row.width;
        image->height = processed.height ? processed.height : row.height;
        const std::optional<HistoryEntry> earlier =
            options.reuse ? options.history->FindReusable(image->originalSha256,
                                                          options.processing.Key(), hoster.Id)
                          : std::nullopt;
        if (earlier) {
            row.upload = earlier->code;
            row.checked = false;
            Log(line +
                    ReplaceAll(strings_.Get(kStrReused), "%1", LocalTimeText(earlier->uploadedAt)),
                true);
            observer_.RowChanged(position);
            return ImageEnded(row, true, false, image->start);
        }
    }

    StandardUploadOptions upload;
    upload.transport = options.transport;
    upload.timeout = std::chrono::seconds(TimeoutSeconds(options));
    const int retryCap = SettingsOf(options).Int(keys::Retries);
    upload.retries = std::min(RetriesFor(hoster), retryCap);
    upload.retryBaseDelay = options.retryBaseDelay;
    upload.retryWaitLimit = options.retryWaitLimit;
    upload.answers = options.answers;
    image->job = std::make_unique<StandardUploadJob>(hoster, path, std::move(processed.bytes),
                                                     std::move(upload));
    jobs_.push_back(std::move(image));
    if (jobs_.back()->job->Finished()) {
        EndStandardImage(rows, *jobs_.back(), options);
        jobs_.pop_back();
    }
}

void UploadRun::DriveJobs(std::span<ImageEntry> rows, const UploadRunOptions& options,
                          std::chrono::milliseconds slice) {
    std::vector<StandardUploadJob*> tasks;
    for (const auto& image : jobs_) {
        // Ending: what was sent gets its answer, a pause before another try ends the image.
        if (stopStarting_.load()) image->job->StopRetrying();
        tasks.push_back(image->job.get());
    }
    net::PollTurn(std::span<StandardUploadJob* const>(tasks), {options.pump, &abortFlag_, slice});
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (!(*it)->job->Finished()) {
            ++it;
            continue;
        }
        const std::unique_ptr<StandardImage> image = std::move(*it);
        it = jobs_.erase(it);
        EndStandardImage(rows, *image, options);
    }
    ReportJobsWait();
}

void UploadRun::ReportJobsWait() {
    for (const auto& image : jobs_)
        if (UploadWait wait = image->job->Wait(); wait.kind != UploadWait::Kind::None)
            return ReportWait(wait);
    ReportWait({});
}

void UploadRun::EndStandardImage(std::span<ImageEntry> rows, StandardImage& image,
                                 const UploadRunOptions& options) {
    const StandardUploadJob& job = *image.job;
    const StandardUploadResult& result = job.Result();
    outputs_.insert(outputs_.end(), result.outputs.begin(), result.outputs.end());
    const ImageEntry& row = rows[static_cast<size_t>(image.position - 1)];
    const std::string line = strings_.Get(kStrUploadOf) + " " + job.Path() + "...";
    const std::string note =
        job.Attempts() > 1
            ? " (" + ReplaceAll(strings_.Get(kStrAttempt), "%1", std::to_string(job.Attempts())) +
                  ")"
            : "";
    const bool succeeded = result.failure == StandardFailure::None;
    if (succeeded) {
        if (options.history && options.history->IsOpen() && !image.sentSha256.empty()) {
            HistoryEntry entry;
            entry.hosterId = job.Row().Id;
            entry.filePath = job.Path();
            entry.fileBytes = row.bytes;
            entry.originalSha256 = image.originalSha256;
            entry.sentSha256 = image.sentSha256;
            entry.width = image.width;
            entry.height = image.height;
            entry.code = result.code;
            entry.url = result.links.url;
            entry.thumbnailUrl = result.links.thumbnail_url;
            entry.deletionUrl = result.links.deletion_url;
            Record(std::move(entry), options);
        }
        Log(line, false);
        Succeeded(rows, image.position, result.code, static_cast<double>(result.fileBytes), options,
                  note);
    } else {
        Log(line + Failed(image.position, result.reason) + note, true);
    }
    ImageEnded(row, succeeded, true, image.start);
}

}  // namespace lumar
