// lumar-cli ini, run as a separate program the way scripts use it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "shell/file_io.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using Result = test::CliRun;

std::string Quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result RunCli(const std::vector<std::string>& args) {
    test::TempDir dir;
    std::string command = Quoted(LUMAR_CLI_PATH);
    for (const std::string& a : args) command += " " + Quoted(a);
    return test::RunShell(command + " 2>" + Quoted(dir.file("err")), dir.file("err"));
}

// get prints what Lumar reads (or the default) and a newline; set changes one key, keeping the
// rest of the file, and refuses a value that would break the line structure.
TEST(CliIni, GetAndSetAsLumarReadsAndWrites) {
    test::TempDir dir;
    const std::string ini =
        dir.write("Lumar.ini", "; mine\r\n[bilder]\r\ntimeout=  45  \r\n[Stat]\r\nFiles=3\r\n");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* out;
    } steps[] = {
        {{"get", ini, "Bilder", "Timeout", "120"}, 0, "45\n"},
        {{"get", dir.file("missing.ini"), "Frame0", "001", "-> Bilder "}, 0, "-> Bilder\n"},
        {{"get", ini, "Bilder", "Preview"}, 0, "\n"},
        {{"set", ini, "Bilder", "TIMEOUT", "30"}, 0, ""},
        {{"set", ini, "Sound", "Soundfile", "/a b/ding.mp3"}, 0, ""},
        {{"get", ini, "Sound", "Soundfile"}, 0, "/a b/ding.mp3\n"},
        {{"set", ini, "Bilder", "Timeout", "1\n[Evil]"}, 1, ""},
    };
    for (const auto& step : steps) {
        std::vector<std::string> args = {"ini"};
        args.insert(args.end(), step.args.begin(), step.args.end());
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, step.status) << step.args[0] << " " << step.args[3];
        EXPECT_EQ(r.out, step.out) << step.args[0] << " " << step.args[3];
    }
    EXPECT_EQ(dir.read("Lumar.ini"),
              "; mine\r\n[bilder]\r\ntimeout=30\r\n[Stat]\r\nFiles=3\r\n[Sound]\r\nSoundfile=/a "
              "b/ding.mp3\r\n");
}

TEST(CliIni, BadUsageExitsWithTwoAndShowsTheUsage) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"ini"},
                                               {"ini", "get", "f.ini", "S"},
                                               {"ini", "set", "f.ini", "S", "K"},
                                               {"ini", "remove", "f.ini", "S", "K"},
                                               {"no-such-command"},
                                               {"--config-dir"}}) {
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(r.err.find("Usage: lumar-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
}

// Help and version go to standard output; the manual page keeps up with the help: every
// command it lists, and every option of every command, has its entry there.
TEST(CliHelp, HelpVersionAndTheManualPageAgree) {
    const Result version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("lumar-cli ") + LUMAR_VERSION + "\n");
    const Result help = RunCli({"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("ini get FILE SECTION KEY"), std::string::npos);
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
        words >> name;
        if (name.rfind("--", 0) == 0) continue;  // the global options block
        ++commands;
        EXPECT_TRUE(inMan("\\fB" + name)) << name;
        for (std::string word; words >> word;) {
            const size_t dash = word.find("--");
            if (dash == std::string::npos) continue;
            std::string option = word.substr(dash);
            option = option.substr(0, option.find_first_of("]|="));
            EXPECT_TRUE(inMan(option)) << name << " " << option;
        }
    }
    EXPECT_GE(commands, 5);
    for (const char* global : {"--config-dir", "--help", "--version"})
        EXPECT_TRUE(inMan(global)) << global;
}

}  // namespace
}  // namespace lumar
