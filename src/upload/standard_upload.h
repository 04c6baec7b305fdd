#pragma once
// One image to a standard row: the request today's hosts expect (HTTP/1.1, TLS, redirects,
// proxies, multipart or raw body), sent and read to the image's code. The run uses it for
// every image of a standard row; a check of a row can use it for a single file.
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "net/exchange_runner.h"
#include "upload/answer_code.h"
#include "upload/hoster_table.h"
#include "upload/response_parser.h"
#include "upload/transport_options.h"

namespace lumar {

struct StandardUploadOptions {
    TransportOptions transport;
    std::chrono::seconds timeout{120};  // for connecting, and for each stall after that
    net::RunControl control;            // the front end's pump and the abort flag
};

enum class StandardFailure {
    None,
    FileUnreadable,  // missing, unreadable or empty
    TooLarge,        // larger than the row's MaxBytes; nothing was sent
    MissingKey,      // the row needs a key the user has not filled in; `reason` names it
    BadRequest,      // the row's request cannot be built (a bad URL, header or proxy)
    Exchange,        // no answer: the connection, TLS, the proxy or a redirect failed
    Cancelled,
    Answer,  // an answer, but an error status or no code in it
};

struct StandardUploadResult {
    StandardFailure failure = StandardFailure::None;
    std::string reason;  // why it failed, for the log ("certificate has expired", ...)
    CutProblem cut = CutProblem::None;  // why the markers gave no code, when they were used
    std::string code;                   // the image's forum code, on success
    AnswerLinks links;                  // as the row's templates read them (none for a marker cut)
    std::string finalUrl;               // where the answer came from, after redirects
    int status = 0;
    std::string statusReason;                                  // the words after the status number
    std::vector<std::pair<std::string, std::string>> headers;  // of the answer
    std::string answer;                                        // the answer's body
    std::string requestHead;  // the head of the first request, as sent; empty when none was
    std::uint64_t fileBytes = 0;
};

StandardUploadResult UploadStandard(const HosterDef& row, const std::string& path,
                                    const StandardUploadOptions& options);

// The request head and body as an upload of `path` to the row would send them (the boundary
// of this build), or the reason it cannot be built.
TextResult StandardRequestBytes(const HosterDef& row, const std::string& path);

}  // namespace lumar
