#pragma once
// Thin owners of SQLite's connection and statement handles, for the history's own files.
#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace lumar::history {

// One prepared statement, kept for the life of the connection and reset after each use.
class Statement {
  public:
    Statement() = default;
    ~Statement() { Finalize(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // False (with the reason in `error`) when the SQL does not compile against the schema.
    bool Prepare(sqlite3* db, const char* sql, std::string& error) {
        Finalize();
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) ==
            SQLITE_OK)
            return true;
        error = sqlite3_errmsg(db);
        return false;
    }
    [[nodiscard]] sqlite3_stmt* Get() const { return stmt_; }
    void Finalize() {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }

    // Ready for the next use: parameters cleared, the read lock a finished step held released.
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void Bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    int Step() { return sqlite3_step(stmt_); }

    [[nodiscard]] std::string Text(int column) const {
        const auto* bytes = sqlite3_column_text(stmt_, column);
        return bytes ? std::string(reinterpret_cast<const char*>(bytes),
                                   static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                     : std::string();
    }
    [[nodiscard]] std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs SQL without results; false with the reason in `error`.
inline bool Execute(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

}  // namespace lumar::history
