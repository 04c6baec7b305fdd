#pragma once
// The upload history: every image a run uploaded, kept in one SQLite file (history.sqlite in
// the settings folder) so that a picture is not sent twice to the same row and the codes of
// past uploads outlive the window. The window and lumar-cli may have the file open at once
// (WAL, a busy time-out); each write is its own transaction, committed before it returns, and
// opening a file in the current layout writes nothing.
//
// Errors in this room: nothing throws. Open reports what it had to do with the file (a
// corrupt or foreign one is renamed aside and a new one started) and, when it failed, why
// (Problem()); Record says why an entry could not be written; the other calls return false or
// an empty result and leave the reason in LastError().
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/outcome.h"

namespace lumar {

// One past upload as the history keeps it.
struct HistoryEntry {
    std::int64_t id = 0;          // the row's number in the file, given by Record
    std::int64_t uploadedAt = 0;  // seconds since 1970 (UTC)
    std::string hosterId;         // the row's ID (HosterDef::Id)
    std::string hosterName;       // as the hoster list shows it
    std::string uploadUrl;        // where the image was sent
    std::string filePath;         // the original file
    std::int64_t fileBytes = 0;   // of the original file
    std::string originalSha256;   // hex, lower case, of the original file's bytes
    std::string processing;       // ProcessingOptions::Key() of the run ("" = sent as it was)
    std::string sentSha256;       // hex of the bytes actually sent
    int width = 0;
    int height = 0;
    std::string code;            // the forum code that went into the posting
    std::string url;             // the image's address, where the row reads one
    std::string thumbnailUrl;    // "" when the row gives none
    std::string deletionUrl;     // "" when the row gives none
    bool deletedOnHost = false;  // the host confirmed its deletion: never reused
    // Where the picture went (ReuseKey of the row); "" for entries of older layouts, which
    // are listed but never reused.
    std::string reuseKey;
    // What the host's answer to the deletion address shows when it deleted the picture (the
    // row's DeletionConfirm); "" when the row does not say: the page is opened for the user.
    std::string deletionConfirm;
    // The deletion page was opened for the user, who may have deleted the picture there:
    // never reused.
    bool deletionOpened = false;
};

// What to list; empty fields do not filter.
struct HistoryQuery {
    std::optional<std::int64_t> since;  // uploadedAt >= since
    std::string hosterId;
    std::string text;  // part of the file name, the hoster's name or the date (YYYY-MM-DD)
    int limit = 0;     // 0 = all
};

// What Open had to do.
enum class HistoryOpening {
    kOpened,          // an existing file, possibly migrated to the current schema
    kCreated,         // there was none
    kReplacedBroken,  // the file was corrupt or not ours: renamed aside (see SetAsidePath)
    kFailed,          // no history this session (LastError says why); uploads go on without it
};

// What stands in the way of sending a picture: nothing (it is claimed for this process now),
// or a claim of another process that is still running.
struct PictureClaim {
    bool taken = false;
    std::int64_t holder = 0;  // the other process's id when not taken
};

// One store is used by one thread at a time; each opens its own store on the same file.
class HistoryStore {
  public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens or creates `file` (normally HistoryFile(settingsFolder)). Only a regular file is
    // opened: a folder, FIFO or device in its place fails.
    HistoryOpening Open(const std::string& file);
    // A second connection to the open file of `first`, for another thread (the file is
    // already in the current layout); Failed when `first` is not open.
    HistoryOpening OpenBeside(const HistoryStore& first);
    [[nodiscard]] bool IsOpen() const;
    // The file given to Open.
    [[nodiscard]] const std::string& File() const;
    // Where a broken file was moved by Open ("" when none was).
    [[nodiscard]] const std::string& SetAsidePath() const;
    [[nodiscard]] const std::string& LastError() const;
    // Why the last Open failed, as the run and the windows show it.
    [[nodiscard]] const Reason& Problem() const;

    // Adds a success, committed when this returns without a reason; sets entry.id. This
    // process's claims on the picture with that processing end in the same commit.
    Status Record(HistoryEntry& entry);
    // The newest entry for the same picture, processing, row and reuse key that may be reused
    // (not deleted on the host, no deletion page opened); nullopt when there is none, when
    // `reuseKey` is empty, or when the history is not open.
    std::optional<HistoryEntry> FindReusable(const std::string& originalSha256,
                                             const std::string& processing,
                                             const std::string& hosterId,
                                             const std::string& reuseKey);
    // Newest first: the last recorded entry leads (Record is called as an upload succeeds).
    std::vector<HistoryEntry> List(const HistoryQuery& query);
    // In the order of `ids`; ids the history does not hold are left out.
    std::vector<HistoryEntry> ByIds(const std::vector<std::int64_t>& ids);
    // Removes entries from the history (the images stay on the host).
    bool Forget(const std::vector<std::int64_t>& ids);

    // Claims a picture about to be sent with this processing to this destination, so a second
    // run on the same history waits for it instead of sending it too. A claim of a process
    // that is gone (or whose number now names another process) is taken over. A history that
    // cannot be written claims nothing and stands in no one's way: taken.
    PictureClaim Claim(const std::string& originalSha256, const std::string& processing,
                       const std::string& reuseKey);
    // Gives up this process's claim (after the picture failed; after its success was recorded
    // there is none left, and nothing is written).
    void Release(const std::string& originalSha256, const std::string& processing,
                 const std::string& reuseKey);
    // The host confirmed the deletion: kept for its code, never reused.
    bool MarkDeletedOnHost(std::int64_t id);
    // The deletion page was opened for the user: kept for its code, never reused.
    bool MarkDeletionOpened(std::int64_t id);

  private:
    struct Db;
    bool Mark(std::int64_t id, bool deleted);
    std::unique_ptr<Db> db_;
    std::string file_;
    std::string setAside_;
    std::string error_;
    Reason problem_;
};

// history.sqlite in the settings folder.
std::string HistoryFile(const std::string& settingsFolder);

// An upload's time in the user's time zone as strftime writes it with `format`; "" when the
// time cannot be converted.
std::string LocalTimeText(std::int64_t secondsSince1970, const char* format = "%Y-%m-%d %H:%M");

// Lower-case hex SHA-256 of `bytes`.
std::string Sha256Hex(const std::string& bytes);

}  // namespace lumar
