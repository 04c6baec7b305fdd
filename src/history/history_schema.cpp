#include "history/history_schema.h"

#include <array>

#include "history/sqlite_handle.h"

namespace lumar::history {
namespace {

// Entries are listed in the order they were recorded, which is the order of their ids: the
// table itself is that order, so listing needs no index of its own and reads no entry twice.
constexpr const char* kCreateTables = R"(
CREATE TABLE uploads (
    id INTEGER PRIMARY KEY,
    uploaded_at INTEGER NOT NULL,
    hoster_id TEXT NOT NULL,
    hoster_name TEXT NOT NULL,
    upload_url TEXT NOT NULL,
    file_path TEXT NOT NULL,
    file_bytes INTEGER NOT NULL,
    original_sha256 TEXT NOT NULL,
    sent_sha256 TEXT NOT NULL,
    width INTEGER NOT NULL,
    height INTEGER NOT NULL,
    code TEXT NOT NULL,
    url TEXT NOT NULL,
    thumbnail_url TEXT NOT NULL,
    deletion_url TEXT NOT NULL,
    processing TEXT NOT NULL DEFAULT '',
    deleted_on_host INTEGER NOT NULL DEFAULT 0,
    reuse_key TEXT NOT NULL DEFAULT '',
    deletion_confirm TEXT NOT NULL DEFAULT '',
    deletion_opened INTEGER NOT NULL DEFAULT 0);
CREATE INDEX uploads_for_reuse ON uploads (original_sha256, processing, reuse_key);
)";

// Pictures in flight: a run claims each before it sends it, so a second run on the same
// settings folder waits for that upload instead of sending the picture again. A claim names
// its process and the process's start, so one left by a process that is gone can be told
// apart from one whose number was given again. Made by version 3 and by its migration.
constexpr const char* kCreateClaims = R"(
CREATE TABLE claims (
    original_sha256 TEXT NOT NULL,
    processing TEXT NOT NULL,
    reuse_key TEXT NOT NULL,
    pid INTEGER NOT NULL,
    process_start INTEGER NOT NULL,
    claimed_at INTEGER NOT NULL,
    PRIMARY KEY (original_sha256, processing, reuse_key));
)";

// kMigrations[n] brings a file of version n + 1 to version n + 2. Version 1 knew neither the
// processing of the picture nor deletions on the host: its entries were sent as they were
// and are all still there.
// Version 2 reused by the row's ID alone, which a replaced definition or a renumbered
// hosters.ini row hands to another host: its entries get no reuse key and are listed but never
// reused. Classic rows were recorded as "classic-N" while their IDs are "HosterN".
constexpr std::array<const char*, kSchemaVersion - 1> kMigrations = {
    R"(
ALTER TABLE uploads ADD COLUMN processing TEXT NOT NULL DEFAULT '';
ALTER TABLE uploads ADD COLUMN deleted_on_host INTEGER NOT NULL DEFAULT 0;
DROP INDEX IF EXISTS uploads_by_picture;
DROP INDEX IF EXISTS uploads_newest;
CREATE INDEX uploads_for_reuse ON uploads (original_sha256, processing, hoster_id);
)",
    R"(
ALTER TABLE uploads ADD COLUMN reuse_key TEXT NOT NULL DEFAULT '';
ALTER TABLE uploads ADD COLUMN deletion_confirm TEXT NOT NULL DEFAULT '';
ALTER TABLE uploads ADD COLUMN deletion_opened INTEGER NOT NULL DEFAULT 0;
UPDATE uploads SET hoster_id = 'Hoster' || substr(hoster_id, 9)
    WHERE hoster_id GLOB 'classic-[0-9]*';
DROP INDEX IF EXISTS uploads_for_reuse;
CREATE INDEX uploads_for_reuse ON uploads (original_sha256, processing, reuse_key);
)"};

struct FileFacts {
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    std::int64_t tables = 0;  // of any kind, ours or not
    bool hasUploads = false;
};

SchemaResult Failure(sqlite3* db, std::string& error) {
    const int code = sqlite3_errcode(db) & 0xff;
    if (error.empty()) error = sqlite3_errmsg(db);
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT ? SchemaResult::kBroken
                                                           : SchemaResult::kFailed;
}

bool ReadNumber(sqlite3* db, const char* sql, std::int64_t& out, std::string& error) {
    Statement query;
    if (!query.Prepare(db, sql, error)) return false;
    const int step = query.Step();
    if (step == SQLITE_ROW) out = query.Int(0);
    if (step == SQLITE_ROW || step == SQLITE_DONE) return true;
    error = sqlite3_errmsg(db);
    return false;
}

bool ReadFacts(sqlite3* db, FileFacts& facts, std::string& error) {
    std::int64_t uploads = 0;
    if (!ReadNumber(db, "PRAGMA application_id", facts.applicationId, error) ||
        !ReadNumber(db, "PRAGMA user_version", facts.version, error) ||
        !ReadNumber(db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table'", facts.tables,
                    error) ||
        !ReadNumber(db, "SELECT count(*) FROM sqlite_schema WHERE name = 'uploads'", uploads,
                    error))
        return false;
    facts.hasUploads = uploads == 1;
    return true;
}

bool StampVersion(sqlite3* db, int version, std::string& error) {
    const std::string sql = "PRAGMA user_version = " + std::to_string(version);
    return Execute(db, sql.c_str(), error);
}

bool Create(sqlite3* db, std::string& error) {
    const std::string stampId = "PRAGMA application_id = " + std::to_string(kApplicationId);
    return Execute(db, kCreateTables, error) && Execute(db, kCreateClaims, error) &&
           Execute(db, stampId.c_str(), error) && StampVersion(db, kSchemaVersion, error);
}

bool Migrate(sqlite3* db, std::int64_t from, std::string& error) {
    for (std::int64_t version = from; version < kSchemaVersion; ++version) {
        if (!Execute(db, kMigrations[static_cast<size_t>(version - 1)], error)) return false;
    }
    if (from < 3 && !Execute(db, kCreateClaims, error)) return false;
    return StampVersion(db, kSchemaVersion, error);
}

SchemaResult Decide(sqlite3* db, const FileFacts& facts, std::string& error) {
    if (facts.applicationId == 0 && facts.tables == 0)
        return Create(db, error) ? SchemaResult::kCreated : Failure(db, error);
    if (facts.applicationId != kApplicationId || !facts.hasUploads || facts.version < 1) {
        error = "not a Lumar history file";
        return SchemaResult::kBroken;
    }
    if (facts.version > kSchemaVersion) {
        error = "written by a newer Lumar (layout " + std::to_string(facts.version) + ")";
        return SchemaResult::kNewer;
    }
    return Migrate(db, facts.version, error) ? SchemaResult::kReady : Failure(db, error);
}

}  // namespace

SchemaResult PrepareSchema(sqlite3* db, std::string& error, std::int64_t& version) {
    FileFacts facts;
    // A file in the current layout is only read: opening the history, to list it or for a
    // run, writes nothing to it.
    if (!Execute(db, "BEGIN", error)) return Failure(db, error);
    if (!ReadFacts(db, facts, error)) {
        const SchemaResult failed = Failure(db, error);  // before the end of the read resets it
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return failed;
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    version = facts.version;
    if (facts.applicationId == kApplicationId && facts.hasUploads &&
        facts.version == kSchemaVersion)
        return SchemaResult::kReady;
    // IMMEDIATE: the write lock is taken before the file is looked at again, so two processes
    // starting on a new file cannot both decide to create it.
    if (!Execute(db, "BEGIN IMMEDIATE", error)) return Failure(db, error);
    facts = {};
    SchemaResult result =
        ReadFacts(db, facts, error) ? Decide(db, facts, error) : Failure(db, error);
    version = facts.version;
    const bool keep = result == SchemaResult::kReady || result == SchemaResult::kCreated;
    if (keep && !Execute(db, "COMMIT", error)) result = Failure(db, error);
    if (!keep || result == SchemaResult::kFailed)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return result;
}

}  // namespace lumar::history
