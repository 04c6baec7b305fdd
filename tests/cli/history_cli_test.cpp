// lumar-cli history on entries recorded through the store, run the way scripts use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "history/history_store.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;

TEST(CliHistory, ListsSearchesPostsAndForgets) {
    test::TempDir dir;
    dir.write("cfg/Lumar.ini", "[Bilder]\r\nWerbung=0\r\nCenter=0\r\n");
    {
        HistoryStore store;
        ASSERT_EQ(store.Open(HistoryFile(dir.file("cfg"))), HistoryOpening::Created);
        const std::int64_t jan1 = 1704067200;  // 2024-01-01 00:00 UTC
        const struct {
            const char* hoster;
            const char* file;
            const char* code;
        } uploads[] = {
            {"Hoster1", "/p/a.jpg", "[URL=http://h/a][IMG]http://h/ta.jpg[/IMG][/URL]"},
            {"catbox", "/p/b.jpg", "[IMG]http://c/b.jpg[/IMG]"},
            {"Hoster1", "/p/c d.jpg", "[IMG]http://h/c.jpg[/IMG]"},
        };
        std::int64_t at = jan1 + 3600;
        for (const auto& u : uploads) {
            HistoryEntry e;
            e.uploadedAt = at;
            at += 86400;
            e.hosterId = u.hoster;
            e.hosterName = std::string(u.hoster) + " Name";
            e.filePath = u.file;
            e.code = u.code;
            ASSERT_TRUE(store.Record(e));
        }
    }
    const std::string err = dir.file("err");
    auto run = [&](const std::string& args) {
        return test::RunShell("TZ=UTC '" + std::string(LUMAR_CLI_PATH) + "' --config-dir '" +
                                  dir.file("cfg") + "' history " + args + " 2>" + err,
                              err);
    };
    struct Case {
        const char* args;
        int status;
        const char* out;  // whole standard output
    } const cases[] = {
        {"list --since 2024-01-02", 0,
         "3\t2024-01-03 01:00:00\tHoster1 Name\t/p/c d.jpg\t[IMG]http://h/c.jpg[/IMG]\n"
         "2\t2024-01-02 01:00:00\tcatbox Name\t/p/b.jpg\t[IMG]http://c/b.jpg[/IMG]\n"},
        {"search B.JP", 0,
         "2\t2024-01-02 01:00:00\tcatbox Name\t/p/b.jpg\t[IMG]http://c/b.jpg[/IMG]\n"},
        {"posting 3 1 --html", 0,
         "<img src=http://h/c.jpg border=0> <a href=http://h/a><img src=http://h/ta.jpg "
         "border=0></a> "},
        {"posting 3 1 --markdown --split 1 --part 2", 0, "[![a](http://h/ta.jpg)](http://h/a)"},
        {"list --since 2024-02-30", 2, ""},
        {"posting 2 99", 1, "[IMG]http://c/b.jpg[/IMG] "},
        {"forget 1 2", 0, ""},
        {"list --hoster 1", 0,
         "3\t2024-01-03 01:00:00\tHoster1 Name\t/p/c d.jpg\t[IMG]http://h/c.jpg[/IMG]\n"},
    };
    for (const Case& c : cases) {
        const test::CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
    }
    EXPECT_THAT(run("posting 2 99").err, HasSubstr("no entry 99"));
    EXPECT_THAT(run("list --json").out, HasSubstr("\"id\": 3,\n    \"uploadedAt\": 1704243600,"));
}

}  // namespace
}  // namespace lumar
