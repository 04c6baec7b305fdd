#pragma once
// The layout of history.sqlite: which file is ours, creating the tables and bringing an older
// file up to date. Used by HistoryStore::Open only.
#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace lumar::history {

// PRAGMA application_id of our files ("LuHi"), so a SQLite file of another program under the
// same name is told apart from ours.
inline constexpr std::int32_t kApplicationId = 0x4C754869;
// PRAGMA user_version of the layout this build writes.
inline constexpr int kSchemaVersion = 3;

enum class SchemaResult {
    kReady,    // ours, now at kSchemaVersion
    kCreated,  // was empty, the tables are made
    kBroken,   // not a SQLite file, damaged, or another program's: to be set aside
    kNewer,    // ours, written by a later Lumar: left as it is
    kFailed,   // could not be read or written (locked too long, disk full, ...)
};

// Checks the open file, which a file in the current layout only is read for; another is
// created or migrated in one transaction, so a second process opening the same new file waits
// and then finds it complete. `version` gets the
// layout the file was in (0 for a new file).
SchemaResult PrepareSchema(sqlite3* db, std::string& error, std::int64_t& version);

}  // namespace lumar::history
