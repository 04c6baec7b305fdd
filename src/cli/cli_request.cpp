// lumar-cli request: the exact bytes an upload of one file would send, for checking a hoster
// row without a network.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/cli_command.h"
#include "cli/cli_upload_support.h"
#include "shell/config_paths.h"
#include "upload/hoster_table.h"
#include "upload/standard_upload.h"
#include "upload/upload_request.h"

namespace lumar::cli {
namespace {

int PrintStandardRequest(const HosterDef& row, const std::string& path) {
    const TextResult request = StandardRequestBytes(row, path);
    if (!request.Ok()) {
        std::cerr << "lumar-cli: " << request.failure << "\n";
        return 1;
    }
    std::fwrite(request.text.data(), 1, request.text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

constexpr const char* kRequestUsage =
    "request takes: --hoster N [--ca-file FILE] [--connect-to HOST:PORT:ADDR:PORT]... FILE";

int RunRequest(const Args& args) {
    std::string hosterText;
    std::string file;
    TransportOptions unused;  // taken as upload takes them; a request is not sent
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionTaken transport = TakeTransportOption(args, i, unused);
        if (transport == OptionTaken::Bad) return 2;
        if (transport == OptionTaken::Yes) continue;
        if (args[i] == "--hoster" && i + 1 < args.size()) {
            hosterText = args[++i];
        } else if (file.empty() && !args[i].empty() && args[i][0] != '-') {
            file = args[i];
        } else {
            return UsageError(kRequestUsage);
        }
    }
    if (hosterText.empty() || file.empty()) return UsageError(kRequestUsage);
    const HosterTable table = LoadCliHosters();
    const int hoster = ParseHosterNumber(hosterText, table);
    if (hoster < 1)
        return UsageError("--hoster takes a row number from 1 to " + std::to_string(table.Count()) +
                          " or a row ID");

    const std::string path = AbsolutePath(file);
    if (table.Row(hoster).Request == RequestKind::Standard)
        return PrintStandardRequest(table.Row(hoster), path);
    UploadRequest request;
    switch (BuildUploadRequest(table.Row(hoster), path, request)) {
        case RequestProblem::None:
            break;
        case RequestProblem::FileUnreadable:
            std::cerr << "lumar-cli: cannot read " << path << " (missing, empty or not a file)\n";
            return 1;
        case RequestProblem::BadForm:
            std::cerr << "lumar-cli: hoster " << hoster << " has repeated or unpaired form names\n";
            return 1;
    }
    std::fwrite(request.bytes.data(), 1, request.bytes.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace lumar::cli
