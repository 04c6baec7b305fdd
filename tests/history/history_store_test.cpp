// The upload history on a real file in a temporary folder.
#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
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
    e.code = "[IMG]" + file + "[/IMG]";
    return e;
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
    ASSERT_EQ(store.Open(file), HistoryOpening::Created) << store.LastError();
    const std::int64_t day = 86400, noon = 43200;  // noon: the same date in every time zone
    std::vector<HistoryEntry> entries = {
        Entry("a.jpg", "aa", "Hoster1", 10 * day + noon),
        Entry("b.JPG", "bb", "catbox", 11 * day + noon),
        Entry("a-again.jpg", "aa", "Hoster1", 12 * day + noon),
        Entry("a-small.jpg", "aa", "Hoster1", 13 * day + noon, "800x600"),
    };
    for (HistoryEntry& e : entries) ASSERT_TRUE(store.Record(e)) << store.LastError();
    EXPECT_EQ(entries[3].id, 4);

    // The newest entry of the same picture, processing and row; a deleted one never.
    EXPECT_EQ(store.FindReusable("aa", "", "Hoster1")->id, 3);
    EXPECT_EQ(store.FindReusable("aa", "800x600", "Hoster1")->code, "[IMG]a-small.jpg[/IMG]");
    EXPECT_FALSE(store.FindReusable("aa", "", "catbox"));
    ASSERT_TRUE(store.MarkDeletedOnHost(3));
    EXPECT_EQ(store.FindReusable("aa", "", "Hoster1")->id, 1);

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
    ASSERT_EQ(again.Open(file), HistoryOpening::Opened);
    const std::vector<HistoryEntry> left = again.List({});
    EXPECT_EQ(Files(left), (std::vector<std::string>{"a-small.jpg", "a-again.jpg"}));
    EXPECT_TRUE(left[1].deletedOnHost);

    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(HistoryStore, MigratesTheFirstLayout) {
    test::TempDir dir;
    const std::string file = HistoryFile(dir.path());
    RunSql(file, R"(
        CREATE TABLE uploads (id INTEGER PRIMARY KEY, uploaded_at INTEGER NOT NULL,
            hoster_id TEXT NOT NULL, hoster_name TEXT NOT NULL, upload_url TEXT NOT NULL,
            file_path TEXT NOT NULL, file_bytes INTEGER NOT NULL, original_sha256 TEXT NOT NULL,
            sent_sha256 TEXT NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL,
            code TEXT NOT NULL, url TEXT NOT NULL, thumbnail_url TEXT NOT NULL,
            deletion_url TEXT NOT NULL);
        CREATE INDEX uploads_by_picture ON uploads (original_sha256, hoster_id);
        CREATE INDEX uploads_newest ON uploads (uploaded_at);
        INSERT INTO uploads VALUES (7, 100, 'Hoster2', 'Two', 'http://two/up', '/p/x.jpg', 5,
            'cafe', 'cafe', 640, 480, '[IMG]x[/IMG]', 'http://two/x', '', '');
        PRAGMA application_id = 1282754665;
        PRAGMA user_version = 1;)");

    HistoryStore store;
    ASSERT_EQ(store.Open(file), HistoryOpening::Opened) << store.LastError();
    const std::optional<HistoryEntry> found = store.FindReusable("cafe", "", "Hoster2");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, 7);
    EXPECT_EQ(found->width, 640);
    HistoryEntry next = Entry("y.jpg", "beef", "Hoster2", 200, "q80");
    ASSERT_TRUE(store.Record(next));
    EXPECT_EQ(store.List({}).size(), 2u);
}

// What stands where history.sqlite should be, and what Open must make of it.
TEST(HistoryStore, SetsBrokenAndForeignFilesAside) {
    const struct {
        const char* sql;  // run by SQLite on the file; nullptr: random bytes
        HistoryOpening opening;
    } cases[] = {
        {nullptr, HistoryOpening::ReplacedBroken},
        {"CREATE TABLE notes (t TEXT); INSERT INTO notes VALUES ('keep');",
         HistoryOpening::ReplacedBroken},
        {"CREATE TABLE uploads (x); PRAGMA application_id = 1282754665; PRAGMA user_version = 9;",
         HistoryOpening::Failed},  // a newer Lumar's file: left for it
    };
    std::string noise(8192, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 % 251);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql ? c.sql : "random bytes");
        test::TempDir dir;
        const std::string file = HistoryFile(dir.path());
        if (c.sql) RunSql(file, c.sql);
        if (!c.sql) dir.write("history.sqlite", noise);
        const std::string before = dir.read("history.sqlite");

        HistoryStore store;
        ASSERT_EQ(store.Open(file), c.opening);
        if (c.opening == HistoryOpening::Failed) {
            EXPECT_EQ(dir.read("history.sqlite"), before);
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
            bool ok = opening == HistoryOpening::Created || opening == HistoryOpening::Opened;
            for (int i = 0; ok && i < kEach; ++i) {
                HistoryEntry e = Entry(std::to_string(child) + "-" + std::to_string(i) + ".jpg",
                                       "s", "Hoster1", i);
                ok = store.Record(e);
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
    ASSERT_EQ(store.Open(file), HistoryOpening::Opened);
    EXPECT_EQ(store.List({}).size(), 2u * kEach);
}

}  // namespace
}  // namespace lumar
