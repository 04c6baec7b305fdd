// The upload history on a real file in a temporary folder.
#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace lumar {
namespace {

HistoryEntry Entry(const std::string& file, const std::string& sha, const std::string& hoster,
                   std::int64_t at, const std::string& processing = "") {
    HistoryEntry e;
    e.uploadedAt = at;
    e.hosterId = hoster;
    e.hosterName = hoster + " Name";
    e.filePath = "/pics/Holiday/" + file;
    e.originalSha256 = sha;
    e.processing = processing;
    e.reuseKey = "https://" + hoster + ".test/up|file";
    e.code = "[IMG]" + file + "[/IMG]";
    return e;
}

std::string KeyOf(const std::string& hoster) {
    return "https://" + hoster + ".test/up|file";
}

std::vector<std::string> Files(const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> names;
    for (const HistoryEntry& e : entries)
        names.push_back(e.filePath.substr(e.filePath.rfind('/') + 1));
    return names;
}

void RunSql(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(HistoryStore, RecordsFindsListsAndForgets) {
    test::TempDir dir;
    const std::string file = HistoryFile(dir.path());
    HistoryStore store;
    ASSERT_EQ(store.Open(file), HistoryOpening::kCreated) << store.LastError();
    const std::int64_t day = 86400, noon = 43200;  // noon: the same date in every time zone
    std::vector<HistoryEntry> entries = {
        Entry("a.jpg", "aa", "Hoster1", 10 * day + noon),
        Entry("b.JPG", "bb", "catbox", 11 * day + noon),
        Entry("a-again.jpg", "aa", "Hoster1", 12 * day + noon),
        Entry("a-small.jpg", "aa", "Hoster1", 13 * day + noon, "800x600"),
        Entry("c.jpg", "cc", "Hoster1", 14 * day + noon),
        Entry("c-again.jpg", "cc", "Hoster1", 15 * day + noon),
    };
    entries[4].reuseKey = "";  // as an older layout left it
    for (HistoryEntry& e : entries) ASSERT_TRUE(store.Record(e)) << store.LastError();
    EXPECT_EQ(entries[3].id, 4);

    // The newest entry of the same picture, processing, row and destination; one deleted on
    // the host, one whose deletion page was opened, one without a destination never.
    const std::string one = KeyOf("Hoster1");
    EXPECT_EQ(store.FindReusable("aa", "", "Hoster1", one)->id, 3);
    EXPECT_EQ(store.FindReusable("aa", "800x600", "Hoster1", one)->code, "[IMG]a-small.jpg[/IMG]");
    EXPECT_FALSE(store.FindReusable("aa", "", "catbox", KeyOf("catbox")));
    EXPECT_FALSE(store.FindReusable("aa", "", "Hoster1", KeyOf("elsewhere")));
    EXPECT_FALSE(store.FindReusable("cc", "", "Hoster1", ""));
    ASSERT_TRUE(store.MarkDeletedOnHost(3));
    EXPECT_EQ(store.FindReusable("aa", "", "Hoster1", one)->id, 1);
    ASSERT_TRUE(store.MarkDeletionOpened(1));
    EXPECT_FALSE(store.FindReusable("aa", "", "Hoster1", one));
    EXPECT_EQ(store.FindReusable("cc", "", "Hoster1", one)->id, 6);
    ASSERT_TRUE(store.MarkDeletionOpened(6));
    EXPECT_FALSE(store.FindReusable("cc", "", "Hoster1", one));  // nor the one without a key
    ASSERT_TRUE(store.Forget({5, 6}));

    // The date and hoster filters are the command line's to show.
    struct Case {
        std::string text;
        int limit;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"", 0, {"a-small.jpg", "a-again.jpg", "b.JPG", "a.jpg"}},
        {"b.jpg", 0, {"b.JPG"}},
        {"holiday", 0, {}},  // the folder is no part of the file name
        {"CATBOX NA", 0, {"b.JPG"}},
        {"1970-01-13", 0, {"a-again.jpg"}},
        {"", 2, {"a-small.jpg", "a-again.jpg"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Files(store.List({{}, "", c.text, c.limit})), c.files) << c.text;

    EXPECT_EQ(Files(store.ByIds({2, 42, 1})), (std::vector<std::string>{"b.JPG", "a.jpg"}));
    ASSERT_TRUE(store.Forget({1, 2}));
    HistoryStore again;
    ASSERT_EQ(again.Open(file), HistoryOpening::kOpened);
    const std::vector<HistoryEntry> left = again.List({});
    EXPECT_EQ(Files(left), (std::vector<std::string>{"a-small.jpg", "a-again.jpg"}));
    EXPECT_TRUE(left[1].deletedOnHost);

    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Files of every older layout: their entries are listed, classic rows under their rows' IDs,
// but none is reused, as none knows where its picture went.
TEST(HistoryStore, MigratesEveryOlderLayout) {
    constexpr const char* kFirst = R"(
        CREATE TABLE uploads (id INTEGER PRIMARY KEY, uploaded_at INTEGER NOT NULL,
            hoster_id TEXT NOT NULL, hoster_name TEXT NOT NULL, upload_url TEXT NOT NULL,
            file_path TEXT NOT NULL, file_bytes INTEGER NOT NULL, original_sha256 TEXT NOT NULL,
            sent_sha256 TEXT NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL,
            code TEXT NOT NULL, url TEXT NOT NULL, thumbnail_url TEXT NOT NULL,
            deletion_url TEXT NOT NULL);
        CREATE INDEX uploads_by_picture ON uploads (original_sha256, hoster_id);
        CREATE INDEX uploads_newest ON uploads (uploaded_at);
        INSERT INTO uploads VALUES (7, 100, 'classic-2', 'Two', 'http://two/up', '/p/x.jpg', 5,
            'cafe', 'cafe', 640, 480, '[IMG]x[/IMG]', 'http://two/x', 'http://two/t', '');
        PRAGMA application_id = 1282754665;)";
    const struct {
        std::string sql;
        const char* hosterId;
    } layouts[] = {
        {std::string(kFirst) + "PRAGMA user_version = 1;", "Hoster2"},
        {std::string(kFirst) + R"(
            ALTER TABLE uploads ADD COLUMN processing TEXT NOT NULL DEFAULT '';
            ALTER TABLE uploads ADD COLUMN deleted_on_host INTEGER NOT NULL DEFAULT 0;
            DROP INDEX uploads_by_picture;
            DROP INDEX uploads_newest;
            CREATE INDEX uploads_for_reuse ON uploads (original_sha256, processing, hoster_id);
            UPDATE uploads SET hoster_id = 'classic-12', processing = 'strip';
            PRAGMA user_version = 2;)",
         "Hoster12"},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.hosterId);
        test::TempDir dir;
        const std::string file = HistoryFile(dir.path());
        RunSql(file, layout.sql.c_str());

        HistoryStore store;
        ASSERT_EQ(store.Open(file), HistoryOpening::kOpened) << store.LastError();
        HistoryQuery ofRow;
        ofRow.hosterId = layout.hosterId;
        const std::vector<HistoryEntry> old = store.List(ofRow);
        ASSERT_EQ(old.size(), 1u);
        EXPECT_EQ(old[0].id, 7);
        EXPECT_EQ(old[0].thumbnailUrl, "http://two/t");
        EXPECT_EQ(old[0].reuseKey, "");
        for (const char* key : {"", "http://two/up|file"})
            EXPECT_FALSE(store.FindReusable("cafe", old[0].processing, layout.hosterId, key));
        HistoryEntry next = Entry("y.jpg", "cafe", layout.hosterId, 200, old[0].processing);
        ASSERT_TRUE(store.Record(next));
        EXPECT_EQ(
            store.FindReusable("cafe", old[0].processing, layout.hosterId, KeyOf(layout.hosterId))
                ->id,
            8);
        RunSql(file, "INSERT INTO claims VALUES ('cafe', '', 'k', 1, 2, 3)");
    }
}

// What stands where history.sqlite should be, and what Open must make of it: a file it
// cannot use is left as it is and said why, a FIFO without waiting for a writer.
TEST(HistoryStore, SetsBrokenAndForeignFilesAsideAndSaysWhyOthersFail) {
    const struct {
        const char* make;  // SQL run on the file, or "noise", "folder", "fifo"
        HistoryOpening opening;
        Reason problem = {};  // its arguments after the file
    } cases[] = {
        {"noise", HistoryOpening::kReplacedBroken},
        {"CREATE TABLE notes (t TEXT); INSERT INTO notes VALUES ('keep');",
         HistoryOpening::kReplacedBroken},
        {"CREATE TABLE uploads (x); PRAGMA application_id = 1282754665; PRAGMA user_version = 9;",
         HistoryOpening::kFailed, Reason(ReasonCode::kHistoryNewer, {"9"})},  // left for it
        {"folder", HistoryOpening::kFailed,
         Reason(ReasonCode::kHistoryUnusable, {"a folder stands in its place"})},
        {"fifo", HistoryOpening::kFailed,
         Reason(ReasonCode::kHistoryUnusable, {"not a regular file"})},
    };
    std::string noise(8192, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 % 251);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.make);
        test::TempDir dir;
        const std::string file = HistoryFile(dir.path());
        const std::string make = c.make;
        if (make == "noise") dir.write("history.sqlite", noise);
        if (make == "folder") ::mkdir(file.c_str(), 0700);
        if (make == "fifo") ::mkfifo(file.c_str(), 0600);
        if (make.starts_with("CREATE")) RunSql(file, c.make);
        const std::string before =
            make == "folder" || make == "fifo" ? "" : dir.read("history.sqlite");

        HistoryStore store;
        ASSERT_EQ(store.Open(file), c.opening);
        if (c.opening == HistoryOpening::kFailed) {
            EXPECT_EQ(before.empty() ? "" : dir.read("history.sqlite"), before);
            Reason problem = c.problem;
            problem.args.insert(problem.args.begin(), file);
            EXPECT_EQ(store.Problem(), problem);
            continue;
        }
        const std::string aside = store.SetAsidePath();
        ASSERT_EQ(aside.rfind(file + ".broken-", 0), 0u) << aside;
        EXPECT_EQ(dir.read(aside.substr(dir.path().size() + 1)), before);
    }
}

TEST(HistoryStore, TwoProcessesWriteAtOnce) {
    test::TempDir dir;
    const std::string file = HistoryFile(dir.path());
    constexpr int kEach = 200;
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HistoryStore store;
            const HistoryOpening opening = store.Open(file);
            bool ok = opening == HistoryOpening::kCreated || opening == HistoryOpening::kOpened;
            for (int i = 0; ok && i < kEach; ++i) {
                HistoryEntry e = Entry(std::to_string(child) + "-" + std::to_string(i) + ".jpg",
                                       "s", "Hoster1", i);
                ok = store.Record(e).Ok();
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HistoryStore store;
    ASSERT_EQ(store.Open(file), HistoryOpening::kOpened);
    EXPECT_EQ(store.List({}).size(), 2u * kEach);
}

}  // namespace
}  // namespace lumar
