// lumar-cli upload: the upload run of the window, without the window. Paths are added as a
// drop would add them; the log goes to stderr one line per image, the posting to stdout.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include "cli/cli_command.h"
#include "cli/cli_piped_picture.h"
#include "cli/cli_scan_report.h"
#include "cli/cli_upload_support.h"
#include "history/history_store.h"
#include "hosters/hoster_rows.h"
#include "imagelist/add_images.h"
#include "session/hoster_choice.h"
#include "session/posting_hand_over.h"
#include "session/session.h"
#include "shell/file_io.h"
#include "shell/language_table.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "upload/upload_run.h"

namespace lumar::cli {
namespace {

const std::string kUploadUsage = CommandUsage("upload");
// A host's words on the terminal: control characters as \xNN, so they cannot drive it.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        }
    }
    return out;
}

bool ParseCount(const std::string& text, long long min, long long max, long long& out) {
    return ParseInteger(text, out) && out >= min && out <= max;
}

// Log lines on stderr; below them a progress bar, redrawn only on a terminal.
class CliObserver : public PostingHandOver {
  public:
    using PostingHandOver::PostingHandOver;

    void AppendLog(const std::string& text, bool lineEnd) override {
        line_ += text;
        if (!lineEnd) return;
        ClearBar();
        std::cerr << line_ << "\n";
        line_.clear();
        DrawBar();
    }
    void Progress(int value, int maximum) override {
        value_ = value;
        maximum_ = maximum;
        DrawBar();
    }
    void RunFinished() override {
        ClearBar();
        terminal_ = false;
    }
    void ShowMessage(const std::string& title, const std::string& text) override {
        std::cerr << title << ": " << text.substr(0, text.find('\r')) << "\n";
    }
    void TotalsNotSaved(const std::string& settingsFile, const std::string& reason) override {
        ClearBar();
        std::cerr << "lumar-cli: the upload totals cannot be saved in " << settingsFile << " ("
                  << reason << ")\n";
        DrawBar();
    }

  private:
    void DrawBar() {
        if (!terminal_) return;
        const int percent = ProgressPercent(value_, 0, maximum_);
        const int filled = percent * 30 / 100;
        std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
                  << std::string(static_cast<size_t>(30 - filled), '.') << "] " << percent << " % ("
                  << value_ << "/" << maximum_ << ")" << std::flush;
        drawn_ = true;
    }
    void ClearBar() {
        if (drawn_) std::cerr << "\r\033[K" << std::flush;
        drawn_ = false;
    }

    std::string line_;
    bool terminal_ = ::isatty(STDERR_FILENO) == 1;
    bool drawn_ = false;
    int value_ = 0;
    int maximum_ = 0;
};

// What the command line asked for; a missing option is taken from Lumar.ini later.
struct UploadArgs {
    std::optional<int> hoster;
    PostingChoice posting;
    std::optional<long long> timeout, connections;
    bool noReuse = false;
    std::optional<bool> ownThumbs;
    std::optional<std::string> fallback;  // a row number or ID, checked once the row is known
    TransportOptions transport;
    ProcessingChoice processing;
    PromptAnswers answers;
    std::vector<std::string> paths;   // "-" for the picture on standard input
    std::optional<std::string> name;  // the file name the host sees for that picture
};

// What a file name for the host must be: a name, not a path.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// "-" once at most, and --name only with it.
bool CheckStandardInput(const UploadArgs& args) {
    const auto dashes = std::count(args.paths.begin(), args.paths.end(), "-");
    if (dashes > 1) {
        UsageError("standard input (-) holds one picture and can be named once");
        return false;
    }
    if (args.name && (dashes == 0 || !IsPlainFileName(*args.name))) {
        UsageError("--name NAME gives the picture from standard input (-) a file name");
        return false;
    }
    return true;
}

// Reads the options and paths; on bad usage it names the problem and gives back nothing.
std::optional<UploadArgs> ParseUploadArgs(const Args& args, const HosterTable& table) {
    UploadArgs out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        long long n = 0;
        const OptionTaken transport = TakeTransportOption(args, i, out.transport);
        if (transport == OptionTaken::kBad) return std::nullopt;
        if (transport == OptionTaken::kYes) continue;
        const OptionTaken processing = TakeProcessingOption(args, i, out.processing);
        if (processing == OptionTaken::kBad) return std::nullopt;
        if (processing == OptionTaken::kYes) continue;
        const OptionTaken input = TakeInputOption(args, i, out.answers);
        if (input == OptionTaken::kBad) return std::nullopt;
        if (input == OptionTaken::kYes) continue;
        const OptionTaken posting = TakePostingOption(args, i, out.posting);
        if (posting == OptionTaken::kBad) return std::nullopt;
        if (posting == OptionTaken::kYes) continue;
        if (a == "--hoster" && hasValue) {
            const int row = ParseHosterNumber(args[++i], table);
            if (row < 1) {
                UsageError("--hoster takes a row number from 1 to " +
                           std::to_string(table.Count()) + " or a row ID");
                return std::nullopt;
            }
            out.hoster = row;
        } else if (a == "--timeout" && hasValue) {
            if (!ParseCount(args[++i], 0, 2147483647, n)) {
                UsageError("--timeout takes seconds");
                return std::nullopt;
            }
            out.timeout = n;
        } else if (a == "--connections" && hasValue) {
            if (!ParseCount(args[++i], 1, 64, n)) {
                UsageError("--connections takes a number from 1 to 64");
                return std::nullopt;
            }
            out.connections = n;
        } else if (a == "--no-reuse") {
            out.noReuse = true;
        } else if (a == "--own-thumbs" || a == "--no-own-thumbs") {
            out.ownThumbs = a == "--own-thumbs";
        } else if (a == "--fallback" && hasValue) {
            out.fallback = args[++i];
        } else if (a == "--name" && hasValue) {
            out.name = args[++i];
        } else if (a == "--") {
            out.paths.insert(out.paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            // A lone "-" is standard input and goes with the paths.
            UsageError(kUploadUsage);
            return std::nullopt;
        } else {
            out.paths.push_back(a);
        }
    }
    if (out.paths.empty()) {
        UsageError(kUploadUsage);
        return std::nullopt;
    }
    if (!CheckStandardInput(out)) return std::nullopt;
    return out;
}

// Adds the paths as a drop would, except that a file named on the command line which is no
// readable picture is named on stderr and sets `skipped`: a script must not take a skipped image
// for an uploaded one. Files inside folders are chosen by the scan as usual. The command line
// is one adding action: a file named again, or inside a folder named too, is sent once.
void AddPaths(ImageList& list, const std::vector<std::string>& paths, const PipedPicture& piped,
              bool& skipped) {
    AddingAction action;
    AddOptions scanOptions;
    scanOptions.report = StderrScanReporter(skipped);
    scanOptions.action = &action;
    for (const std::string& relative : paths) {
        const std::string p = AbsolutePath(relative);
        if (relative == "-") {
            // Refused already, and said so, when it is no picture.
            if (piped.Path().empty() || !AddImageFile(list, piped.Path())) skipped = true;
        } else if (IsDirectory(p)) {
            AddImageFolder(list, p, true, scanOptions);
        } else if (action.IsNew(p) && !AddImageFile(list, p, &action)) {
            std::cerr << "lumar-cli: " << p << ": not a readable picture (JPEG, PNG, GIF, WebP)\n";
            skipped = true;
        }
    }
}

// Ctrl+C asks the run to stop after the current image, so the posting so far is printed.
void RunInterruptible(UploadRun& run, ImageList& list, const UploadRunOptions& options) {
    const InterruptToFlag interrupt(run.AbortFlag());
    std::span<ImageEntry> rows(&list.Row(1), static_cast<size_t>(list.Count()));
    run.Run(rows, options);
}

bool ImagesLeft(const ImageList& list) {
    return std::ranges::any_of(list.Rows(), &ImageEntry::IsImageToUpload);
}

// The session lumar-cli works on, loaded as the window loads its own at start-up.
void LoadSession(Session& session) {
    session.Hosters() = LoadHosterRows(session.Paths().configFolder, session.Paths().dataFolder);
    session.Strings() = LoadUiStrings(session.LanguageFile(), "");
}

// What the command line chose over Lumar.ini.
RunOverrides OverridesOf(const UploadArgs& args) {
    RunOverrides overrides;
    if (args.timeout) overrides.timeoutSeconds = ClampTimeoutSeconds(*args.timeout);
    if (args.connections) overrides.connections = static_cast<int>(*args.connections);
    overrides.noReuse = args.noReuse;
    overrides.processing = args.processing;
    overrides.caFile = args.transport.caFile;
    overrides.connectTo = args.transport.connectTo;
    overrides.answers = args.answers;
    overrides.ownThumbs = args.ownThumbs;
    return overrides;
}

// The fallback the command line names, as the row's ID; a row that cannot stand in is bad
// usage, said with its reason.
std::optional<std::string> FallbackFromArgs(const std::string& text, const HosterTable& table,
                                            int hoster, const UiStrings& strings) {
    const int row = HosterRowFromText(table, text);
    const std::string id = row > 0 ? table.Row(row).Id : text;
    const Outcome<int> fallback = FallbackRow(table, id, hoster);
    if (!fallback) {
        UsageError("--fallback: " + ReasonText(fallback.Why(), strings));
        return std::nullopt;
    }
    return id;
}

}  // namespace

int RunUpload(const Args& args) {
    Session session(SessionPaths::FromConfigFolder());
    LoadSession(session);
    const std::string& settings = session.SettingsFile();
    const HosterTable& table = session.Hosters();
    PrintHosterProblems(table);

    const std::optional<UploadArgs> parsed = ParseUploadArgs(args, table);
    if (!parsed) return 2;
    const std::optional<PostingOptions> posting = PostingOptionsFor(parsed->posting, settings);
    if (!posting) return 2;
    const int hoster = parsed->hoster.value_or(RememberedHosterRow(table, settings));
    if (const int unanswered = CheckAnswers(table.Row(hoster), parsed->answers)) return unanswered;
    std::optional<std::string> fallback;
    if (parsed->fallback) {
        fallback = FallbackFromArgs(*parsed->fallback, table, hoster, session.Strings());
        if (!fallback) return 2;
    }
    const PostingTexts texts = PostingTextsFrom(session.Strings());

    ImageList& list = session.List();
    bool skipped = false;
    PipedPicture piped;
    if (std::ranges::find(parsed->paths, "-") != parsed->paths.end() &&
        !piped.Read(parsed->name.value_or(""), session.Paths().capturesFolder,
                    session.Strings().Get(kStrPictureName)))
        skipped = true;
    AddPaths(list, parsed->paths, piped, skipped);
    if (list.Empty()) {
        std::cerr << "lumar-cli: no picture (JPEG, PNG, GIF, WebP) among the paths\n";
        return 1;
    }

    const PostingState& state = session.Posting();
    CliObserver observer(session.Posting(), session.Blocks(), *posting, texts);
    UploadRun run(table, session.Strings(), observer);
    RunOverrides overrides = OverridesOf(*parsed);
    if (fallback) overrides.fallbackId = *fallback;
    RunSetup setup(session, hoster, std::move(overrides));
    RunInterruptible(run, list, setup.Options());
    for (const std::string& output : run.Outputs()) std::cerr << Escaped(output) << "\n";

    const std::optional<int> part = parsed->posting.part;
    if (part && state.isSplit && static_cast<size_t>(*part) > state.parts.size())
        std::cerr << "lumar-cli: the posting has " << state.parts.size()
                  << " parts; printing the whole posting\n";
    std::cout << ExportText(state, *posting, texts, settings) << std::flush;
    // A posting that never reached its reader (a full disk) is lost like a failed image.
    if (!std::cout) std::cerr << "lumar-cli: the posting could not be written\n";
    // A script must learn that the totals or history entries were lost, as it learns of a
    // failed image.
    return ImagesLeft(list) || skipped || !run.TotalsProblem().empty() ||
                   run.UnrecordedCount() > 0 || !std::cout
               ? 1
               : 0;
}

}  // namespace lumar::cli
