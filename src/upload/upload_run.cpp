#include "upload/upload_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <utility>

#include "hosters/hoster_accepts.h"
#include "hosters/hoster_rows.h"
#include "imagelist/image_info.h"
#include "imagelist/row_text.h"
#include "net/task_loop.h"
#include "shell/file_io.h"
#include "shell/number_text.h"
#include "shell/plain_text.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/text_codec.h"
#include "upload/response_parser.h"
#include "upload/socket_layer.h"
#include "upload/standard_upload.h"
#include "upload/upload_request.h"
#include "upload/url.h"

namespace lumar {

const std::string_view kNotAllUploadedText =
    "Es wurden nicht alle Bilder erfolgreich hochgeladen....\r\n\r\n"
    "Du kannst diese nachträglich hochladen ohne den Code der bisher hochgeladenen Bildern "
    "zuverlieren. Schliesse dazu das Codefenster und starte den Upload erneut !";

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMegabyte = 1024 * 1024;  // Bilder/MaxFileMB's unit

// Status texts end in a blank in the language file, but the lookup drops trailing blanks;
// put one back so the host name does not stick to the word before it.
std::string JoinWords(const std::string& text, const std::string& word) {
    if (text.empty() || text.back() == ' ') return text + word;
    return text + " " + word;
}

// The message in the interface's language; a table that was never loaded gives the German.
std::string NotAllUploadedText(const UiStrings& strings) {
    const std::string& first = strings.Get(kStrNotAllUploaded);
    if (first.empty()) return std::string(kNotAllUploadedText);
    return first + "\r\n\r\n" + strings.Get(kStrNotAllUploadedHint);
}

std::string NotAllUploadedTitle(const UiStrings& strings) {
    const std::string& title = strings.Get(kStrNotAllUploadedTitle);
    return title.empty() ? std::string(kNotAllUploadedTitle) : WithVersion(title);
}

// `host` and `port` are what the connection went to (a proxy, when there was one).
Reason ReasonFor(SocketFailure failure, const std::string& host, int port,
                 const UploadConnection& connection) {
    switch (failure) {
        case SocketFailure::kProxy:
            return connection.Why();
        case SocketFailure::kHostNotFound:
            return {ReasonCode::kHostNotFound, {host}};
        case SocketFailure::kSendFailed:
            return {ReasonCode::kSendFailed, {host}};
        case SocketFailure::kTimeout:
            return {ReasonCode::kTimeout, {host}};
        case SocketFailure::kCancelled:
            return ReasonCode::kCancelled;
        case SocketFailure::kConnectFailed:
        case SocketFailure::kNone:
            break;
    }
    return {ReasonCode::kConnectFailed, {host, std::to_string(port)}};
}

}  // namespace

int OwnThumbSide(const std::string& settingsFile, std::optional<bool> ownThumbs) {
    if (!ownThumbs.value_or(ReadIntSetting(settingsFile, keys::OwnThumbs) == 1)) return 0;
    return ReadIntSetting(settingsFile, keys::ThumbSize);
}

Outcome<int> FallbackRow(const HosterTable& hosters, const std::string& id, int chosen) {
    const int row = FindHosterRow(hosters, id);
    if (row < 1) return Reason(ReasonCode::kFallbackUnknown, {id});
    const HosterDef& fallback = hosters.Row(row);
    if (row == chosen) return Reason(ReasonCode::kFallbackIsChosen, {fallback.Name});
    if (fallback.Request != RequestKind::kStandard)
        return Reason(ReasonCode::kFallbackClassic, {fallback.Name});
    return row;
}

std::string SecondsToClock(double seconds) {
    if (!(seconds > 0)) seconds = 0;
    const long long total = static_cast<long long>(std::floor(std::min(seconds, 9.0e15)));
    const long long hours = total / 3600;
    const long long minutes = (total / 60) % 60;
    const long long secs = total % 60;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", hours, minutes, secs);
    return text;
}

int ProgressPercent(double value, double minimum, double maximum) {
    if (value < minimum) value = minimum;
    if (value > maximum) value = maximum;
    if (!(maximum >= 1)) return 100;
    return static_cast<int>(std::floor(value / maximum * 100 + 0.5));
}

double TotalCheckedSize(std::span<const ImageEntry> rows) {
    double total = 0;
    for (const ImageEntry& row : rows) {
        if (row.IsImageToUpload()) total += Kilobytes(row.bytes);
    }
    return total;
}

std::string FormatRemainingKB(double kb, std::string_view decimalSeparator) {
    return FormatFixed(kb, 1, decimalSeparator) + " KB";
}

UploadRun::UploadRun(const HosterTable& hosters, const UiStrings& strings, UploadObserver& observer)
    : hosters_(hosters),
      strings_(strings),
      observer_(observer),
      prepared_(std::make_unique<PreparedUpload>()) {}

UploadRun::~UploadRun() = default;

void UploadRun::Run(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    Start(rows, options);
    // lumar-cli's slice: a Ctrl+C just before a wait is seen within it.
    net::DriveToEnd(*this, std::chrono::milliseconds(200));
}

void UploadRun::Start(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    body_ = Body(rows, options);
    body_.Begin();
}

std::vector<pollfd> UploadRun::Waits() const {
    std::vector<pollfd> waits;
    if (Finished()) return waits;
    if (waitsAt_) waits = *waitsAt_;
    if (wake_.Fd() >= 0) waits.push_back({wake_.Fd(), POLLIN, 0});
    return waits;
}

void UploadRun::Step(std::span<const pollfd> ready) {
    if (Finished() || !resumeAt_) return;
    // The writer wakes the loop when it has written an image's totals, whatever the run waits for.
    ShowWrittenTotals();
    if (waitsAt_)
        for (const pollfd& one : ready)
            for (pollfd& wait : *waitsAt_)
                if (wait.fd == one.fd && wait.fd >= 0) wait.revents = one.revents;
    std::exchange(resumeAt_, {}).resume();
}

UploadRun::Pause UploadRun::WaitFor(std::vector<pollfd>* waits, Clock::time_point deadline) {
    waitsAt_ = waits;
    // Without an eventfd nothing would end a wait for the workers: look again now and then.
    if (wake_.Fd() < 0) deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(20));
    deadline_ = deadline;
    return Pause{*this};
}

RunStep<> UploadRun::DriveWhile(net::HttpExchange& exchange, net::HttpExchange::State state) {
    net::HttpExchange* const one[] = {&exchange};
    // The states come in the order an exchange goes through them.
    while (!exchange.Finished() && exchange.GetState() <= state) {
        const bool waited = co_await TurnOver(std::span<net::HttpExchange* const>(one));
        if (!waited) break;
    }
}

RunStep<> UploadRun::Body(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    ResetFor(rows, options);
    if (hosters_.Row(hosterIndex_).Request == RequestKind::kStandard)
        co_await RunStandard(rows, options);
    else
        co_await RunClassic(rows, options);
    co_await AwaitTotals();
    deadline_ = Clock::time_point::max();
    writer_.reset();
    // Said again where the run ends, so it is not lost among the images' lines.
    if (unrecorded_ > 0)
        Log(ReplaceAll(
                ReplaceAll(strings_.Get(kStrNotInHistoryEnd), "%1", std::to_string(unrecorded_)),
                "%2", ReasonText(unrecordedReason_, strings_)),
            true);
    ReportFigures();
    Finish(rows, options);
}

RunStep<> UploadRun::RunClassic(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    for (size_t index = 0; index < rows.size(); ++index) {
        const ImageEntry& row = rows[index];
        if (!row.IsImageToUpload()) continue;
        if (!MayStartImage()) break;
        ReportFigures();
        observer_.CurrentFile(row.FullPath());
        const int position = static_cast<int>(index) + 1;
        // The table may be reloaded between the run's steps; a row that turned standard on the
        // way takes its images one at a time as well.
        if (hosters_.Row(hosterIndex_).Request == RequestKind::kStandard) {
            co_await Settle();
            co_await UploadStandardAlone(rows, position, options);
            continue;
        }
        const Clock::time_point imageStart = Clock::now();
        std::optional<Reason> handOver;
        // A success is told by the next image's upload once its request is out, or below.
        const bool succeeded = co_await UploadImage(rows, position, options, handOver, imageStart);
        if (handOver)
            co_await UploadToFallback(rows, position, *handOver, imageStart, options);
        else if (!succeeded)
            ImageEnded(row, false, true, imageStart);
        if (!MayStartImage()) break;
    }
    co_await Settle();
    // The picture made ahead for a turn that does not come is dropped with the preparer.
    if (preparer_) preparer_->DropPending();
    ahead_.reset();
    early_.reset();
}

void UploadRun::ImageEnded(const ImageEntry& row, bool succeeded, bool uploaded,
                           Clock::time_point imageStart) {
    if (!succeeded) ++failedCount_;
    ++doneCount_;
    observer_.Progress(doneCount_, imageCount_);
    if (abortFlag_.load()) return;
    if (uploaded) {
        CountImageDone(row, std::max(imageStart, lastImageEnd_));
    } else {
        --remainingCount_;
        remainingKB_ -= Kilobytes(row.bytes);
    }
    lastImageEnd_ = Clock::now();
    ReportFigures();
}

void UploadRun::ResetFor(std::span<const ImageEntry> rows, const UploadRunOptions& options) {
    runStart_ = Clock::now();
    hosterIndex_ = options.hosterIndex;
    totals_ = options.shownTotals;
    totalsProblem_.clear();
    outputs_.clear();
    imageCount_ = static_cast<int>(std::ranges::count_if(rows, &ImageEntry::IsImageToUpload));
    observer_.RunStarted(imageCount_);
    observer_.Progress(0, imageCount_);
    if (!options.historySetAside.empty())
        Log(ReplaceAll(strings_.Get(kStrHistoryReplaced), "%1", options.historySetAside), true);
    fallbackId_.clear();
    if (!options.fallbackId.empty()) {
        const Outcome<int> fallback = FallbackRow(hosters_, options.fallbackId, hosterIndex_);
        if (fallback)
            fallbackId_ = options.fallbackId;
        else
            Log(ReasonText(fallback.Why(), strings_), true);
    }
    unrecorded_ = 0;
    unrecordedReason_ = {};
    recording_.clear();
    totalsComing_.clear();
    waiting_.clear();
    claimWaits_.clear();
    writer_.reset();
    if (HistoryOpen(options))
        writer_ = std::make_unique<HistoryWriter>(*options.history, &wake_);
    else if (options.history)
        Log(ReasonText(options.history->Problem(), strings_), true);

    abortFlag_.store(false);
    stopStarting_.store(false);
    shownWait_ = {};
    doneCount_ = 0;
    failedCount_ = 0;
    remainingCount_ = imageCount_;
    remainingKB_ = TotalCheckedSize(rows);
    speedKB_ = 0;
    remainingSeconds_.reset();
    lastImageEnd_ = runStart_;
}

void UploadRun::ReportFigures() {
    observer_.Figures({remainingCount_, remainingKB_, runStart_, remainingSeconds_});
}

// The image is off the list of what is left; its size and time give the rate and the estimate.
void UploadRun::CountImageDone(const ImageEntry& row,
                               std::chrono::steady_clock::time_point imageStart) {
    --remainingCount_;
    const double kb = Kilobytes(row.bytes);
    remainingKB_ -= kb;
    const double seconds = std::chrono::duration<double>(Clock::now() - imageStart).count();
    if (seconds <= 0) return;
    // kB per second to one decimal, as the rate is shown.
    const double rate = std::floor(kb * 1024 / seconds) / 1024;
    speedKB_ = std::round(rate * 10) / 10;
    if (speedKB_ > 0) remainingSeconds_ = static_cast<long long>(remainingKB_ / speedKB_);
}

void UploadRun::Finish(std::span<ImageEntry> rows, const UploadRunOptions& options) {
    observer_.CollectPosting(rows);
    observer_.RunFinished();
    if (std::ranges::any_of(rows, &ImageEntry::IsImageToUpload))
        observer_.ShowMessage(NotAllUploadedTitle(strings_), NotAllUploadedText(strings_));
    observer_.FinishPosting(rows);

    if (!options.settings) {
        observer_.BringToFront();
        return;
    }
    const std::string sound = options.settings->Text(keys::Soundfile);
    if (options.settings->Int(keys::SoundAn) == 1 && !sound.empty()) observer_.PlaySound(sound);
    if (options.settings->Int(keys::Form) == 1) observer_.BringToFront();
}

void UploadRun::Log(const std::string& text, bool lineEnd) {
    // What a host said goes into the log, and a host may say megabytes.
    constexpr size_t kMaxLogBytes = 1024;
    observer_.AppendLog(Shortened(Printable(text), kMaxLogBytes), lineEnd);
}

int UploadRun::TimeoutSeconds(const UploadRunOptions& options) const {
    // Read anew for every image, so a change in the options dialog applies to the next one.
    if (options.timeoutSeconds) return ClampTimeoutSeconds(*options.timeoutSeconds);
    return SettingsOf(options).TimeoutSeconds();
}

PrepareRequest UploadRun::RequestFor(const UploadRunOptions& options, bool hash, int thumbSide,
                                     std::optional<std::uint64_t> maxBytes) const {
    PrepareRequest request;
    request.processing = options.processing;
    request.hash = hash;
    request.thumbSide = thumbSide;
    request.maxBytes =
        maxBytes ? *maxBytes
                 : static_cast<std::uint64_t>(SettingsOf(options).Int(keys::MaxFileMB)) * kMegabyte;
    const HosterDef& hoster = hosters_.Row(hosterIndex_);
    request.acceptedTypes = 0;
    for (ImageType type : {ImageType::kJpeg, ImageType::kPng, ImageType::kGif, ImageType::kWebP})
        if (RowAccepts(hoster, type)) request.acceptedTypes |= ImageTypeBit(type);
    // A classic request's fixed boundary is looked for on the worker, where the bytes are at
    // hand, not on the loop just before they go out.
    if (hoster.Request != RequestKind::kStandard) request.boundary = kDefaultMimeBoundary;
    return request;
}

UploadRun::Verdict UploadRun::Judge(const PreparedImage& picture, bool missingFails) const {
    const HosterDef& hoster = hosters_.Row(hosterIndex_);
    if (picture.read == PictureRead::kMissing && missingFails)
        return {Admission::kRefuse, {ReasonCode::kFileMissing, {picture.path}}, false};
    // A picture the row does not take stays checked, so it can go to another host afterwards.
    // An unreadable file fails on the way as before.
    if (picture.type != ImageType::kNone && !RowAccepts(hoster, picture.type)) {
        const Reason reason =
            RowTakesJpegOnly(hoster)
                ? Reason(ReasonCode::kSkippedJpegOnly)
                : Reason(ReasonCode::kSkippedType, {std::string(ImageTypeName(picture.type))});
        return {Admission::kRefuse, reason, true};
    }
    if (picture.read == PictureRead::kTypeRefused) return {Admission::kPrepareAgain, {}, false};
    if (picture.read != PictureRead::kTooLarge) return {};
    const std::uint64_t capMB = picture.request.maxBytes / kMegabyte;
    const Reason reason(
        ReasonCode::kPictureTooLarge,
        {std::to_string((picture.fileBytes + kMegabyte - 1) / kMegabyte), std::to_string(capMB)});
    return {Admission::kRefuse, reason, false};
}

UploadRun::Admission UploadRun::Tell(const PreparedImage& picture, const Verdict& verdict) {
    if (verdict.admission != Admission::kRefuse) return verdict.admission;
    const std::string line = strings_.Get(kStrUploadOf) + " " + picture.path + "...";
    if (verdict.passedOver) {
        // Not a failure of the image: the log says why it was passed over, the row keeps the
        // reason.
        Log(line + ReasonText(verdict.reason, strings_), true);
        observer_.ImageFailed(picture.position, verdict.reason);
    } else {
        Log(line + Failed(picture.position, verdict.reason), true);
    }
    return Admission::kRefuse;
}

std::string UploadRun::Failed(int position, const Reason& reason) {
    observer_.ImageFailed(position, reason);
    return strings_.Get(kStrFailed) + " (" + ReasonText(reason, strings_) + ")";
}

void UploadRun::ReportWait(const UploadWait& wait) {
    if (wait == shownWait_) return;
    shownWait_ = wait;
    observer_.Waiting(wait);
}

RunStep<bool> UploadRun::UploadImage(std::span<ImageEntry> rows, int position,
                                     const UploadRunOptions& options,
                                     std::optional<Reason>& handOver, Clock::time_point start) {
    const HosterDef& hoster = hosters_.Row(hosterIndex_);
    const std::string path = rows[static_cast<size_t>(position - 1)].FullPath();
    const std::string imageLine = strings_.Get(kStrUploadOf) + " " + path + "...";
    const bool history = HistoryOpen(options);
    // A file gone since it was added fails where it is read, with the line a classic row has
    // always logged for it.
    std::optional<PreparedImage> picture =
        co_await PrepareAdmitted(position, path, options, history, 0, false);
    if (!picture) co_return false;
    // The next picture is made while this one is sent and answered: made any later, the
    // preparer's read and hash of it outlast a fast host's answer.
    PrepareAhead(rows, position, options);
    auto failed = [&](const Reason& reason) { return Failed(position, reason); };
    // Looked at again when the image fails: the table may be reloaded between the steps.
    const ImageType type = picture->type;
    auto spared = [&] {
        const HosterDef* fallback = Fallback();
        return fallback && RowAccepts(*fallback, type);
    };
    // With a fallback at hand the image's line is written whole once it ends, on whichever row.
    const bool spare = spared();
    auto fail = [&](const std::string& lead, const Reason& reason) {
        if (spare && spared() && reason.code != ReasonCode::kCancelled && MayStartImage())
            handOver = reason;
        else
            Log(lead + failed(reason), true);
        return false;
    };
    if (picture->processed.error && options.processing.Changes()) {
        co_await Settle();
        Log(imageLine + failed(*picture->processed.error), true);
        co_return false;
    }
    CURL url = UploadAddress(hoster);
    const std::string host = url.Host();
    const ClassicRoute route = RouteClassic(options.transport, url, hoster.Port);

    const std::chrono::seconds timeout(TimeoutSeconds(options));
    auto reasonFor = [&](SocketFailure failure, const UploadConnection& connection) {
        return ReasonFor(failure, route.shownHost, route.shownPort, connection);
    };

    observer_.StatusLine(JoinWords(strings_.Get(kStrConnectingTo), host));
    UploadConnection connection;
    connection.SetProxy(route.proxy);
    SocketFailure failure = SocketFailure::kNone;
    bool connected = connection.BeginConnect(route.host, route.port, timeout, &failure);
    if (connected) {
        co_await DriveWhile(*connection.Exchange(), net::HttpExchange::State::kHandshake);
        connected = connection.ConnectEnded(&failure);
    }
    if (!connected) {
        co_await Settle();
        co_return fail(JoinWords(strings_.Get(kStrConnectionTo), host) + " ",
                       reasonFor(failure, connection));
    }

    const std::string& authorization =
        route.proxy.proxy ? route.proxy.proxy->authorization : std::string();
    const RequestProblem problem = prepared_->Prepare(hoster, url, path, &picture->processed.bytes,
                                                      authorization, picture->holdsBoundary);
    if (problem != RequestProblem::kNone) co_await Settle();
    switch (problem) {
        case RequestProblem::kNone:
            break;
        case RequestProblem::kFileUnreadable:
            Log(imageLine + failed({ReasonCode::kFileUnreadable, {path}}), true);
            co_return false;
        case RequestProblem::kBadForm:
            observer_.ImageFailed(position, Reason());
            Log(imageLine + strings_.Get(kStrFailed), true);
            co_return false;
    }
    const size_t fileBytes = prepared_->FileBytes();

    observer_.StatusLine(strings_.Get(kStrSendingRequest));
    long long sent = -1;
    if (connection.BeginSend(prepared_->Pieces(), &failure)) {
        co_await DriveWhile(*connection.Exchange(), net::HttpExchange::State::kSend);
        sent = connection.SendEnded(&failure);
    }
    prepared_->Release();
    // The host works on this picture while the one before is told.
    co_await Settle();
    if (sent < 0) co_return fail(imageLine, reasonFor(failure, connection));
    const std::string lead = spare ? imageLine : "";
    if (!spare) Log(imageLine, false);

    observer_.StatusLine(strings_.Get(kStrWaitingFor) + " " + host + "... ");
    ReportWait({UploadWait::Kind::kAnswer, host, Clock::now()});
    if (connection.Exchange())
        co_await DriveWhile(*connection.Exchange(), net::HttpExchange::State::kReceive);
    const WaitEnd end = connection.AnswerEnded();
    ReportWait({});
    observer_.StatusLine(JoinWords(strings_.Get(kStrAnswerFrom), host) +
                         strings_.Get(kStrReceived));

    // An error page may well hold the start marker; it carries no code all the same.
    const ResponseCollector& answer = connection.Response();
    if (answer.Status() >= 400) {
        const std::string text = answer.StatusText().empty() ? "" : " " + answer.StatusText();
        co_return fail(lead, {ReasonCode::kHttpStatus, {std::to_string(answer.Status()) + text}});
    }
    CodeCut cut = CutCode(answer.Answer(), hoster);
    if (cut.problem != CutProblem::kNone) {
        const Reason reason = cut.problem == CutProblem::kEmpty     ? ReasonCode::kEmptyCode
                              : cut.problem == CutProblem::kTooLong ? ReasonCode::kCodeTooLong
                              : end == WaitEnd::kTimeout   ? Reason(ReasonCode::kTimeout, {host})
                              : end == WaitEnd::kCancelled ? ReasonCode::kCancelled
                                                           : ReasonCode::kNoCode;
        co_return fail(lead, reason);
    }
    Settling done{.rows = rows,
                  .options = &options,
                  .position = position,
                  .code = DecodeFileText(cut.code).text,
                  .fileBytes = static_cast<double>(fileBytes),
                  .spare = spare,
                  .imageLine = imageLine,
                  .start = start,
                  .written = {}};
    if (options.history) {
        const ImageEntry& row = rows[static_cast<size_t>(position - 1)];
        HistoryEntry entry;
        entry.originalSha256 = std::move(picture->originalSha256);
        entry.sentSha256 = std::move(picture->sentSha256);
        entry.filePath = path;
        entry.fileBytes = row.bytes;
        entry.width = row.width;
        entry.height = row.height;
        entry.code = done.code;
        done.written = Record(std::move(entry), hoster, options, done.fileBytes);
    }
    settling_ = std::move(done);
    co_return true;
}

RunStep<> UploadRun::Settle() {
    if (!settling_) co_return;
    Settling done = std::move(*settling_);
    settling_.reset();
    SuccessWritten written;
    if (done.written) {
        // The window keeps answering while a locked file makes the write wait.
        while (done.written->wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            co_await WaitFor(nullptr, Clock::time_point::max());
        written = done.written->get();
    }
    const std::string note = done.written ? RecordNote(written.entry) : "";
    if (done.spare) Log(done.imageLine, false);
    Succeeded(done.rows, done.position, std::move(done.code), done.fileBytes, *done.options, note,
              std::move(written.totals));
    ImageEnded(done.rows[static_cast<size_t>(done.position - 1)], true, true, done.start);
}

RunStep<> UploadRun::UploadStandardAlone(std::span<ImageEntry> rows, int position,
                                         const UploadRunOptions& options) {
    ImageEntry& row = rows[static_cast<size_t>(position - 1)];
    const bool hash = HistoryOpen(options);
    std::optional<PreparedImage> prepared = co_await PrepareAdmitted(
        position, row.FullPath(), options, hash, ThumbSideNeeded(options), true);
    if (!prepared) {
        ImageEnded(row, false, false, Clock::now());
        co_return;
    }
    StartStandardImage(rows, std::move(*prepared), options);
    while (!jobs_.empty() || !recording_.empty() || !waiting_.empty())
        co_await DriveJobs(rows, options);
}

RunStep<> UploadRun::UploadToFallback(std::span<ImageEntry> rows, int position, Reason why,
                                      Clock::time_point start, const UploadRunOptions& options) {
    ImageEntry& row = rows[static_cast<size_t>(position - 1)];
    auto image = std::make_unique<StandardImage>();
    image->position = position;
    image->path = row.FullPath();
    image->start = start;  // the image's time is both rows' time
    image->chosenFailure.emplace(hosters_.Row(hosterIndex_).Name, ReasonText(why, strings_));
    // Copied before the first wait, as the table may be reloaded meanwhile.
    const HosterDef fallback = *Fallback();
    const int thumbSide = ThumbSideNeeded(options);
    const bool hash = HistoryOpen(options);
    observer_.StatusLine(strings_.Get(kStrSendingRequest));
    PrepareRequest request = RequestFor(options, hash, thumbSide);
    request.acceptedTypes = kAllImageTypes;  // the fallback row was asked before the hand-over
    PreparedImage prepared = co_await PrepareNow(position, image->path, request);
    ProcessedImage& processed = prepared.processed;
    if (processed.error && options.processing.Changes()) {
        Log(strings_.Get(kStrUploadOf) + " " + image->path + "..." +
                Failed(position, *processed.error),
            true);
        ImageEnded(row, false, true, start);
        co_return;
    }
    if (hash && !processed.bytes.empty()) {
        image->sentSha256 = std::move(prepared.sentSha256);
        image->originalSha256 = std::move(prepared.originalSha256);
        image->width = processed.width ? processed.width : row.width;
        image->height = processed.height ? processed.height : row.height;
    }
    image->thumbnail = std::move(prepared.thumbnail);
    image->job = std::make_unique<StandardUploadJob>(
        fallback, image->path, std::move(processed.bytes), JobOptions(fallback, options));
    Launch(rows, std::move(image), options);
    while (!jobs_.empty() || !recording_.empty()) co_await DriveJobs(rows, options);
}

RunStep<std::optional<PreparedImage>> UploadRun::PrepareAdmitted(int position,
                                                                 const std::string& path,
                                                                 const UploadRunOptions& options,
                                                                 bool hash, int thumbSide,
                                                                 bool missingFails) {
    // A picture made ahead keeps the cap read when it was handed out: reading it again for its
    // turn would parse the settings file, written once more since, a second time per image.
    const bool madeAhead = ahead_ && ahead_->position == position;
    PrepareRequest request =
        RequestFor(options, hash, thumbSide,
                   madeAhead ? std::optional(ahead_->request.maxBytes) : std::nullopt);
    PreparedImage picture = co_await PrepareNow(position, path, request);
    Verdict verdict = Judge(picture, missingFails);
    if (verdict.admission == Admission::kPrepareAgain) {
        request.acceptedTypes = kAllImageTypes;
        picture = co_await PrepareNow(position, path, request);
        verdict = Judge(picture, missingFails);
    }
    // A refusal is logged after the image before it is told.
    if (verdict.admission == Admission::kRefuse) co_await Settle();
    if (Tell(picture, verdict) != Admission::kTake) co_return std::nullopt;
    co_return std::move(picture);
}

RunStep<PreparedImage> UploadRun::PrepareNow(int position, const std::string& path,
                                             const PrepareRequest& request) {
    ImagePreparer& preparer = ClassicPreparer();
    const bool madeAhead =
        ahead_ && ahead_->position == position && ahead_->request.SameAs(request);
    const std::uint64_t ticket = madeAhead ? ahead_->ticket : preparer.Add(position, path, request);
    if (madeAhead) ahead_.reset();
    for (;;) {
        std::optional<PreparedImage> ready;
        if (early_ && early_->ticket == ticket)
            ready = std::exchange(early_, std::nullopt);
        else
            ready = preparer.TakeReady();
        if (!ready) {
            co_await WaitFor(nullptr, Clock::time_point::max());
            continue;
        }
        if (ready->ticket == ticket) co_return std::move(*ready);
        // Made ahead for a turn still to come: kept for it. Anything else was made for a turn
        // that went another way.
        if (ahead_ && ready->ticket == ahead_->ticket) early_ = std::move(ready);
    }
}

ImagePreparer& UploadRun::ClassicPreparer() {
    // One thread: a classic row sends one picture at a time and prepares the next.
    if (!preparer_) preparer_ = std::make_unique<ImagePreparer>(1, &wake_);
    return *preparer_;
}

void UploadRun::PrepareAhead(std::span<const ImageEntry> rows, int position,
                             const UploadRunOptions& options) {
    for (size_t index = static_cast<size_t>(position); index < rows.size(); ++index) {
        if (!rows[index].IsImageToUpload()) continue;
        Ahead next;
        next.position = static_cast<int>(index) + 1;
        next.request = RequestFor(options, HistoryOpen(options), 0);
        next.ticket = ClassicPreparer().Add(next.position, rows[index].FullPath(), next.request);
        ahead_ = next;
        early_.reset();
        return;
    }
}

std::future<SuccessWritten> UploadRun::Record(HistoryEntry entry, const HosterDef& hoster,
                                              const UploadRunOptions& options, double fileBytes) {
    entry.uploadedAt = static_cast<std::int64_t>(std::time(nullptr));
    entry.hosterId = hoster.Id;
    entry.hosterName = hoster.Name;
    entry.uploadUrl = hoster.UploadUrl;
    entry.processing = options.processing.Key();
    entry.reuseKey = ReuseKey(hoster);
    entry.deletionConfirm = hoster.DeletionConfirm;
    if (writer_) return writer_->Write(std::move(entry), options.settings, fileBytes);
    std::promise<SuccessWritten> failed;
    failed.set_value({options.history->Problem(), std::nullopt});
    return failed.get_future();
}

std::string UploadRun::RecordNote(const Status& recorded) {
    if (recorded) return "";
    // The code is good and goes into the posting; what is lost is a later reuse, and a run
    // after this one would send the picture again.
    if (unrecorded_++ == 0) unrecordedReason_ = recorded.Why();
    return " (" + strings_.Get(kStrNotInHistory) + ": " + ReasonText(recorded.Why(), strings_) +
           ")";
}

void UploadRun::Succeeded(std::span<ImageEntry> rows, int position, std::string code,
                          double fileBytes, const UploadRunOptions& options,
                          const std::string& note,
                          std::optional<std::future<TotalsUpdate>> coming) {
    ImageEntry& row = rows[static_cast<size_t>(position - 1)];
    row.upload = std::move(code);
    Log(strings_.Get(kStrSucceeded) + note, true);
    row.checked = false;
    observer_.RowChanged(position);
    if (!options.settings) return;
    if (!coming) {
        ShowTotals(options.settings->AddUpload(totals_, fileBytes), fileBytes, *options.settings);
        return;
    }
    totalsComing_.push_back({std::move(*coming), fileBytes, options.settings});
    ShowWrittenTotals();
}

void UploadRun::ShowTotals(TotalsUpdate update, double fileBytes, const RunSettings& settings) {
    // The writer's thread did not know the totals on display.
    if (!update.problem.empty()) update.totals = OneMoreUpload(totals_, fileBytes);
    totals_ = update.totals;
    if (!update.problem.empty() && totalsProblem_.empty()) {
        totalsProblem_ = update.problem;
        observer_.TotalsNotSaved(settings.Place(), update.problem);
    }
    observer_.StatsChanged(totals_.files, totals_.bytes);
}

void UploadRun::ShowWrittenTotals() {
    while (!totalsComing_.empty()) {
        TotalsComing& oldest = totalsComing_.front();
        if (oldest.update.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
        TotalsComing written = std::move(oldest);
        totalsComing_.pop_front();
        ShowTotals(written.update.get(), written.fileBytes, *written.settings);
    }
}

RunStep<> UploadRun::AwaitTotals() {
    for (ShowWrittenTotals(); !totalsComing_.empty(); ShowWrittenTotals())
        co_await WaitFor(nullptr, Clock::time_point::max());
}

}  // namespace lumar
