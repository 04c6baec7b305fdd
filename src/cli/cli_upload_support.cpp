#include "cli/cli_upload_support.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <iostream>
#include <optional>

#include "hosters/hoster_rows.h"
#include "hosters/request_template.h"
#include "session/session.h"
#include "shell/config_paths.h"
#include "shell/settings_keys.h"

namespace lumar::cli {
namespace {

std::atomic<bool>* g_interruptFlag = nullptr;

extern "C" void OnInterrupt(int) {
    if (g_interruptFlag) g_interruptFlag->store(true);
}

}  // namespace

InterruptToFlag::InterruptToFlag(std::atomic<bool>& flag) {
    g_interruptFlag = &flag;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
}

InterruptToFlag::~InterruptToFlag() {
    sigaction(SIGINT, &previous_, nullptr);
    g_interruptFlag = nullptr;
}

HosterTable LoadCliHosters() {
    HosterTable table = LoadHosterRows(ConfigFolder(), DataFolder());
    PrintHosterProblems(table);
    return table;
}

int ParseHosterNumber(const std::string& text, const HosterTable& table) {
    return HosterRowFromText(table, text);
}

void PrintHosterProblems(const HosterTable& table) {
    for (const std::string& problem : table.problems) std::cerr << "lumar-cli: " << problem << "\n";
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    std::string folder = cwd;
    if (folder.empty() || folder.back() != '/') folder += '/';
    std::string rest = path;
    while (rest.rfind("./", 0) == 0) rest = rest.substr(2);
    return folder + rest;
}

OptionTaken TakeTransportOption(const Args& args, size_t& i, TransportOptions& out) {
    const std::string& name = args[i];
    if (name != "--ca-file" && name != "--connect-to") return OptionTaken::kNo;
    if (i + 1 >= args.size()) {
        UsageError(name + " needs a value");
        return OptionTaken::kBad;
    }
    const std::string& value = args[++i];
    if (name == "--ca-file") {
        out.caFile = AbsolutePath(value);
        return OptionTaken::kYes;
    }
    std::optional<ConnectTo> to = ParseConnectTo(value);
    if (!to) {
        UsageError("--connect-to takes HOST:PORT:ADDR:PORT");
        return OptionTaken::kBad;
    }
    out.connectTo.push_back(std::move(*to));
    return OptionTaken::kYes;
}

OptionTaken TakeProcessingOption(const Args& args, size_t& i, ProcessingChoice& out) {
    const std::string& name = args[i];
    if (name == "--strip" || name == "--no-strip") {
        out.strip = name == "--strip";
        return OptionTaken::kYes;
    }
    const bool size = name == "--max-size";
    if (!size && name != "--quality") return OptionTaken::kNo;
    long long value = 0;
    // A longest side of 0 keeps the size, as in the options dialog.
    const long long min = size ? 0 : 1, max = size ? 65535 : 100;
    if (i + 1 >= args.size() || !ParseInteger(args[i + 1], value) || value < min || value > max) {
        UsageError(name + (size ? " takes pixels from 0 to 65535" : " takes 1 to 100"));
        return OptionTaken::kBad;
    }
    ++i;
    (size ? out.maxSide : out.quality) = static_cast<int>(value);
    return OptionTaken::kYes;
}

OptionTaken TakePostingOption(const Args& args, size_t& i, PostingChoice& out) {
    const std::string& name = args[i];
    if (name == "--html" || name == "--markdown") {
        out.format = name == "--html" ? PostingFormat::kHtml : PostingFormat::kMarkdown;
        return OptionTaken::kYes;
    }
    if (name == "--center" || name == "--no-center") {
        out.center = name == "--center";
        return OptionTaken::kYes;
    }
    const bool split = name == "--split";
    if (!split && name != "--part") return OptionTaken::kNo;
    long long value = 0;
    if (i + 1 >= args.size() || !ParseInteger(args[i + 1], value) || value < 1 || value > 32767) {
        UsageError(split ? "--split takes a number of images from 1"
                         : "--part takes a part number from 1");
        return OptionTaken::kBad;
    }
    ++i;
    (split ? out.split : out.part) = static_cast<int>(value);
    return OptionTaken::kYes;
}

std::optional<PostingOptions> PostingOptionsFor(const PostingChoice& choice,
                                                const std::string& settingsFile) {
    PostingOptions posting = PostingOptionsFromSettings(settingsFile, choice);
    if (choice.part && !posting.split) {
        UsageError("--part needs --split");
        return std::nullopt;
    }
    return posting;
}

OptionTaken TakeInputOption(const Args& args, size_t& i, PromptAnswers& answers) {
    if (args[i] != "--input") return OptionTaken::kNo;
    const size_t equals = i + 1 < args.size() ? args[i + 1].find('=') : std::string::npos;
    if (equals == std::string::npos) {
        UsageError("--input takes TITLE=VALUE");
        return OptionTaken::kBad;
    }
    const std::string& answer = args[++i];
    answers[answer.substr(0, equals)] = answer.substr(equals + 1);
    return OptionTaken::kYes;
}

int CheckAnswers(const HosterDef& row, const PromptAnswers& answers) {
    for (const TemplatePrompt& prompt : RowPrompts(row)) {
        const auto answer = answers.find(prompt.title);
        const std::string option = "--input '" + prompt.title + "=VALUE'";
        if (answer == answers.end())
            return UsageError("hoster " + row.Id + " asks \"" + prompt.title + "\": give " +
                              option);
        if (!prompt.choices.empty() && std::find(prompt.choices.begin(), prompt.choices.end(),
                                                 answer->second) == prompt.choices.end())
            return UsageError(option + " takes one of " + prompt.title);
    }
    return 0;
}

int ParseRowAndFile(const Args& args, const char* usage, bool fileRequired,
                    TransportOptions& transport, RowAndFile& out) {
    std::string hosterText;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionTaken taken = TakeTransportOption(args, i, transport);
        if (taken == OptionTaken::kBad) return 2;
        if (taken == OptionTaken::kYes) continue;
        const OptionTaken input = TakeInputOption(args, i, out.answers);
        if (input == OptionTaken::kBad) return 2;
        if (input == OptionTaken::kYes) continue;
        if (args[i] == "--hoster" && i + 1 < args.size()) {
            hosterText = args[++i];
        } else if (out.file.empty() && !args[i].empty() && args[i][0] != '-') {
            out.file = args[i];
        } else {
            return UsageError(usage);
        }
    }
    if (hosterText.empty() || (fileRequired && out.file.empty())) return UsageError(usage);
    out.table = LoadCliHosters();
    out.hoster = ParseHosterNumber(hosterText, out.table);
    if (out.hoster < 1)
        return UsageError("--hoster takes a row number from 1 to " +
                          std::to_string(out.table.Count()) + " or a row ID");
    return CheckAnswers(out.table.Row(out.hoster), out.answers);
}

}  // namespace lumar::cli
