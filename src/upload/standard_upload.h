#pragma once
// One image to a standard row: the request today's hosts expect (HTTP/1.1, TLS, redirects,
// proxies, multipart or raw body), sent and read to the image's code. The run keeps several
// StandardUploadJobs in flight on its one poll loop; a check of a row uses UploadStandard for
// a single file.
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hosters/answer_code.h"
#include "hosters/hoster_table.h"
#include "net/exchange_runner.h"
#include "shell/loop_task.h"
#include "shell/outcome.h"
#include "upload/response_parser.h"
#include "upload/transport_options.h"
#include "upload/upload_wait.h"

namespace lumar {

class AnswerEvaluator;

struct StandardUploadOptions {
    TransportOptions transport;
    std::chrono::seconds timeout{120};  // for connecting, and for each stall after that
    net::RunControl control;            // the front end's pump and the abort flag (UploadStandard)
    // Transient failures (see IsTransient) are tried again up to `retries` times, after
    // retryBaseDelay, then twice as long each time, or what the host's Retry-After asks for,
    // at most retryWaitLimit.
    int retries = 0;
    std::chrono::milliseconds retryBaseDelay{1000};
    std::chrono::milliseconds retryWaitLimit{30000};
    // What the person answered to the row's questions ({inputbox}, {select}) for this run.
    PromptAnswers answers;
    // Reads the answer to the code on its thread, while the job waits (Evaluating); none: on
    // the thread that drives the job. It must outlive the job.
    AnswerEvaluator* evaluator = nullptr;
};

enum class StandardFailure {
    kNone,
    kFileUnreadable,  // missing, unreadable or empty
    kTooLarge,        // larger than the row's MaxBytes; nothing was sent
    kMissingKey,      // the row needs a key the user has not filled in; `reason` names it
    kBadRequest,      // the row's request cannot be built (a bad URL, header or proxy)
    kExchange,        // no answer: the connection, TLS, the proxy or a redirect failed
    kKeyRedirect,     // a redirect to another host not followed, to keep the row's key; `reason`
                      // names that host
    kCancelled,
    kAnswer,  // an answer, but an error status or no code in it
};

struct StandardUploadResult {
    StandardFailure failure = StandardFailure::kNone;
    Reason reason;  // why it failed, complete for the log: worded where it is shown
    CutProblem cut = CutProblem::kNone;  // why the markers gave no code, when they were used
    std::string code;                    // the image's forum code, on success
    AnswerLinks links;                   // as the row's templates read them (none for a marker cut)
    std::string finalUrl;                // where the answer came from, after redirects
    int status = 0;
    std::string statusReason;                                  // the words after the status number
    std::vector<std::pair<std::string, std::string>> headers;  // of the answer
    std::string answer;                                        // the answer's body
    std::string requestHead;  // the head of the first request, as sent; empty when none was
    std::vector<std::string> outputs;  // what the row's {outputbox} calls gave, to show the user
    std::uint64_t fileBytes = 0;
};

// One image's upload as a task of a poll loop (see net::PollTurn): the exchange with its
// redirects, the waits before retries, and the code read from the final answer. It is never
// moved once made, since the request refers to the bytes it holds.
class StandardUploadJob {
  public:
    // `bytes` is what is sent for the file at `path` (its name goes into the form). A request
    // that cannot be made finishes the job at once.
    StandardUploadJob(HosterDef row, std::string path, std::string bytes,
                      StandardUploadOptions options);
    ~StandardUploadJob();
    StandardUploadJob(const StandardUploadJob&) = delete;
    StandardUploadJob& operator=(const StandardUploadJob&) = delete;

    [[nodiscard]] bool Finished() const { return phase_ == Phase::kDone; }
    // The answer is in and being read on the evaluator's thread: no fd, no deadline, and
    // Cancel() leaves it to end. Collect() ends the job once the evaluator has signalled.
    [[nodiscard]] bool Evaluating() const { return phase_ == Phase::kEvaluating; }
    void Collect();
    [[nodiscard]] int Fd() const;
    [[nodiscard]] short Events() const;
    [[nodiscard]] std::chrono::steady_clock::time_point Deadline() const;
    void Step(short revents);
    void Cancel();
    // No further try: a pause before one ends the job with the failure that asked for it.
    void StopRetrying();
    // The host's answer to the request that went out, or the pause before the next try.
    [[nodiscard]] UploadWait Wait() const;

    [[nodiscard]] int Attempts() const { return attempts_; }  // requests begun, retries included
    [[nodiscard]] const std::string& Path() const { return path_; }
    [[nodiscard]] const HosterDef& Row() const { return row_; }
    // Complete once Finished().
    [[nodiscard]] const StandardUploadResult& Result() const { return result_; }
    // The bytes the job was given, handed back once it finished (for another row to send).
    std::string TakeBytes();

  private:
    struct Request;
    enum class Phase { kExchange, kWaiting, kEvaluating, kDone };
    void StartAttempt();
    void OnExchangeEnd();
    // Notes when the request is out and the answer is awaited.
    void NoteReceiving();

    HosterDef row_;
    std::string path_;
    StandardUploadOptions options_;
    std::unique_ptr<Request> request_;
    Phase phase_ = Phase::kDone;
    std::chrono::steady_clock::time_point waitUntil_;
    bool receiving_ = false;
    std::chrono::steady_clock::time_point receivingSince_;
    int attempts_ = 0;
    StandardUploadResult result_;  // written by the evaluator's thread while Evaluating
    std::future<void> evaluated_;
};

// Whether a linked thumbnail of this row needs a thumbnail Lumar makes: a standard row that
// reads the picture's address from the answer (not a whole code between markers), with the
// linked-thumbnail code style and no ThumbnailURL.
bool RowLacksThumbnails(const HosterDef& row);

StandardUploadResult UploadStandard(const HosterDef& row, const std::string& path,
                                    const StandardUploadOptions& options);

// A GET of a deletion link a host gave for one of its uploads, redirects followed, with the
// proxy and time-out of `options`, as a task of its front end's loop; a set abort flag of
// `options.control` cancels it at its next step. Result(), once finished: done only when the
// host answered 2xx with an answer that matches `confirm` (the row's DeletionConfirm); else its
// status, why no answer came, or that the answer does not confirm the deletion.
class DeletionTask final : public LoopTask {
  public:
    DeletionTask(const std::string& url, std::string confirm, StandardUploadOptions options);
    DeletionTask(const DeletionTask&) = delete;
    DeletionTask& operator=(const DeletionTask&) = delete;

    [[nodiscard]] std::vector<pollfd> Waits() const override;
    [[nodiscard]] std::chrono::steady_clock::time_point Deadline() const override;
    void Step(std::span<const pollfd> ready) override;
    [[nodiscard]] bool Finished() const override;
    [[nodiscard]] Status Result() const;

  private:
    std::string confirm_;
    StandardUploadOptions options_;
    net::Environment environment_;
    std::optional<net::HttpUrl> first_;
    std::optional<net::FollowingExchange> following_;
    Status refused_;  // why a link that is no HTTP address was not asked for
};

// A DeletionTask driven to its end on a poll loop of its own, the pump of `options` between
// its steps (lumar-cli).
Status RequestDeletion(const std::string& url, const std::string& confirm,
                       const StandardUploadOptions& options);

// Whether trying again may help: no connection, a reset or time-out, or HTTP 408, 429, 500,
// 502, 503 or 504. A certificate, a redirect, another status or an answer without a code
// will not change.
bool IsTransient(const net::HttpExchange& last, const std::optional<Reason>& redirectError);

// How long Retry-After asks to wait ("120" or an HTTP date), from `now`; nullopt when absent
// or unreadable.
std::optional<std::chrono::milliseconds> RetryAfter(const net::HttpResponseReader& answer,
                                                    std::chrono::system_clock::time_point now);

// The request head and body as an upload of `path` to the row would send them (the boundary
// of this build), or the reason it cannot be built.
TextResult StandardRequestBytes(const HosterDef& row, const std::string& path,
                                const PromptAnswers& answers = {});

}  // namespace lumar
