// The images of a standard row as steps of the run: several in flight on one poll loop, each
// ending with one whole line in the log whatever order the answers come in.
#include <algorithm>
#include <optional>

#include "hosters/hoster_accepts.h"
#include "hosters/hoster_rows.h"
#include "imagelist/image_info.h"
#include "shell/file_io.h"
#include "shell/plain_text.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "upload/standard_upload.h"
#include "upload/upload_run.h"

namespace lumar {
namespace {

// " (2. Versuch)" after the line of an image that needed more than one try.
std::string AttemptsNote(int attempts, const UiStrings& strings) {
    if (attempts <= 1) return "";
    return " (" + ReplaceAll(strings.Get(kStrAttempt), "%1", std::to_string(attempts)) + ")";
}

}  // namespace

int UploadRun::ConnectionLimit(const HosterDef& hoster, const UploadRunOptions& options) const {
    if (options.connections) return std::max(*options.connections, 1);
    // Without a settings file the key's default stands.
    const int cap = SettingsOf(options).Int(keys::Connections);
    return std::clamp(ConnectionsFor(hoster), 1, cap);
}

RunStep<> UploadRun::RunStandard(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    const size_t limit = static_cast<size_t>(ConnectionLimit(hosters_.Row(hosterIndex_), options));
    const bool hash = HistoryOpen(options);
    const int thumbSide = ThumbSideNeeded(options);
    preparer_ = std::make_unique<ImagePreparer>(PreparerThreads(), &wake_);
    size_t next = 0;  // the first row not yet handed to the preparer
    // One picture more than there are connections, so a free connection never waits for one.
    // The pictures handed out together share one reading of the settings.
    auto handOut = [&] {
        std::optional<PrepareRequest> request;
        while (next < rows.size() && static_cast<size_t>(preparer_->Outstanding()) < limit + 1) {
            const ImageEntry& row = rows[next++];
            if (!row.IsImageToUpload()) continue;
            if (!request) request = RequestFor(options, hash, thumbSide);
            preparer_->Add(static_cast<int>(next), row.FullPath(), *request);
        }
    };
    // A picture ready and admitted, waiting for a free connection. One that is refused ends at
    // once, whether a connection is free or not.
    std::optional<PreparedImage> admitted;
    auto takeAdmitted = [&] {
        while (!admitted) {
            std::optional<PreparedImage> ready = preparer_->TakeReady();
            if (!ready) return;
            const Admission admission = Admit(*ready, true);
            ImageEntry& row = rows[static_cast<size_t>(ready->position - 1)];
            if (admission == Admission::kTake) {
                admitted = std::move(ready);
            } else if (admission == Admission::kPrepareAgain) {
                PrepareRequest request = ready->request;
                request.acceptedTypes = kAllImageTypes;
                preparer_->Add(ready->position, row.FullPath(), request);
            } else {
                ImageEnded(row, false, false, std::chrono::steady_clock::now());
                handOut();
            }
        }
    };
    while (MayStartImage()) {
        handOut();
        RetryClaimed(rows, options);
        while (MayStartImage()) {
            takeAdmitted();
            if (!admitted || ConnectionsTaken(options) >= limit) break;
            StartStandardImage(rows, std::move(*admitted), options);
            admitted.reset();
            handOut();
        }
        const bool preparing = preparer_->Outstanding() > 0 || admitted;
        if (jobs_.empty() && !preparing && recording_.empty() && waiting_.empty()) break;
        if (jobs_.empty() && preparing) {
            // The preparer, the writer, a cancel: each ends the wait through the wake.
            co_await WaitFor(nullptr, Clock::time_point::max());
            ReportRecorded(rows, options);
        } else {
            // A picture that gets ready meanwhile ends the turn through the wake.
            co_await DriveJobs(rows, options);
        }
    }
    preparer_->DropPending();
    RetryClaimed(rows, options);  // cancelled or ending: none waits any longer
    while (!jobs_.empty() || !recording_.empty()) co_await DriveJobs(rows, options);
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
    image->path = path;
    image->start = std::chrono::steady_clock::now();
    ReportFigures();
    observer_.CurrentFile(path);
    observer_.StatusLine(strings_.Get(kStrSendingRequest));

    ProcessedImage& processed = prepared.processed;
    if (processed.error && options.processing.Changes()) {
        Log(line + Failed(position, *processed.error), true);
        return ImageEnded(row, false, false, image->start);
    }
    const bool history = HistoryOpen(options);
    if (history && !processed.bytes.empty()) {
        if (options.reuse && !ReuseOrClaim(rows, prepared, *image, hoster, options)) return;
        image->sentSha256 = std::move(prepared.sentSha256);
        image->originalSha256 = std::move(prepared.originalSha256);
        image->width = processed.width ? processed.width : row.width;
        image->height = processed.height ? processed.height : row.height;
    }
    image->thumbnail = std::move(prepared.thumbnail);
    image->job = std::make_unique<StandardUploadJob>(hoster, path, std::move(processed.bytes),
                                                     JobOptions(hoster, options));
    Launch(rows, std::move(image), options);
}

size_t UploadRun::ConnectionsTaken(const UploadRunOptions& options) const {
    // Only the fallback row and a thumbnail of the run's own send an image again after its
    // answer came.
    const bool mayGoOn = Fallback() != nullptr || ThumbSideNeeded(options) > 0;
    return static_cast<size_t>(std::ranges::count_if(
        jobs_, [mayGoOn](const auto& image) { return mayGoOn || !image->job->Evaluating(); }));
}

StandardUploadOptions UploadRun::JobOptions(const HosterDef& row, const UploadRunOptions& options) {
    StandardUploadOptions upload;
    upload.transport = options.transport;
    upload.timeout = std::chrono::seconds(TimeoutSeconds(options));
    const int retryCap = SettingsOf(options).Int(keys::Retries);
    upload.retries = std::min(RetriesFor(row), retryCap);
    upload.retryBaseDelay = options.retryBaseDelay;
    upload.retryWaitLimit = options.retryWaitLimit;
    upload.answers = options.answers;
    upload.evaluator = &evaluator_;
    return upload;
}

void UploadRun::Launch(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                       const UploadRunOptions& options) {
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
    // What the fallback took in an earlier run counts as taken, too.
    const auto findEarlier = [&] {
        std::optional<HistoryEntry> found;
        for (const HosterDef* taker : {&hoster, Fallback()})
            if (taker && !found)
                found = options.history->FindReusable(prepared.originalSha256, processing,
                                                      taker->Id, ReuseKey(*taker));
        return found;
    };
    std::optional<HistoryEntry> earlier = findEarlier();
    PictureClaim claim;
    if (!earlier) {
        claim = options.history->Claim(prepared.originalSha256, processing, key);
        // Another run may have recorded the picture and let go of it between the look and the
        // claim: its code is there now, and sending the picture again would upload it twice.
        if (claim.taken && (earlier = findEarlier()))
            options.history->Release(prepared.originalSha256, processing, key);
    }
    if (earlier) {
        claimWaits_.erase(position);
        row.upload = earlier->code;
        row.checked = false;
        Log(line + ReplaceAll(strings_.Get(kStrReused), "%1", LocalTimeText(earlier->uploadedAt)),
            true);
        observer_.RowChanged(position);
        ImageEnded(row, true, false, image.start);
        return false;
    }
    if (claim.taken && !SendingHere(prepared.originalSha256, key)) {
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

bool UploadRun::SendingHere(const std::string& originalSha256, const std::string& key) const {
    const auto same = [&](const StandardImage& image) {
        return image.claimKey == key && image.originalSha256 == originalSha256;
    };
    return std::any_of(jobs_.begin(), jobs_.end(),
                       [&](const auto& image) { return same(*image); }) ||
           std::any_of(recording_.begin(), recording_.end(),
                       [&](const Recording& done) { return same(*done.image); });
}

void UploadRun::RetryClaimed(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    std::vector<PreparedImage> again = std::move(waiting_);
    waiting_.clear();
    for (PreparedImage& prepared : again) {
        if (MayStartImage()) {
            StartStandardImage(rows, std::move(prepared), options);
            continue;
        }
        const ImageEntry& row = rows[static_cast<size_t>(prepared.position - 1)];
        Log(strings_.Get(kStrUploadOf) + " " + prepared.path + "..." +
                Failed(prepared.position, Reason(ReasonCode::kCancelled)),
            true);
        ImageEnded(row, false, false, std::chrono::steady_clock::now());
    }
}

RunStep<> UploadRun::DriveJobs(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    if (jobs_.empty() && recording_.empty()) {
        // Only pictures another run is sending. That run lets go of them in its own process,
        // which nothing here hears of: look again a little later, or when the first claim runs
        // out.
        auto until = Clock::now() + std::chrono::milliseconds(200);
        for (const PreparedImage& prepared : waiting_)
            until = std::min(until, claimWaits_.at(prepared.position));
        co_await WaitFor(nullptr, until);
        RetryClaimed(rows, options);
        co_return;
    }
    if (jobs_.empty()) {
        // The writer ends the wait through the wake once an entry is written.
        if (recording_.front().written.wait_for(std::chrono::seconds(0)) !=
            std::future_status::ready)
            co_await WaitFor(nullptr, Clock::time_point::max());
        ReportRecorded(rows, options);
        co_return;
    }
    std::vector<StandardUploadJob*> tasks;
    for (const auto& image : jobs_) {
        // Ending: what was sent gets its answer, a pause before another try ends the image.
        if (stopStarting_.load()) image->job->StopRetrying();
        tasks.push_back(image->job.get());
    }
    co_await TurnOver(std::span<StandardUploadJob* const>(tasks));
    // An answer is read on the evaluator's thread. The images end in the order their answers
    // came in, or their jobs ended without one, as when the answers were read on this thread:
    // an image waits for those before it, so the log does not depend on how long a reading took.
    for (const auto& image : jobs_)
        if ((image->job->Finished() || image->job->Evaluating()) &&
            std::find(ending_.begin(), ending_.end(), image.get()) == ending_.end())
            ending_.push_back(image.get());
    // Taken out first: an image that goes on (to the fallback, or with its thumbnail) comes
    // back among those in flight.
    std::vector<std::unique_ptr<StandardImage>> ended;
    while (!ending_.empty()) {
        StandardImage* next = ending_.front();
        next->job->Collect();
        if (!next->job->Finished()) break;
        ending_.pop_front();
        const auto it = std::find_if(jobs_.begin(), jobs_.end(),
                                     [next](const auto& image) { return image.get() == next; });
        ended.push_back(std::move(*it));
        jobs_.erase(it);
    }
    for (std::unique_ptr<StandardImage>& image : ended)
        EndStandardImage(rows, std::move(image), options);
    ReportRecorded(rows, options);
    ReportJobsWait();
}

void UploadRun::ReportJobsWait() {
    for (const auto& image : jobs_)
        if (UploadWait wait = image->job->Wait(); wait.kind != UploadWait::Kind::kNone)
            return ReportWait(wait);
    ReportWait({});
}

const HosterDef* UploadRun::Fallback() const {
    // Looked up by ID each time: the table may be reloaded between the run's steps.
    const int row = fallbackId_.empty() ? 0 : FindHosterRow(hosters_, fallbackId_);
    return row > 0 && row != hosterIndex_ ? &hosters_.Row(row) : nullptr;
}

int UploadRun::ThumbSideNeeded(const UploadRunOptions& options) const {
    const HosterDef* fallback = Fallback();
    const bool lacking = RowLacksThumbnails(hosters_.Row(hosterIndex_)) ||
                         (fallback && RowLacksThumbnails(*fallback));
    return lacking ? options.ownThumbSide : 0;
}

bool UploadRun::TryFallback(std::span<ImageEntry> rows, std::unique_ptr<StandardImage>& image,
                            const UploadRunOptions& options) {
    const HosterDef* fallback = Fallback();
    const StandardUploadResult& result = image->job->Result();
    if (!fallback || image->chosenFailure || result.failure == StandardFailure::kCancelled ||
        abortFlag_.load())
        return false;
    // A file that could not be read is not there for the fallback either.
    std::string bytes = image->job->TakeBytes();
    if (bytes.empty() || !RowAccepts(*fallback, ReadImageInfoFromBytes(bytes).Type)) return false;
    image->chosenFailure.emplace(image->job->Row().Name, ReasonText(result.reason, strings_));
    image->job = std::make_unique<StandardUploadJob>(*fallback, image->path, std::move(bytes),
                                                     JobOptions(*fallback, options));
    Launch(rows, std::move(image), options);
    return true;
}

bool UploadRun::TryThumbnail(std::span<ImageEntry> rows, std::unique_ptr<StandardImage>& image,
                             const UploadRunOptions& options) {
    const HosterDef row = image->job->Row();
    if (!image->thumbnail || !RowLacksThumbnails(row)) return false;
    ResizeResult thumbnail = std::move(*image->thumbnail);
    image->thumbnail.reset();
    // After a cancel nothing more is sent; the picture is in all the same.
    const bool cancelled = abortFlag_.load();
    if (thumbnail.bytes.empty() || cancelled) {
        const std::string note =
            FallbackNote(*image) + " (" +
            (cancelled ? ReplaceAll(strings_.Get(kStrThumbNotUploaded), "%1",
                                    strings_.Get(kReasonCancelled))
                       : ReplaceAll(strings_.Get(kStrThumbNotMade), "%1",
                                    thumbnail.error ? ReasonText(*thumbnail.error, strings_)
                                                    : std::string())) +
            ")" + AttemptsNote(image->job->Attempts(), strings_);
        StandardUploadResult result = image->job->Result();
        StandardSucceeded(rows, std::move(image), row, std::move(result), note, options);
        return true;
    }
    // The host sees a name of its own for the thumbnail, with the extension of what it is.
    const std::string& path = image->path;
    const size_t slash = path.rfind('/') + 1;
    const size_t dot = path.rfind('.');
    const std::string stem =
        path.substr(0, dot == std::string::npos || dot < slash ? path.size() : dot);
    const std::string name =
        stem + "-thumb" + (thumbnail.type == ImageType::kPng ? ".png" : ".jpg");
    image->picture = image->job->Result();
    image->pictureAttempts = image->job->Attempts();
    image->job = std::make_unique<StandardUploadJob>(row, name, std::move(thumbnail.bytes),
                                                     JobOptions(row, options));
    Launch(rows, std::move(image), options);
    return true;
}

std::string UploadRun::FallbackNote(const StandardImage& image) const {
    if (!image.chosenFailure) return "";
    return " (" + ReplaceAll(strings_.Get(kStrViaFallback), "%1", image.job->Row().Name) + "; " +
           image.chosenFailure->first + ": " + image.chosenFailure->second + ")";
}

void UploadRun::EndStandardImage(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                                 const UploadRunOptions& options) {
    const StandardUploadJob& job = *image->job;
    const StandardUploadResult& result = job.Result();
    // What the host says about a thumbnail would only repeat what it said about the picture.
    if (image->picture) return EndThumbnail(rows, std::move(image), options);
    outputs_.insert(outputs_.end(), result.outputs.begin(), result.outputs.end());
    if (result.failure == StandardFailure::kNone) {
        if (TryThumbnail(rows, image, options)) return;
        const HosterDef row = job.Row();
        std::string note = FallbackNote(*image) + AttemptsNote(job.Attempts(), strings_);
        StandardUploadResult taken = result;
        return StandardSucceeded(rows, std::move(image), row, std::move(taken), std::move(note),
                                 options);
    }
    if (TryFallback(rows, image, options)) return;
    Reason reason = result.reason;
    if (image->chosenFailure)
        reason =
            Reason(ReasonCode::kOther,
                   {image->chosenFailure->second + "; " +
                    ReplaceAll(ReplaceAll(strings_.Get(kStrFallbackFailed), "%1", job.Row().Name),
                               "%2", ReasonText(result.reason, strings_))});
    ReleaseClaim(*image, options);
    Log(strings_.Get(kStrUploadOf) + " " + image->path + "..." + Failed(image->position, reason) +
            AttemptsNote(job.Attempts(), strings_),
        true);
    ImageEnded(rows[static_cast<size_t>(image->position - 1)], false, true, image->start);
}

// The thumbnail's address goes into the picture's code; without it the picture stays inline.
void UploadRun::EndThumbnail(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                             const UploadRunOptions& options) {
    const StandardUploadResult& thumb = image->job->Result();
    StandardUploadResult picture = std::move(*image->picture);
    std::string note = FallbackNote(*image);
    if (thumb.failure == StandardFailure::kNone) {
        picture.links.thumbnailUrl = thumb.links.url;
        picture.code = CodeFromLinks(picture.links, CodeStyle::kLinkedThumbnail);
    } else {
        note += " (" +
                ReplaceAll(strings_.Get(kStrThumbNotUploaded), "%1",
                           ReasonText(thumb.reason, strings_)) +
                ")";
    }
    note += AttemptsNote(image->pictureAttempts, strings_);
    const HosterDef row = image->job->Row();
    StandardSucceeded(rows, std::move(image), row, std::move(picture), std::move(note), options);
}

void UploadRun::StandardSucceeded(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                                  const HosterDef& row, StandardUploadResult result,
                                  std::string note, const UploadRunOptions& options) {
    Recording done{std::move(image), {}, std::move(result), std::move(note)};
    const StandardImage& taken = *done.image;
    // A picture the history was open for and never hashed (it could not be read) has no
    // success to record; a history that could not be opened says so with the image.
    if (!options.history || (options.history->IsOpen() && taken.sentSha256.empty()))
        return ReportSucceeded(rows, done, {}, options);
    HistoryEntry entry;
    entry.filePath = taken.path;
    entry.fileBytes = rows[static_cast<size_t>(taken.position - 1)].bytes;
    entry.originalSha256 = taken.originalSha256;
    entry.sentSha256 = taken.sentSha256;
    entry.width = taken.width;
    entry.height = taken.height;
    entry.code = done.result.code;
    entry.url = done.result.links.url;
    entry.thumbnailUrl = done.result.links.thumbnailUrl;
    entry.deletionUrl = done.result.links.deletionUrl;
    done.written =
        Record(std::move(entry), row, options, static_cast<double>(done.result.fileBytes));
    recording_.push_back(std::move(done));
}

void UploadRun::ReportRecorded(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    for (auto it = recording_.begin(); it != recording_.end();) {
        if (it->written.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ++it;
            continue;
        }
        Recording done = std::move(*it);
        it = recording_.erase(it);
        ReportSucceeded(rows, done, done.written.get(), options);
    }
}

void UploadRun::ReportSucceeded(std::span<ImageEntry> rows, Recording& done, SuccessWritten written,
                                const UploadRunOptions& options) {
    const StandardImage& image = *done.image;
    // After the entry is written, so a run waiting for the picture finds its code.
    ReleaseClaim(image, options);
    Log(strings_.Get(kStrUploadOf) + " " + image.path + "...", false);
    Succeeded(rows, image.position, done.result.code, static_cast<double>(done.result.fileBytes),
              options, done.note + RecordNote(written.entry), std::move(written.totals));
    ImageEnded(rows[static_cast<size_t>(image.position - 1)], true, true, image.start);
}

void UploadRun::ReleaseClaim(const StandardImage& image, const UploadRunOptions& options) {
    if (!image.claimKey.empty())
        options.history->Release(image.originalSha256, options.processing.Key(), image.claimKey);
}

}  // namespace lumar
