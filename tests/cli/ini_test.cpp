// lumar-cli's small commands (ini, jpeg-info, list, history) and its help, run as a separate
// program the way scripts use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <tuple>

#include "history/history_store.h"
#include "shell/file_io.h"
#include "support/cli_runner.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

// No argument here holds a single quote.
test::CliRun RunCli(const std::vector<std::string>& args) {
    test::TempDir dir;
    std::string command = LUMAR_CLI_PATH;
    for (const std::string& a : args) command += " '" + a + "'";
    return test::RunShell(command + " 2>'" + dir.file("err") + "'", dir.file("err"));
}

// get prints what Lumar reads (or the default) and a newline; set changes one key (how the file
// is read and kept, and which values are refused, is the settings store's to show).
TEST(CliIni, GetAndSetAsLumarReadsAndWrites) {
    test::TempDir dir;
    const std::string ini = dir.file("Lumar.ini");
    EXPECT_EQ(RunCli({"ini", "get", ini, "Bilder", "Timeout", "120"}).out, "120\n");
    const test::CliRun set = RunCli({"ini", "set", ini, "Sound", "Soundfile", "/a b/ding.mp3"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(RunCli({"ini", "get", ini, "Sound", "Soundfile"}).out, "/a b/ding.mp3\n");
    EXPECT_EQ(dir.read("Lumar.ini"), "[Sound]\r\nSoundfile=/a b/ding.mp3\r\n");
}

TEST(CliIni, BadUsageExitsWithTwoAndShowsTheUsage) {
    const std::vector<std::string> cases[] = {
        {}, {"ini", "get", "f.ini", "S"}, {"ini", "remove", "f.ini", "S", "K"}, {"--config-dir"}};
    for (const std::vector<std::string>& args : cases) {
        const test::CliRun r = RunCli(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(r.err.find("Usage: lumar-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    for (const char* pathless : {"list", "jpeg-info"}) EXPECT_EQ(RunCli({pathless}).status, 2);
}

// Help and version go to standard output; the manual page keeps up with the help: every
// command it lists, and every option of every command, has its entry there.
TEST(CliHelp, HelpVersionAndTheManualPageAgree) {
    EXPECT_EQ(RunCli({"--version"}).out, std::string("lumar-cli ") + LUMAR_VERSION + "\n");
    const test::CliRun help = RunCli({"--help"});
    ASSERT_EQ(help.status, 0);
    const std::string man = ReadFileBytes(std::string(LUMAR_SOURCE_DIR) + "/packaging/lumar-cli.1")
                                .value_or(std::string());
    ASSERT_FALSE(man.empty());
    // groff writes a '-' in an option as "\-".
    auto inMan = [&](std::string word) {
        std::string escaped;
        for (char c : word) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
        return man.find(escaped) != std::string::npos;
    };
    int commands = 0;
    std::istringstream lines(help.out.substr(help.out.find("Commands:")));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  ", 0) != 0 || line.rfind("   ", 0) == 0) continue;  // command lines only
        std::istringstream words(line);
        std::string name;
        if (!(words >> name) || name.starts_with("--")) continue;  // the global options block
        ++commands;
        EXPECT_TRUE(inMan("\\fB" + name)) << name;
        for (std::string word; words >> word;) {
            const size_t dash = word.find("--");
            EXPECT_TRUE(dash == std::string::npos ||
                        inMan(word.substr(dash, word.find_first_of("]|=", dash) - dash)))
                << word;
        }
    }
    EXPECT_GE(commands, 5);
    EXPECT_TRUE(inMan("--config-dir"));
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

TEST(Cli, JpegInfoGivesOneLinePerFileInArgumentOrder) {
    test::TempDir dir;
    const std::size_t size = test::WriteJpeg(dir.file("a b.jpg"), 640, 480);
    const std::string png = dir.write("x.jpg", "\x89PNG....");
    const test::CliRun run = RunCli({"jpeg-info", dir.file("a b.jpg"), png, dir.file("missing")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "1\t640\t480\t" + std::to_string(size) + "\t" + dir.file("a b.jpg") + "\n" +
                           "0\t0\t0\t8\t" + png + "\n" + "0\t0\t0\t0\t" + dir.file("missing") +
                           "\n");
}

TEST(Cli, ListNamesWhatItsScanLeavesOut) {
    // Permission bits do not bind root, so the scan runs as a plain user.
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    test::WriteJpeg(dir.file("d/open.jpg"), 4, 4);
    test::WriteJpeg(dir.file("d/closed/inner.jpg"), 4, 4);
    const std::string deep = test::WriteTooDeepJpeg(dir.file("d/deep"));
    ASSERT_EQ(::chmod(dir.file("d/closed").c_str(), 0), 0);
    const std::string user =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const test::CliRun run =
        test::RunShell(user + LUMAR_CLI_PATH + " --config-dir " + Quoted(dir.file("cfg")) +
                           " list " + Quoted(dir.file("d")) + " 2>" + Quoted(dir.file("err.txt")),
                       dir.file("err.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "open.jpg\t" + dir.file("d/") + "\t   4\t   4\t    .2\n");
    EXPECT_NE(run.err.find("lumar-cli: " + dir.file("d/closed") +
                           ": folder cannot be read (Permission denied)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("lumar-cli: " + deep + ": path too long to open"), std::string::npos)
        << run.err;
}

// history on entries recorded through the store.
TEST(CliHistory, ListsSearchesPostsAndForgets) {
    test::TempDir dir;
    dir.write("cfg/Lumar.ini", "[Bilder]\r\nWerbung=0\r\nCenter=0\r\n");
    {
        HistoryStore store;
        ASSERT_EQ(store.Open(HistoryFile(dir.file("cfg"))), HistoryOpening::Created);
        std::int64_t at = 1704070800;  // 2024-01-01 01:00 UTC, then a day later each
        for (const auto& [hoster, file, code] :
             {std::tuple{"Hoster1", "/p/a.jpg", "[URL=http://h/a][IMG]http://h/ta.jpg[/IMG][/URL]"},
              std::tuple{"catbox", "/p/b.jpg", "[IMG]http://c/b.jpg[/IMG]"},
              std::tuple{"Hoster1", "/p/c d.jpg", "[IMG]http://h/c.jpg[/IMG]"}}) {
            HistoryEntry e;
            e.uploadedAt = at;
            at += 86400;
            e.hosterId = hoster;
            e.hosterName = std::string(hoster) + " Name";
            e.filePath = file;
            e.code = code;
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
    EXPECT_THAT(run("posting 2 99").err, ::testing::HasSubstr("no entry 99"));
    EXPECT_THAT(run("list --json").out,
                ::testing::HasSubstr("\"id\": 3,\n    \"uploadedAt\": 1704243600,"));
}

}  // namespace
}  // namespace lumar
