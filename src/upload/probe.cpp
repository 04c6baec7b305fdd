#include "upload/probe.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "hosters/answer_code.h"
#include "hosters/json_ordered.h"
#include "net/task_loop.h"
#include "shell/file_io.h"
#include "shell/plain_text.h"
#include "shell/reason_text.h"
#include "shell/text_codec.h"
#include "upload/response_parser.h"
#include "upload/socket_layer.h"
#include "upload/upload_request.h"

namespace lumar {
namespace {

// Greyscale, one flat block: the smallest file every host's image check takes for a JPEG.
constexpr char kProbeJpeg[] =
    "\xFF\xD8\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x01\x00\x00\x01"
    "\x00\x01\x00\x00\xFF\xDB\x00\x43\x00\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\xFF\xC0\x00\x0B\x08\x00\x08"
    "\x00\x08\x01\x01\x11\x00\xFF\xC4\x00\x14\x00\x01\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xFF\xC4\x00\x14"
    "\x10\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00\x3F\xFF\xD9";

// Larger answers are shown as they came; pretty-printing them would only be cut off anyway.
constexpr size_t kMaxPrettyJsonBytes = 1 << 20;

// A folder of its own holding the generated image, removed with it.
class GeneratedImage {
  public:
    GeneratedImage() {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "lumar-probe-XXXXXX");
        if (error || ::mkdtemp(pattern.data()) == nullptr) return;
        folder_ = pattern;
        std::ofstream out(folder_ + "/probe.jpg", std::ios::binary);
        const std::string_view bytes = ProbeImageBytes();
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (out.flush()) path_ = folder_ + "/probe.jpg";
    }
    ~GeneratedImage() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    GeneratedImage(const GeneratedImage&) = delete;
    GeneratedImage& operator=(const GeneratedImage&) = delete;

    [[nodiscard]] const std::string& Path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
};

// In the host's own key order: that is how its documentation and its other answers show it.
std::string PrettyIfJson(const std::string& answer) {
    if (answer.size() > kMaxPrettyJsonBytes) return answer;
    return PrettyJsonInOrder(answer).value_or(answer);
}

// The first `limit` bytes, not ending inside a UTF-8 sequence.
std::string Head(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string CutFailure(CutProblem problem) {
    switch (problem) {
        case CutProblem::kEmpty:
            return "the code between the markers is empty";
        case CutProblem::kTooLong:
            return "the code between the markers is too long";
        default:
            return "the answer holds no code between the markers";
    }
}

std::string FailureText(const StandardUploadResult& upload, const std::string& path,
                        const HosterDef& row) {
    switch (upload.failure) {
        case StandardFailure::kNone:
            return "";
        case StandardFailure::kFileUnreadable:
            return "cannot read " + path + " (missing, empty or not a file)";
        case StandardFailure::kTooLarge:
            return "the file has " + std::to_string(upload.fileBytes) +
                   " bytes, more than the row's MaxFileSize of " + std::to_string(row.MaxBytes);
        case StandardFailure::kMissingKey:
            return "the row needs a key: " + upload.reason.Arg(0);
        case StandardFailure::kKeyRedirect:
            return "redirect to " + upload.reason.Arg(0) + " refused: the key would leave the host";
        case StandardFailure::kAnswer:
            if (upload.cut != CutProblem::kNone) return CutFailure(upload.cut);
            if (!upload.links.failure.empty()) return upload.links.failure;
            break;
        default:
            if (upload.reason.code == ReasonCode::kRequestTemplate) return upload.reason.Arg(0);
            break;
    }
    // The transport's and the answer's reasons in the built-in texts: a probe takes no language.
    const std::string text = ReasonText(upload.reason, LoadUiStrings("", ""));
    return text.empty() ? "the upload failed" : text;
}

// The row's ErrorMessage on an answer with a failure status, as the log's reason takes it.
std::string ErrorMessageOf(const HosterDef& row, const StandardUploadResult& upload,
                           const std::string& path) {
    if (upload.status < 400 || row.ErrorTemplate.empty()) return "";
    const AnswerFieldsParse fields = ParseAnswerFields("", "", "", row.ErrorTemplate);
    if (!fields.failure.empty()) return "(" + fields.failure + ")";
    const AnswerContext context{upload.status, upload.answer, upload.finalUrl, upload.headers,
                                path.substr(path.rfind('/') + 1)};
    const TextResult message = fields.fields.errorMessage.Evaluate(context);
    return message.Ok() ? message.text : "(" + message.failure + ")";
}

std::string SocketFailureText(SocketFailure failure, const std::string& host,
                              const UploadConnection& connection) {
    switch (failure) {
        case SocketFailure::kProxy:
            return ReasonText(connection.Why(), LoadUiStrings("", ""));
        case SocketFailure::kHostNotFound:
            return "no address for " + host;
        case SocketFailure::kSendFailed:
            return "the connection broke while sending";
        case SocketFailure::kTimeout:
            return "timed out";
        case SocketFailure::kCancelled:
            return "cancelled";
        default:
            return "could not connect to " + host;
    }
}

// The classic row's answer, as it came, its code cut between the markers.
void ReadClassicAnswer(const HosterDef& row, const ResponseCollector& answer, WaitEnd end,
                       ProbeResult& result) {
    // The old hosts may answer without a status line; the body is all there is then.
    result.statusLine = answer.Status() == 0 ? "(none)" : "HTTP " + std::to_string(answer.Status());
    if (!answer.StatusText().empty()) result.statusLine += " " + answer.StatusText();
    result.answerBytes = answer.Answer().size();
    result.answer = Head(answer.Answer(), kProbeAnswerBytes);
    result.answerCut = result.answer.size() < answer.Answer().size();
    if (end != WaitEnd::kClosed) {
        result.failure = end == WaitEnd::kTimeout ? "timed out" : "cancelled";
    } else if (answer.Status() >= 400) {
        result.failure = result.statusLine;
    } else if (const CodeCut cut = CutCode(answer.Answer(), row);
               cut.problem != CutProblem::kNone) {
        result.failure = CutFailure(cut.problem);
    } else {
        result.code = DecodeFileText(cut.code).text;
    }
}

void ReadStandardResult(const HosterDef& row, const StandardUploadResult& upload,
                        const std::string& path, ProbeResult& result) {
    result.requestHead = upload.requestHead;
    if (upload.status != 0) {
        result.statusLine = "HTTP " + std::to_string(upload.status);
        if (!upload.statusReason.empty()) result.statusLine += " " + upload.statusReason;
    }
    result.answerBytes = upload.answer.size();
    const std::string shown = PrettyIfJson(upload.answer);
    result.answer = Head(shown, kProbeAnswerBytes);
    result.answerCut = result.answer.size() < shown.size();
    result.url = upload.links.url;
    result.thumbnailUrl = upload.links.thumbnailUrl;
    result.deletionUrl = upload.links.deletionUrl;
    result.errorMessage = ErrorMessageOf(row, upload, path);
    result.code = upload.code;
    result.failure = FailureText(upload, path, row);
}

void AddBlock(std::string& out, const char* title, std::string text) {
    out += title;
    out += ":\n";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += "  " + Printable(line, true) + "\n";
        start = end + 1;
    }
}

void AddLine(std::string& out, const char* name, const std::string& value) {
    out += name;
    out += ": " + Printable(value) + "\n";
}

}  // namespace

std::string_view ProbeImageBytes() {
    return {kProbeJpeg, sizeof kProbeJpeg - 1};
}

// A classic row goes through its connection's steps in order; a standard row is one job.
struct ProbeTask::State {
    enum class Phase { kConnecting, kSending, kReceiving, kStandard, kDone };

    HosterDef row;
    StandardUploadOptions options;
    std::optional<GeneratedImage> generated;
    std::string path;
    ProbeResult result;
    Phase phase = Phase::kDone;
    CURL url;
    ClassicRoute route;
    PreparedUpload request;
    UploadConnection connection;
    std::optional<StandardUploadJob> job;

    void BeginClassic();
    void Advance();
    void Fail(SocketFailure failure) {
        result.failure = SocketFailureText(failure, route.shownHost, connection);
        phase = Phase::kDone;
    }
    // The exchange the task waits on now; none in the standard phase or once done.
    net::HttpExchange* Exchange() {
        return phase == Phase::kStandard || phase == Phase::kDone ? nullptr : connection.Exchange();
    }
};

void ProbeTask::State::BeginClassic() {
    url = UploadAddress(row);
    route = RouteClassic(options.transport, url, row.Port);
    const std::string& authorization =
        route.proxy.proxy ? route.proxy.proxy->authorization : std::string();
    switch (request.Prepare(row, url, path, nullptr, authorization)) {
        case RequestProblem::kNone:
            break;
        case RequestProblem::kFileUnreadable:
            result.failure = "cannot read " + path + " (missing, empty or not a file)";
            return;
        case RequestProblem::kBadForm:
            result.failure = "the row has repeated or unpaired form names";
            return;
    }
    connection.SetProxy(route.proxy);
    SocketFailure failure = SocketFailure::kNone;
    phase = Phase::kConnecting;
    if (!connection.BeginConnect(route.host, route.port,
                                 std::max(options.timeout, std::chrono::seconds(1)), &failure))
        return Fail(failure);
    Advance();
}

// Moves on through every step the exchange has already left.
void ProbeTask::State::Advance() {
    using ExchangeState = net::HttpExchange::State;
    SocketFailure failure = SocketFailure::kNone;
    const auto left = [this](ExchangeState state) {
        const net::HttpExchange* exchange = connection.Exchange();
        return !exchange || exchange->Finished() || exchange->GetState() > state;
    };
    if (phase == Phase::kConnecting && left(ExchangeState::kHandshake)) {
        if (!connection.ConnectEnded(&failure)) return Fail(failure);
        const std::string_view head = request.Pieces().front();
        result.requestHead = std::string(head.substr(0, head.find("\r\n\r\n") + 4));
        if (!connection.BeginSend(request.Pieces(), &failure)) return Fail(failure);
        phase = Phase::kSending;
    }
    if (phase == Phase::kSending && left(ExchangeState::kSend)) {
        if (connection.SendEnded(&failure) < 0) return Fail(failure);
        phase = Phase::kReceiving;
    }
    if (phase == Phase::kReceiving && left(ExchangeState::kReceive)) {
        ReadClassicAnswer(row, connection.Response(), connection.AnswerEnded(), result);
        phase = Phase::kDone;
    }
}

ProbeTask::ProbeTask(const HosterDef& row, const std::string& imagePath,
                     StandardUploadOptions options)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.row = row;
    s.options = std::move(options);
    if (imagePath.empty()) s.generated.emplace();
    s.path = s.generated ? s.generated->Path() : imagePath;
    if (s.path.empty()) {
        s.result.failure = "cannot write the generated image to the temporary folder";
        return;
    }
    s.result.cutByMarkers = row.Request == RequestKind::kClassic ||
                            (row.UrlTemplate.empty() && !row.StartMarker.empty());
    if (row.Request == RequestKind::kClassic) {
        s.BeginClassic();
        return;
    }
    s.job.emplace(row, s.path, ReadFileBytes(s.path).value_or(""), s.options);
    s.phase = State::Phase::kStandard;
    Step({});
}

ProbeTask::~ProbeTask() = default;

std::vector<pollfd> ProbeTask::Waits() const {
    State& s = *state_;
    if (s.job && !s.job->Finished() && s.job->Fd() >= 0) return {{s.job->Fd(), s.job->Events(), 0}};
    if (const net::HttpExchange* exchange = s.Exchange(); exchange && exchange->Fd() >= 0)
        return {{exchange->Fd(), exchange->Events(), 0}};
    return {};
}

std::chrono::steady_clock::time_point ProbeTask::Deadline() const {
    State& s = *state_;
    if (s.phase == State::Phase::kStandard) return s.job->Deadline();
    if (const net::HttpExchange* exchange = s.Exchange()) return exchange->Deadline();
    return std::chrono::steady_clock::time_point::max();
}

void ProbeTask::Step(std::span<const pollfd> ready) {
    State& s = *state_;
    const bool abort = s.options.control.abortFlag && s.options.control.abortFlag->load();
    const short revents = ready.empty() ? short(0) : ready.front().revents;
    const bool due = revents != 0 || std::chrono::steady_clock::now() >= Deadline();
    if (s.phase == State::Phase::kStandard) {
        StandardUploadJob& job = *s.job;
        if (abort) job.Cancel();
        if (job.Evaluating()) job.Collect();
        if (!job.Finished() && due) job.Step(revents);
        if (!job.Finished()) return;
        ReadStandardResult(s.row, job.Result(), s.path, s.result);
        s.phase = State::Phase::kDone;
    } else if (net::HttpExchange* exchange = s.Exchange()) {
        if (abort) exchange->Cancel();
        if (!exchange->Finished() && due) exchange->Step(revents);
        s.Advance();
    }
}

bool ProbeTask::Finished() const {
    return state_->phase == State::Phase::kDone;
}

const ProbeResult& ProbeTask::Result() const {
    return state_->result;
}

ProbeResult Probe(const HosterDef& row, const std::string& imagePath,
                  const StandardUploadOptions& options) {
    ProbeTask task(row, imagePath, options);
    // A wait of at most one slice, so a Ctrl+C's abort flag is seen within it.
    net::DriveToEnd(task, options.control.slice, [&] { Pump(options.control.pump); });
    return task.Result();
}

std::string ProbeReportText(const ProbeResult& result) {
    std::string out;
    if (!result.requestHead.empty()) AddBlock(out, "Request", result.requestHead);
    if (!result.statusLine.empty()) {
        AddLine(out, "Status", result.statusLine);
        std::string title = "Answer (" + std::to_string(result.answerBytes) + " bytes";
        if (result.answerCut) title += ", the start shown";
        title += ")";
        AddBlock(out, title.c_str(), result.answer);
        if (!result.cutByMarkers) {
            AddLine(out, "URL", result.url);
            AddLine(out, "ThumbnailURL", result.thumbnailUrl);
            AddLine(out, "DeletionURL", result.deletionUrl);
        }
        if (!result.errorMessage.empty()) AddLine(out, "ErrorMessage", result.errorMessage);
    }
    if (result.Ok())
        AddLine(out, "Code", result.code);
    else
        AddLine(out, "Failed", result.failure);
    return out;
}

}  // namespace lumar
