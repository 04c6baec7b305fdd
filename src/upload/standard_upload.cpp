#include "upload/standard_upload.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <utility>

#include "hosters/hoster_definition.h"
#include "hosters/key_names.h"
#include "hosters/request_template.h"
#include "imagelist/image_info.h"
#include "net/http_url.h"
#include "net/task_loop.h"
#include "shell/file_io.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "shell/text_codec.h"
#include "upload/answer_evaluator.h"
#include "upload/response_parser.h"

namespace lumar {
namespace {

// The type the host is told, from the bytes themselves: a file's name proves nothing.
std::string ContentTypeOf(std::string_view bytes) {
    const auto starts = [&](std::string_view magic, size_t at = 0) {
        return bytes.size() >= at + magic.size() && bytes.substr(at, magic.size()) == magic;
    };
    if (starts("\xFF\xD8\xFF")) return "image/jpeg";
    if (starts("\x89PNG\r\n\x1A\n")) return "image/png";
    if (starts("GIF87a") || starts("GIF89a")) return "image/gif";
    if (starts("RIFF") && starts("WEBP", 8)) return "image/webp";
    return "application/octet-stream";
}

// Query parameters travel percent-encoded; the table holds them as plain text.
std::string QueryEncoded(std::string_view text) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

// The file and the request made of it. The body refers to the file's bytes, so the two stay
// together in one place and are never moved.
struct PreparedRequest {
    std::string file;
    std::optional<net::RequestBody> body;
    net::ExchangeRequest request;
};

// The file's size rounded up and the limit rounded down, so the one shown is always the larger.
std::string KiloBytesUp(std::uint64_t bytes) {
    return std::to_string((bytes + 1023) / 1024);
}

// Fills `out`; returns the failure and sets `reason` when the request cannot be made.
StandardFailure Prepare(const HosterDef& definedRow, const std::string& path, std::string file,
                        const PromptAnswers& answers, PreparedRequest& out, Reason& reason) {
    if (file.empty()) {
        reason = {ReasonCode::kFileUnreadable, {path}};
        return StandardFailure::kFileUnreadable;
    }
    out.file = std::move(file);
    if (definedRow.MaxBytes != 0 && out.file.size() > definedRow.MaxBytes) {
        reason = {ReasonCode::kTooLargeForHost,
                  {KiloBytesUp(out.file.size()), std::to_string(definedRow.MaxBytes / 1024)}};
        return StandardFailure::kTooLarge;
    }
    // A request without its key can only fail at the host; say which key is missing instead.
    if (std::string key = MissingKey(definedRow); !key.empty()) {
        reason = {ReasonCode::kMissingKey, {std::move(key)}};
        return StandardFailure::kMissingKey;
    }
    RequestImage image{path.substr(path.rfind('/') + 1), 0, 0, &answers};
    if (definedRow.RequestTemplates) {
        const ImageInfo info = ReadImageInfoFromBytes(out.file);
        image.width = info.Width;
        image.height = info.Height;
    }
    const RequestTemplatesResult evaluated = EvaluateRequestTemplates(definedRow, image);
    if (!evaluated.failure.empty()) {
        reason = {ReasonCode::kRequestTemplate, {evaluated.failure}};
        return StandardFailure::kBadRequest;
    }
    const HosterDef& row = evaluated.row;

    Outcome<net::HttpUrl> url = net::ParseHttpUrl(row.UploadUrl);
    if (!url) {
        reason = url.Why();
        return StandardFailure::kBadRequest;
    }
    for (const auto& [name, value] : row.Parameters) {
        url->target += url->target.find('?') == std::string::npos ? '?' : '&';
        url->target += QueryEncoded(name) + "=" + QueryEncoded(value);
    }
    Outcome<net::RequestBody> body = Reason(ReasonCode::kNoBoundary);
    if (row.Body == BodyKind::kBinary) {
        body = net::BuildRawBody(out.file, ContentTypeOf(out.file));
    } else {
        std::vector<net::FormField> fields;
        for (const FormField& f : FormFields(row)) fields.push_back({f.name, f.value});
        for (const auto& [name, value] : row.Arguments) fields.push_back({name, value});
        body = net::BuildMultipartBody(fields,
                                       {{row.FileField, path, ContentTypeOf(out.file), out.file}});
    }
    if (!body) {
        reason = body.Why();
        return StandardFailure::kBadRequest;
    }
    out.body = std::move(body).Value();
    out.request.method = row.Method;
    out.request.url = std::move(url).Value();
    out.request.headers = row.Headers;
    out.request.body = &*out.body;
    out.request.carriesKey = RowSendsKey(row);
    return StandardFailure::kNone;
}

net::ExchangeOptions OptionsFor(const net::HttpUrl& url, const net::HttpUrl& first,
                                const HosterDef& row, const StandardUploadOptions& options,
                                const net::Environment& environment) {
    net::ExchangeOptions out;
    out.caFile = options.transport.caFile.empty() ? row.CaFile : options.transport.caFile;
    net::ProxyChoice proxy = net::ChooseProxy(url, options.transport.proxy, environment);
    out.proxy = std::move(proxy.proxy);
    // A redirect target may need a proxy of its own that the first URL did not.
    out.proxyError = std::move(proxy.error);
    if (const ConnectTo* to = options.transport.Redirection(url.host, url.port)) {
        out.connectHost = to->address;
        out.connectPort = to->addressPort;
    } else if (url.host == first.host && url.port == first.port) {
        // The row's ConnectHost stands for the host of its own URL, not for where it redirects.
        out.connectHost = row.ConnectHost;
    }
    const auto timeout = std::max(options.timeout, std::chrono::seconds(1));
    out.connectTimeout = timeout;
    out.idleTimeout = timeout;
    return out;
}

// "500 Internal Server Error": the status and the words after it.
std::string StatusText(const net::HttpResponseReader& answer) {
    std::string text = std::to_string(answer.Status());
    if (!answer.Reason().empty()) text += " " + answer.Reason();
    return text;
}

// An answer with a status that failed the upload: the status, and what the host says about it.
Reason StatusReason(const net::HttpResponseReader& answer, const AnswerFields& fields,
                    const AnswerContext& context) {
    const TextResult message = fields.errorMessage.Evaluate(context);
    return {ReasonCode::kHttpStatus,
            {StatusText(answer), message.Ok() ? message.text.substr(0, 200) : std::string()}};
}

// The code of a complete answer, into `result`.
void ReadCode(const HosterDef& row, const std::string& path, const net::HttpResponseReader& answer,
              const PromptAnswers& answers, StandardUploadResult& result) {
    result.status = answer.Status();
    result.statusReason = answer.Reason();
    result.headers = answer.Headers();
    result.answer = answer.Body();
    AnswerContext context{answer.Status(), answer.Body(), result.finalUrl, answer.Headers(),
                          path.substr(path.rfind('/') + 1)};
    context.answers = &answers;
    context.outputs = &result.outputs;
    const AnswerFieldsParse fields = ParseAnswerFields(row.UrlTemplate, row.ThumbnailTemplate,
                                                       row.DeletionTemplate, row.ErrorTemplate);
    result.failure = StandardFailure::kAnswer;
    if (answer.Status() >= 400) {
        result.reason = StatusReason(answer, fields.fields, context);
        return;
    }
    if (row.UrlTemplate.empty() && !row.StartMarker.empty()) {
        const CodeCut cut = CutCode(answer.Body(), row);
        result.cut = cut.problem;
        if (cut.problem != CutProblem::kNone) {
            result.reason = cut.problem == CutProblem::kEmpty     ? ReasonCode::kEmptyCode
                            : cut.problem == CutProblem::kTooLong ? ReasonCode::kCodeTooLong
                                                                  : ReasonCode::kNoCode;
            return;
        }
        result.code = DecodeFileText(cut.code).text;
    } else {
        // Read once: a template may draw a random name, and the code must show the same links.
        result.links = ReadAnswerLinks(fields.fields, context);
        if (const std::optional<RefusedLink>& refused = result.links.refused) {
            result.reason = {ReasonCode::kNotWebLink, {refused->field, refused->link}};
            return;
        }
        if (!result.links.failure.empty()) {
            result.reason = result.links.noUrl
                                ? Reason(ReasonCode::kNoUrlInAnswer)
                                : Reason(ReasonCode::kAnswerTemplate, {result.links.failure});
            return;
        }
        result.code = CodeFromLinks(result.links, row.Style);
    }
    result.failure = StandardFailure::kNone;
}

Outcome<std::string> HeadOf(const PreparedRequest& prepared) {
    net::RequestHeadParts parts;
    parts.method = prepared.request.method;
    parts.target = prepared.request.url.target;
    parts.hostHeader = prepared.request.url.HostHeader();
    parts.body = prepared.request.body;
    parts.extraHeaders = prepared.request.headers;
    return net::BuildRequestHead(parts);
}

}  // namespace

struct StandardUploadJob::Request {
    PreparedRequest prepared;
    net::Environment environment;
    std::vector<std::string> secrets;
    std::unique_ptr<net::FollowingExchange> exchange;
};

StandardUploadJob::StandardUploadJob(HosterDef row, std::string path, std::string bytes,
                                     StandardUploadOptions options)
    : row_(std::move(row)),
      path_(std::move(path)),
      options_(std::move(options)),
      request_(std::make_unique<Request>()) {
    result_.fileBytes = bytes.size();
    result_.failure = Prepare(row_, path_, std::move(bytes), options_.answers, request_->prepared,
                              result_.reason);
    if (result_.failure != StandardFailure::kNone) return;
    const net::ExchangeRequest& request = request_->prepared.request;
    request_->environment = options_.transport.environment.value_or(net::ProcessEnvironment());
    const net::ProxyChoice proxy =
        net::ChooseProxy(request.url, options_.transport.proxy, request_->environment);
    if (proxy.error) {
        result_.failure = StandardFailure::kBadRequest;
        result_.reason = *proxy.error;
        return;
    }
    for (const auto& header : row_.Headers) request_->secrets.push_back(header.first);
    // Built from the same body, so it shows the boundary that goes out.
    if (Outcome<std::string> head = HeadOf(request_->prepared); head)
        result_.requestHead = std::move(head).Value();
    StartAttempt();
}

// The evaluator reads into this job's members: they stay until it is done.
StandardUploadJob::~StandardUploadJob() {
    if (evaluated_.valid()) evaluated_.wait();
}

void StandardUploadJob::StartAttempt() {
    ++attempts_;
    phase_ = Phase::kExchange;
    receiving_ = false;
    const net::HttpUrl first = request_->prepared.request.url;
    request_->exchange = std::make_unique<net::FollowingExchange>(
        request_->prepared.request,
        [this, first](const net::HttpUrl& url) {
            return OptionsFor(url, first, row_, options_, request_->environment);
        },
        request_->secrets);
    if (request_->exchange->Finished()) OnExchangeEnd();
}

int StandardUploadJob::Fd() const {
    return phase_ == Phase::kExchange ? request_->exchange->Fd() : -1;
}

short StandardUploadJob::Events() const {
    return phase_ == Phase::kExchange ? request_->exchange->Events() : 0;
}

std::chrono::steady_clock::time_point StandardUploadJob::Deadline() const {
    if (phase_ == Phase::kEvaluating) return std::chrono::steady_clock::time_point::max();
    return phase_ == Phase::kExchange ? request_->exchange->Deadline() : waitUntil_;
}

void StandardUploadJob::Step(short revents) {
    if (phase_ == Phase::kWaiting) {
        if (std::chrono::steady_clock::now() >= waitUntil_) StartAttempt();
        return;
    }
    if (phase_ != Phase::kExchange) return;
    request_->exchange->Step(revents);
    NoteReceiving();
    if (request_->exchange->Finished()) OnExchangeEnd();
}

void StandardUploadJob::NoteReceiving() {
    // A redirect starts another exchange, which sends before it receives again.
    const bool receiving =
        request_->exchange->Last().GetState() == net::HttpExchange::State::kReceive;
    if (receiving && !receiving_) receivingSince_ = std::chrono::steady_clock::now();
    receiving_ = receiving;
}

void StandardUploadJob::StopRetrying() {
    options_.retries = 0;
    if (phase_ == Phase::kWaiting) OnExchangeEnd();
}

UploadWait StandardUploadJob::Wait() const {
    if (phase_ == Phase::kWaiting)
        return {UploadWait::Kind::kRetry, request_->prepared.request.url.host, waitUntil_,
                attempts_ + 1};
    if (phase_ == Phase::kExchange && receiving_)
        return {UploadWait::Kind::kAnswer, request_->exchange->Last().Request().url.host,
                receivingSince_, 0};
    return {};
}

void StandardUploadJob::Cancel() {
    if (phase_ == Phase::kExchange) {
        request_->exchange->Cancel();
        OnExchangeEnd();
    } else if (phase_ == Phase::kWaiting) {
        result_.failure = StandardFailure::kCancelled;
        result_.reason = ReasonCode::kCancelled;
        phase_ = Phase::kDone;
    }
}

void StandardUploadJob::OnExchangeEnd() {
    const net::FollowingExchange& exchange = *request_->exchange;
    const net::HttpExchange& last = exchange.Last();
    const bool cancelled = last.Error() == net::ExchangeError::kCancelled;
    if (!cancelled && attempts_ <= options_.retries && IsTransient(last, exchange.Error())) {
        auto wait = options_.retryBaseDelay * (1 << std::min(attempts_ - 1, 16));
        if (last.GetState() == net::HttpExchange::State::kDone)
            wait = RetryAfter(last.Response(), std::chrono::system_clock::now()).value_or(wait);
        waitUntil_ = std::chrono::steady_clock::now() + std::min(wait, options_.retryWaitLimit);
        phase_ = Phase::kWaiting;
        return;
    }
    result_.finalUrl = last.Request().url.ToString();
    phase_ = Phase::kDone;
    if (!exchange.KeyRefusedHost().empty()) {
        result_.failure = StandardFailure::kKeyRedirect;
        result_.reason = {ReasonCode::kKeyRedirect, {exchange.KeyRefusedHost()}};
        return;
    }
    if (last.GetState() != net::HttpExchange::State::kDone || exchange.Error()) {
        result_.failure = cancelled ? StandardFailure::kCancelled : StandardFailure::kExchange;
        result_.reason = exchange.Error() ? *exchange.Error() : last.Reason();
        return;
    }
    if (!options_.evaluator)
        return ReadCode(row_, path_, last.Response(), options_.answers, result_);
    // Nothing else touches the answer, the row or the result until Collect() sees it done.
    phase_ = Phase::kEvaluating;
    evaluated_ = options_.evaluator->Read(
        [this, &last] { ReadCode(row_, path_, last.Response(), options_.answers, result_); });
}

void StandardUploadJob::Collect() {
    if (phase_ != Phase::kEvaluating ||
        evaluated_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    evaluated_.get();
    phase_ = Phase::kDone;
}

std::string StandardUploadJob::TakeBytes() {
    return phase_ == Phase::kDone ? std::move(request_->prepared.file) : std::string();
}

bool RowLacksThumbnails(const HosterDef& row) {
    const bool cutsCodes = row.UrlTemplate.empty() && !row.StartMarker.empty();
    return row.Request == RequestKind::kStandard && !cutsCodes && row.ThumbnailTemplate.empty() &&
           row.Style == CodeStyle::kLinkedThumbnail;
}

StandardUploadResult UploadStandard(const HosterDef& row, const std::string& path,
                                    const StandardUploadOptions& options) {
    StandardUploadJob job(row, path, ReadFileBytes(path).value_or(""), options);
    net::RunToEnd(job, options.control);
    return job.Result();
}

DeletionTask::DeletionTask(const std::string& url, std::string confirm,
                           StandardUploadOptions options)
    : confirm_(std::move(confirm)),
      options_(std::move(options)),
      environment_(options_.transport.environment.value_or(net::ProcessEnvironment())) {
    Outcome<net::HttpUrl> parsed = net::ParseHttpUrl(url);
    if (!parsed) {
        refused_ = parsed.Why();
        return;
    }
    first_ = parsed.Value();
    net::ExchangeRequest request;
    request.url = std::move(parsed).Value();
    // No row: the link is the host's own, reached as the user's proxy setting says.
    following_.emplace(std::move(request), [this](const net::HttpUrl& target) {
        static const HosterDef kNoRow;
        return OptionsFor(target, *first_, kNoRow, options_, environment_);
    });
}

std::vector<pollfd> DeletionTask::Waits() const {
    if (Finished() || following_->Fd() < 0) return {};
    return {{following_->Fd(), following_->Events(), 0}};
}

std::chrono::steady_clock::time_point DeletionTask::Deadline() const {
    return Finished() ? std::chrono::steady_clock::time_point::max() : following_->Deadline();
}

void DeletionTask::Step(std::span<const pollfd> ready) {
    if (Finished()) return;
    if (options_.control.abortFlag && options_.control.abortFlag->load()) {
        following_->Cancel();
        return;
    }
    const short revents = ready.empty() ? short(0) : ready.front().revents;
    if (revents != 0 || std::chrono::steady_clock::now() >= following_->Deadline())
        following_->Step(revents);
}

bool DeletionTask::Finished() const {
    return !following_ || following_->Finished();
}

Status DeletionTask::Result() const {
    if (!following_) return refused_;
    if (following_->Error()) return *following_->Error();
    const net::HttpExchange& last = following_->Last();
    if (last.GetState() != net::HttpExchange::State::kDone) return last.Reason();
    const int status = last.Response().Status();
    if (status < 200 || status >= 300)
        return Reason(ReasonCode::kHttpStatus, {StatusText(last.Response())});
    // A page with a confirm step answers 200 as well: only the row's pattern tells a deletion.
    if (!DeletionConfirmed(confirm_, last.Response().Body()))
        return Reason(ReasonCode::kDeletionUnconfirmed);
    return {};
}

Status RequestDeletion(const std::string& url, const std::string& confirm,
                       const StandardUploadOptions& options) {
    DeletionTask task(url, confirm, options);
    // A wait of at most one slice, so a Ctrl+C's abort flag is seen within it.
    net::DriveToEnd(task, options.control.slice, [&] { Pump(options.control.pump); });
    return task.Result();
}

bool IsTransient(const net::HttpExchange& last, const std::optional<Reason>& redirectError) {
    if (redirectError) return false;
    if (last.GetState() == net::HttpExchange::State::kDone) {
        const int status = last.Response().Status();
        return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 ||
               status == 504;
    }
    switch (last.Error()) {
        case net::ExchangeError::kConnectFailed:
        case net::ExchangeError::kSendFailed:
        case net::ExchangeError::kTimeout:
            return true;
        case net::ExchangeError::kBadAnswer:
            // Closed or reset before a status line came: the host dropped the request.
            return last.Response().Status() == 0;
        default:
            return false;
    }
}

std::optional<std::chrono::milliseconds> RetryAfter(const net::HttpResponseReader& answer,
                                                    std::chrono::system_clock::time_point now) {
    const std::optional<std::string> value = answer.Header("Retry-After");
    if (!value) return std::nullopt;
    long long seconds = 0;
    if (ParseInteger(*value, seconds)) {
        if (seconds < 0) return std::nullopt;
        return std::chrono::seconds(std::min(seconds, 86400LL));
    }
    std::tm date{};
    const char* end = ::strptime(value->c_str(), "%a, %d %b %Y %H:%M:%S GMT", &date);
    if (!end || *end != '\0') return std::nullopt;
    const auto at = std::chrono::system_clock::from_time_t(::timegm(&date));
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(at - now),
                    std::chrono::milliseconds(0));
}

TextResult StandardRequestBytes(const HosterDef& row, const std::string& path,
                                const PromptAnswers& answers) {
    PreparedRequest prepared;
    Reason reason;
    switch (Prepare(row, path, ReadFileBytes(path).value_or(""), answers, prepared, reason)) {
        case StandardFailure::kNone:
            break;
        case StandardFailure::kFileUnreadable:
            return TextResult::Failure("cannot read " + path);
        case StandardFailure::kTooLarge:
            return TextResult::Failure("the file is larger than the row's MaxFileSize");
        case StandardFailure::kMissingKey:
            return TextResult::Failure("the row needs a key: " + reason.Arg(0));
        default:
            return TextResult::Failure(ReasonText(reason, LoadUiStrings("", "")));
    }
    Outcome<std::string> head = HeadOf(prepared);
    if (!head) return TextResult::Failure(ReasonText(head.Why(), LoadUiStrings("", "")));
    std::string bytes = std::move(head).Value();
    for (std::string_view piece : prepared.body->Pieces()) bytes += piece;
    return TextResult::Text(std::move(bytes));
}

}  // namespace lumar
