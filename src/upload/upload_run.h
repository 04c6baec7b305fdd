#pragma once
// The upload run: every checked image row of the list to one hoster; each image's code goes
// into its row, and at the end the posting is built. A classic row takes one image after the
// other; a standard row keeps several in flight on one poll loop, each a StandardUploadJob,
// and retries what failed for a passing reason. An image either row fails for good may go
// on to the fallback row, a standard one, as one more StandardUploadJob.
// The run is a task its front end drives on its own loop (a LoopTask): Start() goes as far as
// the first wait, and every Step() as far as the next, so the window's loop stays its own and
// other network work shares it. A standard row's pictures are resized, stripped and hashed
// ahead of their turn on an ImagePreparer's threads, its answers read to their codes on an
// AnswerEvaluator's and its successes recorded (the entry, then the totals) on a
// HistoryWriter's, so none of that holds up the loop; each wakes it through an eventfd that is
// one of the run's waits. A classic row's pictures are made one ahead the same way, and its
// next picture goes out while the success before it is recorded.
// Everything the user sees goes out through an UploadObserver, so the desktop window and
// lumar-cli share one run. With a history, every success is recorded before it is reported
// (on the HistoryWriter's thread, so a locked history holds up only that image's report, and
// a locked settings file only its totals), a
// success the history could not keep says so with its image and once more at the end, and a
// picture the row already took for the same destination is not sent again.
//
// Errors in this room: nothing throws. Each step names what went wrong with an enum
// (RequestProblem, SocketFailure, CutProblem, WaitEnd) or a Reason (shell/outcome.h), turned
// into words only where the run logs it; a file a user wrote (hosters.ini, .sxcu) comes back
// with its problems as text (empty when it was sound).
#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"
#include "hosters/hoster_table.h"
#include "imagelist/image_entry.h"
#include "imagelist/image_processing.h"
#include "shell/language_table.h"
#include "shell/loop_task.h"
#include "shell/outcome.h"
#include "shell/upload_totals.h"
#include "shell/wake_fd.h"
#include "upload/answer_evaluator.h"
#include "upload/history_writer.h"
#include "upload/image_preparer.h"
#include "upload/run_settings.h"
#include "upload/run_step.h"
#include "upload/socket_layer.h"
#include "upload/standard_upload.h"
#include "upload/transport_options.h"
#include "upload/upload_wait.h"

namespace lumar {

class PreparedUpload;

// An image of a standard row in flight, and what the history needs of it at the end. Its job
// is the picture's upload to the chosen row, then perhaps to the fallback row, then perhaps its
// thumbnail's upload to the row that took it; the image ends once, after the last of them. An
// image a classic chosen row failed starts here with its upload to the fallback row.
struct StandardImage {
    int position = 0;  // of its row, from 1
    std::string path;
    std::chrono::steady_clock::time_point start;
    std::unique_ptr<StandardUploadJob> job;
    std::string originalSha256, sentSha256;  // only with a history
    int width = 0, height = 0;
    // Set once the chosen row failed and the fallback row has the picture: the chosen row's
    // name and why it failed, for the log.
    std::optional<std::pair<std::string, std::string>> chosenFailure;
    std::optional<ResizeResult> thumbnail;  // made ahead, for a row whose answer has none
    // The picture's upload while its thumbnail goes up, and the tries it took.
    std::optional<StandardUploadResult> picture;
    int pictureAttempts = 0;
    // The destination this run claimed the picture for in the history; "" when unclaimed.
    std::string claimKey;
};

// The four figures of the upload panel.
struct UploadFigures {
    int remainingCount = 0;  // images not yet processed
    double remainingKB = 0;  // their size in kB
    // When the run started; the elapsed time counts from here, also between two reports.
    std::chrono::steady_clock::time_point runStart;
    // Estimated time still needed; nullopt keeps the figure shown before (no rate known yet).
    std::optional<long long> remainingSeconds;
};

// What the run shows and asks of its front end. Every method has an empty default.
class UploadObserver {
  public:
    virtual ~UploadObserver() = default;

    // The run begins: show the upload panel, clear the log, start the display timer.
    virtual void RunStarted(int /*imageCount*/) {}
    // The current step (lblstatus).
    virtual void StatusLine(const std::string& /*text*/) {}
    // Appends to the log (txStatus), followed by a line end when `lineEnd`.
    virtual void AppendLog(const std::string& /*text*/, bool /*lineEnd*/) {}
    virtual void Figures(const UploadFigures& /*figures*/) {}
    // The progress bar: `value` images done of `maximum` (see ProgressPercent).
    virtual void Progress(int /*value*/, int /*maximum*/) {}
    // Full path of the image being uploaded (lbfile).
    virtual void CurrentFile(const std::string& /*path*/) {}
    // A row's "upload" column and check mark changed (position from 1).
    virtual void RowChanged(int /*position*/) {}
    // An image got no code, for `reason` (worded with ReasonText where it is shown), right
    // before its line in the log; a reason without words: the log line says no more.
    virtual void ImageFailed(int /*position*/, const Reason& /*reason*/) {}
    // What the run waits for now; a wait of Kind::kNone: nothing (any more).
    virtual void Waiting(const UploadWait& /*wait*/) {}
    // The upload totals (Stat/Files and Stat/Size) grew; refresh the status panel.
    virtual void StatsChanged(double /*files*/, double /*bytes*/) {}
    // The totals could not be written to the settings file; said once per run.
    virtual void TotalsNotSaved(const std::string& /*settingsFile*/,
                                const std::string& /*reason*/) {}

    // End of the run, in this order: CollectPosting, RunFinished, ShowMessage (only when rows
    // are still checked), FinishPosting, PlaySound (only when the sound is on), BringToFront
    // (only when Bilder/Form is 1).
    //
    // Rebuild the posting from all rows; clears the check marks of marker rows.
    virtual void CollectPosting(std::span<ImageEntry> /*rows*/) {}
    // Stop the timer, hide the upload panel, show the code panel.
    virtual void RunFinished() {}
    // An information message box with an OK button.
    virtual void ShowMessage(const std::string& /*title*/, const std::string& /*text*/) {}
    // Centre, convert and split the posting as the code panel's options say, and show it.
    virtual void FinishPosting(std::span<const ImageEntry> /*rows*/) {}
    // Play the notification sound (and show the button that stops it).
    virtual void PlaySound(const std::string& /*soundFile*/) {}
    // Take the window back from the notification area and raise it.
    virtual void BringToFront() {}
};

struct UploadRunOptions {
    int hosterIndex = 0;  // row of the hoster table: cbHoster's list index + 1
    // Timeout, Form, Sound, the totals, the caps; none: every key's default, no totals kept.
    RunSettings* settings = nullptr;
    // The totals on display when the run starts; they grow from here while the settings file
    // cannot be written.
    UploadTotals shownTotals;

    // Overrides Bilder/Timeout (lumar-cli --timeout); nullopt reads the setting per image.
    std::optional<int> timeoutSeconds;
    // The extra CA, connect-to redirections and proxy; see TransportOptions.
    TransportOptions transport;
    // Images in flight at once (lumar-cli --connections); nullopt: what the row asks for,
    // capped by Bilder/Connections. Classic rows always take one at a time.
    std::optional<int> connections;
    // The wait before the first retry (doubling after it) and the most a host's Retry-After
    // may make the run wait.
    std::chrono::milliseconds retryBaseDelay{1000};
    std::chrono::milliseconds retryWaitLimit{30000};
    // None: nothing is recorded or reused. One that could not be opened: every success says
    // it was not kept (the store's Problem()).
    HistoryStore* history = nullptr;
    // Where opening the history moved a damaged file; the run's log says so first.
    std::string historySetAside;
    bool reuse = true;             // take a standard row's code from the history (Bilder/Reuse)
    ProcessingOptions processing;  // what is done to each picture before it is sent
    // What the person answered to the row's questions ({inputbox}, {select}), asked once
    // before the run (RowPrompts).
    PromptAnswers answers;
    // The longest side of the thumbnails made for a row whose answer gives none (see
    // RowLacksThumbnails); 0: such a row's code shows the picture itself (OwnThumbSide).
    int ownThumbSide = 0;
    // The ID of the row that takes an image the chosen row failed for good (Bilder/Ersatz,
    // checked with FallbackRow); "" = none.
    std::string fallbackId;
};

// The settings a run reads: the caller's, else every key's default.
inline const RunSettings& SettingsOf(const UploadRunOptions& options) {
    return options.settings ? *options.settings : DefaultRunSettings();
}

// Whether the run records its successes: its pictures are hashed for the history then.
inline bool HistoryOpen(const UploadRunOptions& options) {
    return options.history && options.history->IsOpen();
}

// The thumbnail side of a run from Posting/OwnThumbs and Posting/ThumbSize of `settingsFile`,
// `ownThumbs` (lumar-cli --own-thumbs, --no-own-thumbs) overriding the first: 0 when off.
int OwnThumbSide(const std::string& settingsFile, std::optional<bool> ownThumbs = {});

// The row number of the fallback `id` for a run on row `chosen`, or why it cannot stand in:
// no such row, the chosen row itself, or a classic row (which sends one image at a time and
// cannot run beside the standard row's images).
Outcome<int> FallbackRow(const HosterTable& hosters, const std::string& id, int chosen);

// The message shown at the end when image rows are still checked.
inline constexpr std::string_view kNotAllUploadedTitle = "Lumar V1 - Information";
extern const std::string_view kNotAllUploadedText;

class UploadRun : public LoopTask {
  public:
    UploadRun(const HosterTable& hosters, const UiStrings& strings, UploadObserver& observer);
    ~UploadRun() override;

    // Uploads every checked image row of `rows` (the click on cmUpload): the run goes as far
    // as its first wait; its caller steps it (LoopTask) until Finished(), the posting and the
    // end-of-run requests included. `rows` and `options` must outlive the run's steps.
    void Start(std::span<ImageEntry> rows, const UploadRunOptions& options);
    [[nodiscard]] std::vector<pollfd> Waits() const override;
    [[nodiscard]] std::chrono::steady_clock::time_point Deadline() const override {
        return deadline_;
    }
    void Step(std::span<const pollfd> ready) override;
    [[nodiscard]] bool Finished() const override { return body_.Done(); }
    // Start() and the steps on a poll loop of its own (lumar-cli): returns when the run is over.
    void Run(std::span<ImageEntry> rows, const UploadRunOptions& options);

    // cmAbbruch: the run stops after the current image; a wait in progress ends at once.
    // Safe to call from a signal handler (it sets the flag and signals the run's eventfd).
    void Abort() {
        abortFlag_.store(true);
        wake_.Signal();
    }
    // The program is ending: no further image starts and no retry is made, but the images
    // already sent get their answers (up to the time-out), so their codes are kept; then the
    // run ends as it always does. Abort() after it ends the run at once.
    void StopStarting() {
        stopStarting_.store(true);
        wake_.Signal();
    }
    std::atomic<bool>& AbortFlag() { return abortFlag_; }

    // The state of the run, readable while it runs (from the observer) and afterwards.
    [[nodiscard]] int HosterIndex() const { return hosterIndex_; }
    [[nodiscard]] int ImageCount() const { return imageCount_; }
    [[nodiscard]] int DoneCount() const { return doneCount_; }
    [[nodiscard]] int RemainingCount() const { return remainingCount_; }
    [[nodiscard]] double RemainingKB() const { return remainingKB_; }
    [[nodiscard]] double SpeedKB() const { return speedKB_; }  // kB per second of the last image
    [[nodiscard]] int FailedCount() const { return failedCount_; }
    // Why the totals could not be written during the run; "" when every write went through.
    [[nodiscard]] const std::string& TotalsProblem() const { return totalsProblem_; }
    // Successes of the run the history could not keep.
    [[nodiscard]] int UnrecordedCount() const { return unrecorded_; }
    // What the row's {outputbox} calls gave during the run, for the front end to show at its
    // end, in the order the images finished.
    [[nodiscard]] const std::vector<std::string>& Outputs() const { return outputs_; }

  private:
    using Clock = std::chrono::steady_clock;
    // Where the run waits: for `waits` (their revents filled in by the step that goes on) and
    // the wake, until the deadline.
    struct Pause {
        UploadRun& run;
        [[nodiscard]] bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> at) noexcept { run.resumeAt_ = at; }
        void await_resume() const noexcept {
            run.waitsAt_ = nullptr;
            run.wake_.Drain();
        }
    };
    Pause WaitFor(std::vector<pollfd>* waits, Clock::time_point deadline);
    // One turn over tasks as net::PollTurn makes it, waiting on the run's loop; false, without
    // a wait, when every task is finished.
    template <typename Task>
    RunStep<bool> TurnOver(std::span<Task* const> tasks);
    // Drives a classic row's exchange until it has left `state` or is finished.
    RunStep<> DriveWhile(net::HttpExchange& exchange, net::HttpExchange::State state);

    RunStep<> Body(std::span<ImageEntry> rows, const UploadRunOptions& options);
    void ResetFor(std::span<const ImageEntry> rows, const UploadRunOptions& options);
    RunStep<> RunClassic(std::span<ImageEntry> rows, const UploadRunOptions& options);
    RunStep<> RunStandard(std::span<ImageEntry> rows, const UploadRunOptions& options);
    // What the preparer is asked for: the run's processing, the row's types and the size cap
    // (read from the settings unless `maxBytes` gives it).
    [[nodiscard]] PrepareRequest RequestFor(const UploadRunOptions& options, bool hash,
                                            int thumbSide,
                                            std::optional<std::uint64_t> maxBytes = {}) const;
    // Whether a prepared picture goes on to its upload. Refused, with the image's failure or
    // skip in the log: a file no longer there (when `missingFails`; a classic row fails it
    // where it is read, as it always did), a type the row does not take, a file over
    // Bilder/MaxFileMB. kPrepareAgain: the table was reloaded and the row now takes the type
    // the preparer passed over.
    enum class Admission { kTake, kRefuse, kPrepareAgain };
    Admission Admit(const PreparedImage& picture, bool missingFails) {
        return Tell(picture, Judge(picture, missingFails));
    }
    // Admit's decision before anything is logged: a refusal's reason, and whether it passes
    // the picture over (a type the row does not take: the row keeps it checked) or fails it.
    struct Verdict {
        Admission admission = Admission::kTake;
        Reason reason;
        bool passedOver = false;
    };
    [[nodiscard]] Verdict Judge(const PreparedImage& picture, bool missingFails) const;
    // A refusal's line in the log and its reason to the observer; the verdict's admission.
    Admission Tell(const PreparedImage& picture, const Verdict& verdict);
    // An image to the classic row, with its line in the log; false when it failed. A failure
    // the fallback row may still mend goes to `handOver` instead, unlogged. A success waits in
    // settling_ for its entry to be written; the image before this one is told (Settle) once
    // this one's request is out, or before this one's first word in the log.
    RunStep<bool> UploadImage(std::span<ImageEntry> rows, int position,
                              const UploadRunOptions& options, std::optional<Reason>& handOver,
                              Clock::time_point start);
    // Tells the classic row's success in settling_, once its entry is written: the log, the
    // row, the totals, the figures. Nothing when none waits.
    RunStep<> Settle();
    // The image the classic row failed for `why` goes to the fallback row as a standard
    // image, prepared as a standard run prepares it, and ends there.
    RunStep<> UploadToFallback(std::span<ImageEntry> rows, int position, Reason why,
                               std::chrono::steady_clock::time_point start,
                               const UploadRunOptions& options);
    RunStep<> UploadStandardAlone(std::span<ImageEntry> rows, int position,
                                  const UploadRunOptions& options);
    // A picture made on the preparer's thread while the loop goes on; nullopt when Admit
    // refused it.
    RunStep<std::optional<PreparedImage>> PrepareAdmitted(int position, const std::string& path,
                                                          const UploadRunOptions& options,
                                                          bool hash, int thumbSide,
                                                          bool missingFails);
    RunStep<PreparedImage> PrepareNow(int position, const std::string& path,
                                      const PrepareRequest& request);
    ImagePreparer& ClassicPreparer();
    // Hands the next image a classic row sends to the preparer, so it is ready by its turn.
    void PrepareAhead(std::span<const ImageEntry> rows, int position,
                      const UploadRunOptions& options);
    // Starts the prepared image's job, or ends the image at once (its code reused, or nothing
    // to send).
    void StartStandardImage(std::span<ImageEntry> rows, PreparedImage prepared,
                            const UploadRunOptions& options);
    StandardUploadOptions JobOptions(const HosterDef& row, const UploadRunOptions& options);
    // Puts the image's job among those in flight, or ends it when it finished at once.
    void Launch(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                const UploadRunOptions& options);
    // The image's failed job goes again to the fallback row, when there is one for it; false
    // (and `image` untouched) when not.
    bool TryFallback(std::span<ImageEntry> rows, std::unique_ptr<StandardImage>& image,
                     const UploadRunOptions& options);
    // The picture is in; sends its thumbnail when the row needs one; false when not.
    bool TryThumbnail(std::span<ImageEntry> rows, std::unique_ptr<StandardImage>& image,
                      const UploadRunOptions& options);
    void EndThumbnail(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                      const UploadRunOptions& options);
    // The image went up to `row` with `result`: its entry goes to the history, and once that
    // is written the row, the log and the totals hear of it (ReportSucceeded).
    void StandardSucceeded(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                           const HosterDef& row, StandardUploadResult result, std::string note,
                           const UploadRunOptions& options);
    // The note of the log line on the fallback, when it took the image.
    [[nodiscard]] std::string FallbackNote(const StandardImage& image) const;
    // The fallback row of this run; nullptr when there is none.
    [[nodiscard]] const HosterDef* Fallback() const;
    // The thumbnail side the preparer is asked for: 0 unless the chosen row or the fallback
    // lacks thumbnails and the run makes its own.
    [[nodiscard]] int ThumbSideNeeded(const UploadRunOptions& options) const;
    // One turn of the loop over the jobs in flight; ends the images whose jobs finished, in
    // the order their answers came.
    RunStep<> DriveJobs(std::span<ImageEntry> rows, const UploadRunOptions& options);
    // Before a picture is sent: a code the history holds for it ends the image; another run
    // sending it makes it wait (in waiting_) until that run is done or the time-out ran out.
    // True when the picture is to be sent, claimed for this run.
    bool ReuseOrClaim(std::span<ImageEntry> rows, PreparedImage& prepared, StandardImage& image,
                      const HosterDef& hoster, const UploadRunOptions& options);
    // Tries the waiting pictures again; after a cancel ends them.
    // The history's claim is this process's own, so it does not keep a second copy of a
    // picture this run is sending from going up as well: the copy waits for the first's code.
    [[nodiscard]] bool SendingHere(const std::string& originalSha256, const std::string& key) const;
    void RetryClaimed(std::span<ImageEntry> rows, const UploadRunOptions& options);
    // A finished job: a success waits for its entry to be written before it is reported.
    void EndStandardImage(std::span<ImageEntry> rows, std::unique_ptr<StandardImage> image,
                          const UploadRunOptions& options);
    struct Recording;
    void ReportSucceeded(std::span<ImageEntry> rows, Recording& done, SuccessWritten written,
                         const UploadRunOptions& options);
    // The claim of the picture, once its entry is written or it failed, so a run waiting for
    // it finds its code or sends it itself.
    void ReleaseClaim(const StandardImage& image, const UploadRunOptions& options);
    // Reports the images whose entries are written.
    void ReportRecorded(std::span<ImageEntry> rows, const UploadRunOptions& options);
    [[nodiscard]] int ConnectionLimit(const HosterDef& hoster,
                                      const UploadRunOptions& options) const;
    // The jobs in flight that hold a connection or may take one again: one whose answer is
    // being read holds none, so the next image need not wait for the reading.
    [[nodiscard]] size_t ConnectionsTaken(const UploadRunOptions& options) const;
    // The entry with the fields of the row that took the picture, handed to the writer with
    // the file's bytes for the totals (ready at once, the totals left to Succeeded, when the
    // history could not be opened).
    std::future<SuccessWritten> Record(HistoryEntry entry, const HosterDef& hoster,
                                       const UploadRunOptions& options, double fileBytes);
    // The words after the image's success when its entry was not written; counts it.
    std::string RecordNote(const Status& recorded);
    // The image's code goes into its row, its size into the totals (`coming` when the writer
    // writes them: they are shown once written); `note` follows the word of success in the log.
    void Succeeded(std::span<ImageEntry> rows, int position, std::string code, double fileBytes,
                   const UploadRunOptions& options, const std::string& note = "",
                   std::optional<std::future<TotalsUpdate>> coming = std::nullopt);
    // The totals grown by a file of `fileBytes` as `update` says, shown; a write that failed
    // grows the totals on display instead and is told once per run.
    void ShowTotals(TotalsUpdate update, double fileBytes, const RunSettings& settings);
    // Shows the totals the writer has written so far, in the order of their images.
    void ShowWrittenTotals();
    // Waits until the writer has written every image's totals, and shows them.
    RunStep<> AwaitTotals();
    [[nodiscard]] int TimeoutSeconds(const UploadRunOptions& options) const;
    // The log's word of failure and the reason in brackets; tells the observer.
    std::string Failed(int position, const Reason& reason);
    // Whether the next image may start: neither cancelled nor ending.
    [[nodiscard]] bool MayStartImage() const { return !abortFlag_.load() && !stopStarting_.load(); }
    // Reports the wait of the oldest image in flight that waits, when it changed.
    void ReportWait(const UploadWait& wait);
    void ReportJobsWait();
    // Counts the image as processed; `uploaded` false: nothing was sent, so it gives no rate.
    void ImageEnded(const ImageEntry& row, bool succeeded, bool uploaded,
                    std::chrono::steady_clock::time_point imageStart);
    void CountImageDone(const ImageEntry& row, std::chrono::steady_clock::time_point imageStart);
    void ReportFigures();
    // The end of the run: the posting, the message about rows left, the sound, the window.
    void Finish(std::span<ImageEntry> rows, const UploadRunOptions& options);
    // Appends to the log with control characters written out.
    void Log(const std::string& text, bool lineEnd);

    const HosterTable& hosters_;
    std::vector<std::string> outputs_;
    const UiStrings& strings_;
    UploadObserver& observer_;
    std::atomic<bool> abortFlag_{false};
    std::atomic<bool> stopStarting_{false};
    UploadWait shownWait_;  // as last reported
    int hosterIndex_ = 0;
    std::string fallbackId_;  // of a fallback the run can use; "" = none
    int imageCount_ = 0;
    int doneCount_ = 0;
    int remainingCount_ = 0;
    double remainingKB_ = 0;
    double speedKB_ = 0;
    std::optional<long long> remainingSeconds_;  // unknown until an image gave a rate
    std::chrono::steady_clock::time_point runStart_;
    int failedCount_ = 0;
    UploadTotals totals_;
    std::string totalsProblem_;
    // Totals the writer is still writing, oldest first.
    struct TotalsComing {
        std::future<TotalsUpdate> update;
        double fileBytes = 0;
        const RunSettings* settings = nullptr;
    };
    std::deque<TotalsComing> totalsComing_;
    std::unique_ptr<PreparedUpload> prepared_;  // buffers kept from image to image
    // Ends the run's waits when a picture is prepared or an answer read.
    WakeFd wake_;
    AnswerEvaluator evaluator_{wake_};
    std::vector<std::unique_ptr<StandardImage>> jobs_;  // in flight, oldest first
    // Those of jobs_ whose answers came in or whose jobs ended, in that order.
    std::deque<StandardImage*> ending_;
    std::unique_ptr<HistoryWriter> writer_;  // while the run has an open history
    // Successes whose entries are being written, reported once that is done.
    struct Recording {
        std::unique_ptr<StandardImage> image;
        std::future<SuccessWritten> written;
        StandardUploadResult result;  // what the row gets (a thumbnail's makes it linked)
        std::string note;             // after the word of success in the log
    };
    std::vector<Recording> recording_;
    // Pictures another run is sending, and until when each waits for it.
    std::vector<PreparedImage> waiting_;
    std::map<int, std::chrono::steady_clock::time_point> claimWaits_;
    int unrecorded_ = 0;
    Reason unrecordedReason_;                  // the first
    std::unique_ptr<ImagePreparer> preparer_;  // joined when the run ends
    // A classic row's next image, handed out once the current one's picture is taken, and
    // its picture when it got ready while another was awaited.
    struct Ahead {
        int position = 0;
        std::uint64_t ticket = 0;
        PrepareRequest request;
    };
    std::optional<Ahead> ahead_;
    // A classic row's success whose entry is being written while the next image goes out.
    struct Settling {
        std::span<ImageEntry> rows;
        const UploadRunOptions* options = nullptr;
        int position = 0;
        std::string code;
        double fileBytes = 0;
        bool spare = false;  // the line is written whole: a fallback was at hand
        std::string imageLine;
        Clock::time_point start;
        std::optional<std::future<SuccessWritten>> written;  // with a history
    };
    std::optional<Settling> settling_;
    std::optional<PreparedImage> early_;
    // When the last image ended; with several in flight an image's rate counts from here.
    std::chrono::steady_clock::time_point lastImageEnd_;
    // The wait the run is in.
    std::vector<pollfd>* waitsAt_ = nullptr;
    Clock::time_point deadline_ = Clock::time_point::max();
    std::coroutine_handle<> resumeAt_;
    RunStep<> body_;  // last, so its frame goes before what it uses
};

template <typename Task>
RunStep<bool> UploadRun::TurnOver(std::span<Task* const> tasks) {
    net::Turn<Task> turn;
    if (!net::BeginTurn(tasks, &abortFlag_, turn)) co_return false;
    co_await WaitFor(&turn.waits, turn.next);
    net::EndTurn(turn);
    co_return true;
}

// "HH:MM:SS" of a number of seconds (fractions cut off, negative counts as 0); hours beyond
// 23 keep counting ("25:00:00").
std::string SecondsToClock(double seconds);

// The percentage the progress bar shows: value clamped to minimum..maximum, then rounded
// half up to a whole percent of maximum; 100 when maximum is below 1.
int ProgressPercent(double value, double minimum, double maximum);

// The kB the list shows for all checked image rows, added up.
double TotalCheckedSize(std::span<const ImageEntry> rows);

// "12.5 KB": the remaining size as the upload panel shows it, with the user's decimal separator.
std::string FormatRemainingKB(double kb, std::string_view decimalSeparator = ".");

}  // namespace lumar
