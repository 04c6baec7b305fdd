// lumar-cli history: the upload history of the settings folder — list and search past
// uploads, build a posting from them as the end of a run would, forget entries.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/cli_command.h"
#include "cli/cli_upload_support.h"
#include "history/history_store.h"
#include "hosters/hoster_rows.h"
#include "session/history_rows.h"
#include "session/posting_hand_over.h"
#include "session/session.h"
#include "shell/config_paths.h"
#include "shell/language_table.h"
#include "shell/plain_text.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "upload/standard_upload.h"

namespace lumar::cli {
namespace {

const std::string kHistoryUsage = CommandUsage("history");
// The settings folder's history. A missing file is left missing: the store stays closed and
// answers with nothing, which is what a history that never recorded anything holds.
bool OpenHistory(HistoryStore& store) {
    const std::string file = HistoryFile(ConfigFolder());
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 && errno == ENOENT) return true;
    switch (store.Open(file)) {
        case HistoryOpening::kReplacedBroken:
            std::cerr << "lumar-cli: " << file << " was damaged or not Lumar's ("
                      << store.LastError() << "); moved to " << store.SetAsidePath()
                      << ", a new history started\n";
            return true;
        case HistoryOpening::kFailed:
            std::cerr << "lumar-cli: the upload history " << file
                      << " cannot be opened: " << store.LastError() << "\n";
            return false;
        default:
            return true;
    }
}

// One line per entry, so line and tab breaks inside a field become blanks; other control
// characters (ESC, BEL) are written out rather than sent to the terminal.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return Printable(text);
}

void PrintEntries(const std::vector<HistoryEntry>& entries, bool json) {
    if (!json) {
        std::string out;
        for (const HistoryEntry& e : entries)
            out += std::to_string(e.id) + '\t' + LocalTimeText(e.uploadedAt, "%Y-%m-%d %H:%M:%S") +
                   '\t' + OneLine(e.hosterName) + '\t' + OneLine(e.filePath) + '\t' +
                   OneLine(e.code) + '\n';
        std::cout << out << std::flush;
        return;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const HistoryEntry& e : entries)
        list.push_back(
            {{"id", e.id},
             {"uploadedAt", e.uploadedAt},
             {"date", LocalTimeText(e.uploadedAt, "%Y-%m-%dT%H:%M:%S%z")},
             {"hosterId", e.hosterId},
             {"hosterName", e.hosterName},
             {"uploadUrl", e.uploadUrl},
             {"file", e.filePath},
             {"fileBytes", e.fileBytes},
             {"originalSha256", e.originalSha256},
             {"processing", e.processing},
             {"sentSha256", e.sentSha256},
             {"width", e.width},
             {"height", e.height},
             {"code", e.code},
             {"url", e.url},
             {"thumbnailUrl", e.thumbnailUrl},
             {"deletionUrl", e.deletionUrl},
             {"deletedOnHost", e.deletedOnHost},
             {"deletionOpened", e.deletionOpened},
             {"reusable", !e.reuseKey.empty() && !e.deletedOnHost && !e.deletionOpened}});
    // File names need not be UTF-8; a stray byte must not cost the whole listing.
    std::cout << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n"
              << std::flush;
}

// Local midnight of a YYYY-MM-DD day; nullopt for anything else, 2024-02-30 included.
std::optional<std::int64_t> StartOfDay(const std::string& text) {
    int year = 0, month = 0, day = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    auto number = [&](int& out, size_t digits) {
        const auto [next, ec] =
            std::from_chars(p, p + std::min(digits, static_cast<size_t>(end - p)), out);
        const bool ok = ec == std::errc() && next == p + digits;
        p = next;
        return ok;
    };
    auto dash = [&] { return p < end && *p++ == '-'; };
    if (!number(year, 4) || !dash() || !number(month, 2) || !dash() || !number(day, 2) || p != end)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == -1 || tm.tm_mday != day || tm.tm_mon != month - 1) return std::nullopt;
    return static_cast<std::int64_t>(t);
}

// A row number or ID of today's table, or the ID of a row removed since (its entries stay).
std::string HosterIdFrom(const std::string& text) {
    const HosterTable table = LoadCliHosters();
    const int row = ParseHosterNumber(text, table);
    if (row >= 1) return table.Row(row).Id;
    long long number = 0;
    return ParseInteger(text, number) ? "" : text;
}

int RunList(const Args& args, bool search) {
    HistoryQuery query;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--json") {
            json = true;
        } else if (!search && a == "--since" && hasValue) {
            query.since = StartOfDay(args[++i]);
            if (!query.since) return UsageError("--since takes a date YYYY-MM-DD");
        } else if (!search && a == "--hoster" && hasValue) {
            query.hosterId = HosterIdFrom(args[++i]);
            if (query.hosterId.empty())
                return UsageError("--hoster takes a row number or a row ID");
        } else if (search && query.text.empty() && !a.empty() && a[0] != '-') {
            query.text = a;
        } else {
            return UsageError(kHistoryUsage);
        }
    }
    if (search && query.text.empty()) return UsageError(kHistoryUsage);
    HistoryStore store;
    if (!OpenHistory(store)) return 1;
    PrintEntries(store.List(query), json);
    return std::cout ? 0 : 1;
}

// Reads the IDs; the options of `posting` go into `rest`.
bool TakeIds(const Args& args, std::vector<std::int64_t>& ids, Args& rest) {
    for (size_t i = 0; i < args.size(); ++i) {
        long long id = 0;
        if (ParseInteger(args[i], id) && id > 0) {
            ids.push_back(id);
        } else if (!args[i].empty() && args[i][0] == '-') {
            rest.push_back(args[i]);
            if ((args[i] == "--split" || args[i] == "--part") && i + 1 < args.size())
                rest.push_back(args[++i]);
        } else {
            return false;
        }
    }
    return !ids.empty();
}

// The entries of the IDs in their order; unknown IDs are named on stderr and set `missing`.
std::vector<HistoryEntry> EntriesOf(HistoryStore& store, const std::vector<std::int64_t>& ids,
                                    bool& missing) {
    std::vector<HistoryEntry> entries = store.ByIds(ids);
    for (const std::int64_t id : ids) {
        bool found = false;
        for (const HistoryEntry& e : entries) found = found || e.id == id;
        if (!found) std::cerr << "lumar-cli: no entry " << id << " in the upload history\n";
        missing = missing || !found;
    }
    return entries;
}

// The posting options given, over Lumar.ini; nothing on bad usage (named on stderr).
std::optional<PostingOptions> PostingOptionsFrom(const Args& options, const std::string& settings) {
    PostingChoice choice;
    for (size_t i = 0; i < options.size(); ++i) {
        const OptionTaken taken = TakePostingOption(options, i, choice);
        if (taken == OptionTaken::kBad) return std::nullopt;
        if (taken == OptionTaken::kNo) {
            UsageError(kHistoryUsage);
            return std::nullopt;
        }
    }
    return PostingOptionsFor(choice, settings);
}

int RunPosting(const Args& args) {
    std::vector<std::int64_t> ids;
    Args options;
    Session session(SessionPaths::FromConfigFolder());
    const std::string& settings = session.SettingsFile();
    std::optional<PostingOptions> posting;
    if (!TakeIds(args, ids, options)) return UsageError(kHistoryUsage);
    if (!(posting = PostingOptionsFrom(options, settings))) return 2;
    HistoryStore store;
    if (!OpenHistory(store)) return 1;
    bool missing = false;
    std::vector<ImageEntry> rows = RowsOfHistory(EntriesOf(store, ids, missing));
    if (rows.empty()) return 1;

    session.Strings() = LoadUiStrings(session.LanguageFile(), "");
    const PostingTexts texts = PostingTextsFrom(session.Strings());
    PostingHandOver handOver(session.Posting(), session.Blocks(), *posting, texts);
    handOver.CollectPosting(rows);
    handOver.FinishPosting(rows);
    std::cout << ExportText(session.Posting(), *posting, texts, settings) << std::flush;
    return missing || !std::cout ? 1 : 0;
}

int RunForget(const Args& args) {
    std::vector<std::int64_t> ids;
    Args options;
    if (!TakeIds(args, ids, options) || !options.empty()) return UsageError(kHistoryUsage);
    HistoryStore store;
    if (!OpenHistory(store)) return 1;
    bool missing = false;
    std::vector<std::int64_t> known;
    for (const HistoryEntry& e : EntriesOf(store, ids, missing)) known.push_back(e.id);
    if (!known.empty() && !store.Forget(known)) {
        std::cerr << "lumar-cli: the upload history was not changed: " << store.LastError() << "\n";
        return 1;
    }
    return missing ? 1 : 0;
}

// Deletion on the host. An entry whose row says how its host confirms a deletion is deleted
// through its address; for the others (many deletion addresses are pages with a confirm step)
// the address goes to standard output for the user to open, and the entry is never reused.
int RunDelete(const Args& args) {
    std::vector<std::int64_t> ids;
    Args options;
    if (!TakeIds(args, ids, options) || !options.empty()) return UsageError(kHistoryUsage);
    HistoryStore store;
    if (!OpenHistory(store)) return 1;
    bool failed = false;
    const Session session(SessionPaths::FromConfigFolder());
    StandardUploadOptions deletion = ExchangeOptionsFromSettings(session.SettingsFile());
    std::atomic<bool> interrupted{false};
    const InterruptToFlag interrupt(interrupted);
    deletion.control.abortFlag = &interrupted;
    const UiStrings strings = LoadUiStrings(session.LanguageFile(), "");
    for (const HistoryEntry& e : EntriesOf(store, ids, failed)) {
        const std::string entry = "lumar-cli: entry " + std::to_string(e.id) + ": ";
        if (e.deletionUrl.empty()) {
            std::cerr << entry << "the host gave no deletion address\n";
            failed = true;
        } else if (e.deletionConfirm.empty()) {
            std::cout << e.deletionUrl << "\n";
            std::cerr << entry
                      << "the host does not say how it confirms a deletion: open the address "
                         "to delete the picture there; the entry will not be reused\n";
            if (!store.MarkDeletionOpened(e.id)) failed = true;
        } else if (const Status deleted =
                       RequestDeletion(e.deletionUrl, e.deletionConfirm, deletion);
                   !deleted) {
            std::cerr << entry << "not deleted: " << OneLine(ReasonText(deleted.Why(), strings))
                      << "\n";
            failed = true;
        } else {
            std::cerr << entry << "deleted on the host\n";
            if (!store.MarkDeletedOnHost(e.id)) failed = true;
        }
    }
    return failed || !std::cout ? 1 : 0;
}

}  // namespace

int RunHistory(const Args& args) {
    if (args.empty()) return UsageError(kHistoryUsage);
    const std::string& what = args.front();
    const Args rest(args.begin() + 1, args.end());
    if (what == "list" || what == "search") return RunList(rest, what == "search");
    if (what == "posting") return RunPosting(rest);
    if (what == "forget") return RunForget(rest);
    if (what == "delete") return RunDelete(rest);
    return UsageError(kHistoryUsage);
}

}  // namespace lumar::cli
