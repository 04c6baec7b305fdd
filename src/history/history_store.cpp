#include "history/history_store.h"

#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <limits>

#include "history/history_schema.h"
#include "history/sqlite_handle.h"

namespace lumar {
namespace {

using history::SchemaResult;
using history::Statement;

// A writer waits this long for the other program's transaction before giving up: each of
// ours lasts milliseconds, so only a hung process makes it run out, and meanwhile the image
// whose entry it is waits for its report.
constexpr int kBusyTimeoutMs = 2000;

// Claims are written on the run's loop: one that cannot be written soon is not worth holding
// the window up for, as a missing claim costs at most a picture sent twice.
constexpr int kClaimBusyMs = 100;

// The shorter wait for the life of one claim's writes.
class ShortWait {
  public:
    explicit ShortWait(sqlite3* db) : db_(db) { sqlite3_busy_timeout(db_, kClaimBusyMs); }
    ~ShortWait() { sqlite3_busy_timeout(db_, kBusyTimeoutMs); }
    ShortWait(const ShortWait&) = delete;
    ShortWait& operator=(const ShortWait&) = delete;

  private:
    sqlite3* db_;
};

constexpr const char* kColumns =
    "SELECT id, uploaded_at, hoster_id, hoster_name, upload_url, file_path, file_bytes, "
    "original_sha256, processing, sent_sha256, width, height, code, url, thumbnail_url, "
    "deletion_url, deleted_on_host, reuse_key, deletion_confirm, deletion_opened FROM uploads ";

void ReadEntryInto(const Statement& row, HistoryEntry& e) {
    e.id = row.Int(0);
    e.uploadedAt = row.Int(1);
    e.hosterId = row.Text(2);
    e.hosterName = row.Text(3);
    e.uploadUrl = row.Text(4);
    e.filePath = row.Text(5);
    e.fileBytes = row.Int(6);
    e.originalSha256 = row.Text(7);
    e.processing = row.Text(8);
    e.sentSha256 = row.Text(9);
    e.width = static_cast<int>(row.Int(10));
    e.height = static_cast<int>(row.Int(11));
    e.code = row.Text(12);
    e.url = row.Text(13);
    e.thumbnailUrl = row.Text(14);
    e.deletionUrl = row.Text(15);
    e.deletedOnHost = row.Int(16) != 0;
    e.reuseKey = row.Text(17);
    e.deletionConfirm = row.Text(18);
    e.deletionOpened = row.Int(19) != 0;
}

HistoryEntry ReadEntry(const Statement& row) {
    HistoryEntry e;
    ReadEntryInto(row, e);
    return e;
}

// Resets the statement when the call that used it returns, whichever way: a statement left
// on a row would hold its read snapshot and keep the other program's writes from the WAL
// checkpoint.
class InUse {
  public:
    explicit InUse(Statement& s) : s_(s) {}
    ~InUse() { s_.Reset(); }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

  private:
    Statement& s_;
};

// The last part of a path, for the search by file name.
void FileNameFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* text = sqlite3_value_text(args[0]);
    if (!text) return sqlite3_result_null(context);
    const char* path = reinterpret_cast<const char*>(text);
    const char* slash = std::strrchr(path, '/');
    sqlite3_result_text(context, slash ? slash + 1 : path, -1, SQLITE_TRANSIENT);
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A folder or a FIFO where the file should be: SQLite would fail on the one and wait for a
// writer forever on the other. "" when the path is a regular file or nothing yet.
std::string NotARegularFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? "" : std::strerror(errno);
    if (S_ISREG(info.st_mode)) return "";
    return S_ISDIR(info.st_mode) ? "a folder stands in its place" : "not a regular file";
}

bool IsBusy(sqlite3* db) {
    const int code = sqlite3_errcode(db) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// When a process started (clock ticks since boot, /proc/PID/stat's 22nd field); 0 when there
// is no such process. With its number, it names the process even after the number is reused.
std::int64_t ProcessStart(std::int64_t pid) {
    const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    // The name in parentheses may hold blanks and parentheses; the fields follow the last ')'.
    const size_t name = stat.rfind(')');
    if (name == std::string::npos) return 0;
    size_t at = name + 2;
    for (int field = 3; field < 22 && at < stat.size(); ++field) at = stat.find(' ', at) + 1;
    if (at == 0 || at >= stat.size()) return 0;
    return std::strtoll(stat.c_str() + at, nullptr, 10);
}

// This process's start, read once per process: a forked child has a number of its own and
// reads its own.
std::int64_t OwnStart(std::int64_t pid) {
    thread_local std::int64_t knownPid = 0, knownStart = 0;
    if (knownPid != pid) {
        knownStart = ProcessStart(pid);
        knownPid = pid;
    }
    return knownStart;
}

bool IsPresent(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// "history.sqlite.broken-20240131-235959", with "-2", "-3", ... when that name is taken.
std::string FreeAsideName(const std::string& file) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = file + ".broken-" + stamp;
    std::string name = base;
    for (int n = 2; IsPresent(name) || IsPresent(name + "-wal"); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

// Moves the file aside under a free name and returns that name; "" (with the reason in
// `error`) when it cannot.
std::string MoveAside(const std::string& file, std::string& error) {
    std::string aside = FreeAsideName(file);
    // The journal files belong to the broken file: left behind, SQLite would play them into
    // the new one.
    for (const char* part : {"", "-wal", "-shm", "-journal"}) {
        const std::string from = file + part;
        if (::rename(from.c_str(), (aside + part).c_str()) != 0 && errno != ENOENT) {
            error = "cannot move " + from + " aside: " + std::strerror(errno);
            return "";
        }
    }
    return aside;
}

}  // namespace

struct HistoryStore::Db {
    sqlite3* handle = nullptr;
    Statement insert, findReusable, list, count, byId, forget, markDeleted, markOpened;
    Statement findClaim, addClaim, takeClaim, dropClaim, dropOwnClaims;

    ~Db() {
        // Statements first: a connection with live statements does not close.
        for (Statement* s :
             {&insert, &findReusable, &list, &count, &byId, &forget, &markDeleted, &markOpened,
              &findClaim, &addClaim, &takeClaim, &dropClaim, &dropOwnClaims})
            s->Finalize();
        sqlite3_close(handle);
    }
    // Connects to `file` without creating it; false with the reason in `error`.
    bool Connect(const std::string& file, int flags, std::string& error);
    // The pragmas and functions of every connection, and the statements.
    bool Prepare(std::string& error);
    bool PrepareStatements(std::string& error);
};

bool HistoryStore::Db::Connect(const std::string& file, int flags, std::string& error) {
    if (sqlite3_open_v2(file.c_str(), &handle, flags | SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(handle, kBusyTimeoutMs);
        // The WAL stays when the program ends (see Prepare): moving it into the file then
        // would wait for the disk twice at the end of every run.
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        return true;
    }
    error = handle ? sqlite3_errmsg(handle) : "out of memory";
    return false;
}

bool HistoryStore::Db::Prepare(std::string& error) {
    // WAL lets the window read while lumar-cli writes, and a commit appends the pages it
    // changed instead of copying the old ones to a journal first. With synchronous=NORMAL a
    // commit is in the WAL file (the operating system's cache) when Record returns, so a
    // killed process loses nothing it reported: the next opening reads it from there. Only a
    // power cut may take the last commits, whose pictures a later run then sends again.
    // The WAL is moved into the file once it holds 1000 pages (SQLite's automatic
    // checkpoint), not when a connection closes, so history.sqlite-wal and -shm stay beside
    // the file between runs and belong to it (a copy of the history takes all three). After
    // a checkpoint a WAL that a large change made longer is cut back to 8 MiB.
    return history::Execute(handle, "PRAGMA journal_mode = WAL", error) &&
           history::Execute(handle, "PRAGMA synchronous = NORMAL", error) &&
           history::Execute(handle, "PRAGMA journal_size_limit = 8388608", error) &&
           sqlite3_create_function(handle, "file_name", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, FileNameFunction, nullptr, nullptr) == SQLITE_OK &&
           PrepareStatements(error);
}

bool HistoryStore::Db::PrepareStatements(std::string& error) {
    const std::string findSql =
        std::string(kColumns) +
        "WHERE original_sha256 = ?1 AND processing = ?2 AND reuse_key = ?4 AND ?4 <> '' AND "
        "hoster_id = ?3 AND deleted_on_host = 0 AND deletion_opened = 0 "
        "ORDER BY id DESC LIMIT 1";
    // ?3 is lower case; lower() and the date are as plain as what the user types.
    const std::string listSql =
        std::string(kColumns) +
        "WHERE uploaded_at >= ?1 AND (?2 = '' OR hoster_id = ?2) AND (?3 = '' OR "
        "instr(lower(file_name(file_path)), ?3) OR instr(lower(hoster_name), ?3) OR "
        "instr(strftime('%Y-%m-%d', uploaded_at, 'unixepoch', 'localtime'), ?3)) "
        "ORDER BY id DESC LIMIT ?4";
    const std::string byIdSql = std::string(kColumns) + "WHERE id = ?1";
    return insert.Prepare(
               handle,
               "INSERT INTO uploads (uploaded_at, hoster_id, hoster_name, upload_url, "
               "file_path, file_bytes, original_sha256, processing, sent_sha256, width, height, "
               "code, url, thumbnail_url, deletion_url, deleted_on_host, reuse_key, "
               "deletion_confirm, deletion_opened) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
               "?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)",
               error) &&
           findReusable.Prepare(handle, findSql.c_str(), error) &&
           list.Prepare(handle, listSql.c_str(), error) &&
           count.Prepare(handle, "SELECT count(*) FROM uploads", error) &&
           byId.Prepare(handle, byIdSql.c_str(), error) &&
           forget.Prepare(handle, "DELETE FROM uploads WHERE id = ?1", error) &&
           markDeleted.Prepare(handle, "UPDATE uploads SET deleted_on_host = 1 WHERE id = ?1",
                               error) &&
           markOpened.Prepare(handle, "UPDATE uploads SET deletion_opened = 1 WHERE id = ?1",
                              error) &&
           findClaim.Prepare(handle,
                             "SELECT pid, process_start FROM claims WHERE original_sha256 = ?1 "
                             "AND processing = ?2 AND reuse_key = ?3",
                             error) &&
           addClaim.Prepare(handle,
                            "INSERT INTO claims VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT DO "
                            "NOTHING",
                            error) &&
           takeClaim.Prepare(handle,
                             "UPDATE claims SET pid = ?4, process_start = ?5, claimed_at = ?6 "
                             "WHERE original_sha256 = ?1 AND processing = ?2 AND reuse_key = ?3 "
                             "AND pid = ?7 AND process_start = ?8",
                             error) &&
           dropClaim.Prepare(handle,
                             "DELETE FROM claims WHERE original_sha256 = ?1 AND processing = ?2 "
                             "AND reuse_key = ?3 AND pid = ?4 AND process_start = ?5",
                             error) &&
           dropOwnClaims.Prepare(handle,
                                 "DELETE FROM claims WHERE original_sha256 = ?1 AND "
                                 "processing = ?2 AND pid = ?3 AND process_start = ?4",
                                 error);
}

HistoryStore::HistoryStore() = default;
HistoryStore::~HistoryStore() = default;

HistoryOpening HistoryStore::Open(const std::string& file) {
    db_.reset();
    file_ = file;
    setAside_.clear();
    error_.clear();
    problem_ = {};
    bool locked = false;  // the other program's transaction outlasted the wait
    std::int64_t layout = 0;
    auto connect = [&]() -> SchemaResult {
        if (error_ = NotARegularFile(file); !error_.empty()) return SchemaResult::kFailed;
        auto db = std::make_unique<Db>();
        if (!db->Connect(file, SQLITE_OPEN_CREATE, error_)) return SchemaResult::kFailed;
        const SchemaResult schema = history::PrepareSchema(db->handle, error_, layout);
        locked = schema == SchemaResult::kFailed && IsBusy(db->handle);
        if (schema != SchemaResult::kReady && schema != SchemaResult::kCreated) return schema;
        if (!db->Prepare(error_)) return SchemaResult::kFailed;
        db_ = std::move(db);
        return schema;
    };

    SchemaResult result = connect();
    if (result == SchemaResult::kBroken) {
        const std::string reason = error_;
        setAside_ = MoveAside(file, error_);
        if (setAside_.empty()) {
            problem_ = Reason(ReasonCode::kHistoryUnusable, {file, error_});
            return HistoryOpening::kFailed;
        }
        error_.clear();
        result = connect();
        if (result == SchemaResult::kReady || result == SchemaResult::kCreated) {
            error_ = reason;
            return HistoryOpening::kReplacedBroken;
        }
    }
    switch (result) {
        case SchemaResult::kReady:
            return HistoryOpening::kOpened;
        case SchemaResult::kCreated:
            return HistoryOpening::kCreated;
        case SchemaResult::kNewer:
            problem_ = Reason(ReasonCode::kHistoryNewer, {file, std::to_string(layout)});
            break;
        default:
            problem_ = locked ? Reason(ReasonCode::kHistoryLocked, {file})
                              : Reason(ReasonCode::kHistoryUnusable, {file, error_});
    }
    db_.reset();
    return HistoryOpening::kFailed;
}

HistoryOpening HistoryStore::OpenBeside(const HistoryStore& first) {
    db_.reset();
    file_ = first.file_;
    error_.clear();
    problem_ = {};
    auto db = std::make_unique<Db>();
    if (!first.IsOpen()) {
        error_ = "the history is not open";
    } else if (db->Connect(file_, 0, error_) && db->Prepare(error_)) {
        db_ = std::move(db);
        return HistoryOpening::kOpened;
    }
    problem_ = Reason(ReasonCode::kHistoryUnusable, {file_, error_});
    return HistoryOpening::kFailed;
}

bool HistoryStore::IsOpen() const {
    return db_ != nullptr;
}
const std::string& HistoryStore::SetAsidePath() const {
    return setAside_;
}
const std::string& HistoryStore::LastError() const {
    return error_;
}
const std::string& HistoryStore::File() const {
    return file_;
}
const Reason& HistoryStore::Problem() const {
    return problem_;
}

Status HistoryStore::Record(HistoryEntry& entry) {
    if (!db_) {
        error_ = "the history is not open";
        return problem_.code == ReasonCode::kOther
                   ? Reason(ReasonCode::kHistoryNotWritten, {error_})
                   : problem_;
    }
    sqlite3* db = db_->handle;
    const auto failed = [&] {
        error_ = sqlite3_errmsg(db);
        const bool busy = IsBusy(db);
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return busy ? Reason(ReasonCode::kHistoryLocked, {file_})
                    : Reason(ReasonCode::kHistoryNotWritten, {error_});
    };
    // The entry and the end of this process's claims on the picture are one commit: one per
    // recorded image, and a run waiting for the picture finds its code as the claim goes.
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return failed();
    {
        Statement& s = db_->insert;
        const InUse use(s);
        s.Bind(1, entry.uploadedAt);
        s.Bind(2, entry.hosterId);
        s.Bind(3, entry.hosterName);
        s.Bind(4, entry.uploadUrl);
        s.Bind(5, entry.filePath);
        s.Bind(6, entry.fileBytes);
        s.Bind(7, entry.originalSha256);
        s.Bind(8, entry.processing);
        s.Bind(9, entry.sentSha256);
        s.Bind(10, std::int64_t{entry.width});
        s.Bind(11, std::int64_t{entry.height});
        s.Bind(12, entry.code);
        s.Bind(13, entry.url);
        s.Bind(14, entry.thumbnailUrl);
        s.Bind(15, entry.deletionUrl);
        s.Bind(16, std::int64_t{entry.deletedOnHost ? 1 : 0});
        s.Bind(17, entry.reuseKey);
        s.Bind(18, entry.deletionConfirm);
        s.Bind(19, std::int64_t{entry.deletionOpened ? 1 : 0});
        if (s.Step() != SQLITE_DONE) return failed();
    }
    const std::int64_t id = sqlite3_last_insert_rowid(db);
    {
        Statement& s = db_->dropOwnClaims;
        const InUse use(s);
        const std::int64_t self = ::getpid();
        s.Bind(1, entry.originalSha256);
        s.Bind(2, entry.processing);
        s.Bind(3, self);
        s.Bind(4, OwnStart(self));
        if (s.Step() != SQLITE_DONE) return failed();
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return failed();
    entry.id = id;
    return {};
}

std::optional<HistoryEntry> HistoryStore::FindReusable(const std::string& originalSha256,
                                                       const std::string& processing,
                                                       const std::string& hosterId,
                                                       const std::string& reuseKey) {
    if (!db_) return std::nullopt;
    Statement& s = db_->findReusable;
    const InUse use(s);
    s.Bind(1, originalSha256);
    s.Bind(2, processing);
    s.Bind(3, hosterId);
    s.Bind(4, reuseKey);
    const int step = s.Step();
    if (step == SQLITE_ROW) return ReadEntry(s);
    if (step != SQLITE_DONE) error_ = sqlite3_errmsg(db_->handle);
    return std::nullopt;
}

std::vector<HistoryEntry> HistoryStore::List(const HistoryQuery& query) {
    std::vector<HistoryEntry> out;
    if (!db_) return out;
    if (!query.since && query.hosterId.empty() && query.text.empty()) {
        // The whole list is what the history window opens with: grown step by step, the
        // vector would copy every entry it holds several times over.
        const InUse counting(db_->count);
        if (db_->count.Step() == SQLITE_ROW) {
            const auto all = static_cast<size_t>(db_->count.Int(0));
            out.reserve(query.limit > 0 ? std::min(all, static_cast<size_t>(query.limit)) : all);
        }
    }
    Statement& s = db_->list;
    const InUse use(s);
    s.Bind(1, query.since.value_or(std::numeric_limits<std::int64_t>::min()));
    s.Bind(2, query.hosterId);
    s.Bind(3, AsciiLower(query.text));
    s.Bind(4, std::int64_t{query.limit > 0 ? query.limit : -1});
    int step = SQLITE_ROW;
    while ((step = s.Step()) == SQLITE_ROW) ReadEntryInto(s, out.emplace_back());
    if (step != SQLITE_DONE) error_ = sqlite3_errmsg(db_->handle);
    return out;
}

std::vector<HistoryEntry> HistoryStore::ByIds(const std::vector<std::int64_t>& ids) {
    std::vector<HistoryEntry> out;
    if (!db_) return out;
    Statement& s = db_->byId;
    for (const std::int64_t id : ids) {
        const InUse use(s);
        s.Bind(1, id);
        if (s.Step() == SQLITE_ROW) out.push_back(ReadEntry(s));
    }
    return out;
}

bool HistoryStore::Forget(const std::vector<std::int64_t>& ids) {
    if (!db_) return error_ = "the history is not open", false;
    if (!history::Execute(db_->handle, "BEGIN IMMEDIATE", error_)) return false;
    for (const std::int64_t id : ids) {
        Statement& s = db_->forget;
        const InUse use(s);
        s.Bind(1, id);
        if (s.Step() != SQLITE_DONE) {
            error_ = sqlite3_errmsg(db_->handle);
            sqlite3_exec(db_->handle, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    return history::Execute(db_->handle, "COMMIT", error_);
}

bool HistoryStore::MarkDeletedOnHost(std::int64_t id) {
    return Mark(id, true);
}

bool HistoryStore::MarkDeletionOpened(std::int64_t id) {
    return Mark(id, false);
}

bool HistoryStore::Mark(std::int64_t id, bool deleted) {
    if (!db_) return error_ = "the history is not open", false;
    Statement& s = deleted ? db_->markDeleted : db_->markOpened;
    const InUse use(s);
    s.Bind(1, id);
    if (s.Step() != SQLITE_DONE) return error_ = sqlite3_errmsg(db_->handle), false;
    if (sqlite3_changes(db_->handle) == 1) return true;
    error_ = "no entry " + std::to_string(id) + " in the history";
    return false;
}

PictureClaim HistoryStore::Claim(const std::string& originalSha256, const std::string& processing,
                                 const std::string& reuseKey) {
    if (!db_) return {true, 0};
    // Read at each call: a forked child is another process than the one that called first.
    const std::int64_t self = ::getpid();
    const std::int64_t selfStart = OwnStart(self);
    auto bindKey = [&](Statement& s) {
        s.Bind(1, originalSha256);
        s.Bind(2, processing);
        s.Bind(3, reuseKey);
        s.Bind(4, self);
        s.Bind(5, selfStart);
        s.Bind(6, static_cast<std::int64_t>(std::time(nullptr)));
    };
    std::int64_t holder = 0, holderStart = 0;
    {
        Statement& s = db_->findClaim;
        const InUse use(s);
        bindKey(s);
        if (s.Step() == SQLITE_ROW) {
            holder = s.Int(0);
            holderStart = s.Int(1);
        }
    }
    if (holder == self && holderStart == selfStart) return {true, 0};
    if (holder != 0 && ProcessStart(holder) == holderStart) return {false, holder};
    // Free, or left by a process that is gone: whoever writes first has it.
    Statement& s = holder == 0 ? db_->addClaim : db_->takeClaim;
    const ShortWait wait(db_->handle);
    const InUse use(s);
    bindKey(s);
    if (holder != 0) {
        s.Bind(7, holder);
        s.Bind(8, holderStart);
    }
    if (s.Step() != SQLITE_DONE) return {true, 0};
    if (sqlite3_changes(db_->handle) == 1) return {true, 0};
    return Claim(originalSha256, processing, reuseKey);  // another process was quicker
}

void HistoryStore::Release(const std::string& originalSha256, const std::string& processing,
                           const std::string& reuseKey) {
    if (!db_) return;
    Statement& s = db_->dropClaim;
    const ShortWait wait(db_->handle);
    const InUse use(s);
    s.Bind(1, originalSha256);
    s.Bind(2, processing);
    s.Bind(3, reuseKey);
    const std::int64_t self = ::getpid();
    s.Bind(4, self);
    s.Bind(5, OwnStart(self));
    s.Step();
}

std::string HistoryFile(const std::string& settingsFolder) {
    return settingsFolder.empty() || settingsFolder.back() == '/'
               ? settingsFolder + "history.sqlite"
               : settingsFolder + "/history.sqlite";
}

std::string LocalTimeText(std::int64_t secondsSince1970, const char* format) {
    const auto time = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    if (!::localtime_r(&time, &local)) return "";
    char text[40];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return "";
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

}  // namespace lumar
