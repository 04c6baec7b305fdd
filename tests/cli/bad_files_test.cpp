// lumar-cli with files and settings that went bad: every image named gets its own line on
// stderr, the exit code says that not everything was uploaded, and nothing hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "hoster_emulator/hoster_emulator.h"
#include "shell/settings_store.h"
#include "support/cli_runner.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using test::CliRun;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

class CliBadFilesTest : public ::testing::Test {
protected:
    CliBadFilesTest() {
        dir.write("cfg/hosters.ini", emulator.HostersIni());
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Werbung", "0");
        test::WriteJpeg(dir.file("pics/good one.jpg"), 20, 10);
        dir.write("pics/empty.jpg", "");
        ::mkfifo(dir.file("pics/fifo.jpg").c_str(), 0644);
        ::symlink(dir.file("pics/gone.jpg").c_str(), dir.file("pics/dangling.jpg").c_str());
        ::mkdir(dir.file("pics/folder.jpg").c_str(), 0755);
    }

    // Runs lumar-cli from the temporary folder; `timeout` ends a run that hangs.
    CliRun Run(const std::string& configDir, const std::string& arguments) {
        const std::string command = "cd '" + dir.path() + "' && timeout -s KILL 60 " + LUMAR_CLI_PATH +
                                    " --config-dir '" + configDir + "' " + arguments + " 2>'" +
                                    dir.file("stderr.txt") + "'";
        return test::RunShell(command, dir.file("stderr.txt"));
    }

    test::TempDir dir;
    tools::HosterEmulator emulator;
};

TEST_F(CliBadFilesTest, EveryNamedFileThatIsNoImageIsNamedAndTheRunFails) {
    const CliRun run = Run("cfg",
                           "upload --hoster 4 --no-center 'pics/good one.jpg' pics/empty.jpg pics/fifo.jpg "
                           "pics/dangling.jpg pics/missing.jpg");
    EXPECT_EQ(run.status, 1);
    const std::string not_jpeg = ": not a readable JPEG image";
    EXPECT_EQ(Lines(run.err), (std::vector<std::string>{
                                  "lumar-cli: " + dir.file("pics/empty.jpg") + not_jpeg,
                                  "lumar-cli: " + dir.file("pics/fifo.jpg") + not_jpeg,
                                  "lumar-cli: " + dir.file("pics/dangling.jpg") + not_jpeg,
                                  "lumar-cli: " + dir.file("pics/missing.jpg") + not_jpeg,
                                  "Upload von Bild: " + dir.file("pics/good one.jpg") + "...erfolgreich !",
                              }));
    ASSERT_EQ(emulator.Uploads().size(), 1u);
    EXPECT_EQ(run.out, emulator.Uploads()[0].code + " ");  // the posting of what did arrive
}

TEST_F(CliBadFilesTest, AFolderScanSkipsWhatIsNoImageWithoutComplaint) {
    // Inside a folder only the scan decides; the good image is uploaded and the run succeeds.
    const CliRun run = Run("cfg", "upload --hoster 4 --no-center pics");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Lines(run.err), (std::vector<std::string>{"Upload von Bild: " + dir.file("pics/good one.jpg") +
                                                         "...erfolgreich !"}));
}

TEST_F(CliBadFilesTest, ImagesThatFailAtTheHostGetOneLineEach) {
    emulator.SetMisbehaviour(tools::Misbehaviour::NoMarkers);
    test::WriteJpeg(dir.file("two/a.jpg"), 8, 8);
    test::WriteJpeg(dir.file("two/b.jpg"), 8, 8);
    const CliRun run = Run("cfg", "upload --hoster 4 two");
    EXPECT_EQ(run.status, 1);
    const std::string failed = "...fehlgeschlagen ! (kein Code in der Antwort)";
    // One line per image, then the end-of-run notice that not everything arrived.
    EXPECT_EQ(Lines(run.err), (std::vector<std::string>{"Upload von Bild: " + dir.file("two/a.jpg") + failed,
                                                         "Upload von Bild: " + dir.file("two/b.jpg") + failed,
                                                         "Lumar V1 - Information: Es wurden nicht alle Bilder "
                                                         "erfolgreich hochgeladen...."}));
}

TEST_F(CliBadFilesTest, GarbageOrMissingSettingsFilesFallBackToDefaults) {
    // A Lumar.ini of random bytes and a folder named language.ini: the German defaults apply
    // and the upload still works.
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    dir.write("bad/Lumar.ini", garbage);
    dir.write("bad/hosters.ini", emulator.HostersIni());
    ::mkdir(dir.file("bad/language.ini").c_str(), 0755);
    const CliRun run = Run("bad", "upload --hoster 4 --no-center 'pics/good one.jpg'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(emulator.Uploads().size(), 1u);
    // The totals were added to the damaged file without losing a byte of it.
    EXPECT_EQ(dir.read("bad/Lumar.ini").substr(0, garbage.size()), garbage);
    EXPECT_EQ(ReadValue(dir.file("bad/Lumar.ini"), "Stat", "Files", ""), "1");
}

TEST_F(CliBadFilesTest, SettingsFolderThatCannotBeCreatedIsNamed) {
    dir.write("plain", "a file, not a folder");
    const CliRun run = Run("plain/cfg", "ini set plain/cfg/Lumar.ini Bilder Timeout 5");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("plain/cfg/Lumar.ini"), std::string::npos) << run.err;
    EXPECT_EQ(dir.read("plain"), "a file, not a folder");

    // Any command says up front that settings will not be kept, naming the folder.
    const CliRun list = Run("plain/cfg", "list pics");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(Lines(list.err), (std::vector<std::string>{"lumar-cli: settings cannot be saved in plain/cfg/ (Not a directory)"}));
}

}  // namespace
}  // namespace lumar
