// lumar-cli request: the exact bytes an upload of one file would send, for checking a hoster
// row without a network.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/cli_command.h"
#include "cli/cli_upload_support.h"
#include "hosters/hoster_table.h"
#include "shell/config_paths.h"
#include "upload/standard_upload.h"
#include "upload/upload_request.h"

namespace lumar::cli {
namespace {

int PrintStandardRequest(const HosterDef& row, const std::string& path,
                         const PromptAnswers& answers) {
    const TextResult request = StandardRequestBytes(row, path, answers);
    if (!request.Ok()) {
        std::cerr << "lumar-cli: " << request.failure << "\n";
        return 1;
    }
    std::fwrite(request.text.data(), 1, request.text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

const std::string kRequestUsage = CommandUsage("request");
int RunRequest(const Args& args) {
    TransportOptions unused;  // taken as upload takes them; a request is not sent
    RowAndFile chosen;
    if (const int usage = ParseRowAndFile(args, kRequestUsage.c_str(), true, unused, chosen))
        return usage;
    const HosterTable& table = chosen.table;
    const int hoster = chosen.hoster;
    const std::string path = AbsolutePath(chosen.file);
    if (table.Row(hoster).Request == RequestKind::kStandard)
        return PrintStandardRequest(table.Row(hoster), path, chosen.answers);
    UploadRequest request;
    switch (BuildUploadRequest(table.Row(hoster), path, request)) {
        case RequestProblem::kNone:
            break;
        case RequestProblem::kFileUnreadable:
            std::cerr << "lumar-cli: cannot read " << path << " (missing, empty or not a file)\n";
            return 1;
        case RequestProblem::kBadForm:
            std::cerr << "lumar-cli: hoster " << hoster << " has repeated or unpaired form names\n";
            return 1;
    }
    std::fwrite(request.bytes.data(), 1, request.bytes.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace lumar::cli
