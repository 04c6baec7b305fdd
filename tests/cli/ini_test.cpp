// lumar-cli's small commands (ini, jpeg-info, list) and its help, run as a separate program
// the way scripts use it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

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

}  // namespace
}  // namespace lumar
