#include "shell/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace lumar {
namespace {

TEST(SettingsRead, NamesMatchWithoutRegardToCase) {
    const std::string ini = "[bilder]\r\ntimeout=45\r\n[Verzeichnis]\r\nSounddir=C:\\Musik\\\r\n";
    EXPECT_EQ(ReadValueFromText(ini, "Bilder", "Timeout", "120"), "45");
    EXPECT_EQ(ReadValueFromText(ini, "verzeichnis", "SoundDir", ""), "C:\\Musik\\");
}

TEST(SettingsRead, ValueLosesBlanksAndOnePairOfMatchingQuotes) {
    const std::string ini =
        "[S]\nA=  45  \nB=\"C:\\My Sounds\\a.wav\"\nC='x'\nD=\"x'\nE=\"\"q\"\"\nF= \" padded \" \n";
    EXPECT_EQ(ReadValueFromText(ini, "S", "A", ""), "45");
    EXPECT_EQ(ReadValueFromText(ini, "S", "B", ""), "C:\\My Sounds\\a.wav");
    EXPECT_EQ(ReadValueFromText(ini, "S", "C", ""), "x");
    EXPECT_EQ(ReadValueFromText(ini, "S", "D", ""), "\"x'");
    EXPECT_EQ(ReadValueFromText(ini, "S", "E", ""), "\"q\"");
    EXPECT_EQ(ReadValueFromText(ini, "S", "F", ""), " padded ");
}

TEST(SettingsRead, DefaultLosesTrailingBlanksOnly) {
    EXPECT_EQ(ReadValueFromText("", "Frame0", "001", "-> Bilder "), "-> Bilder");
    EXPECT_EQ(ReadValueFromText("[STRINGS]\n", "STRINGS", "021", " erhalten "), " erhalten");
    EXPECT_EQ(ReadValueFromText("[Other]\nkey=1\n", "S", "key", "d"), "d");
    EXPECT_EQ(ReadValueFromText("[S]\nother=1\n", "S", "key", "d"), "d");
}

TEST(SettingsRead, LongValuesAreCutAt1023CharactersAndAtNul) {
    const std::string longValue(2000, 'x');
    EXPECT_EQ(ReadValueFromText("[S]\nk=" + longValue + "\n", "S", "k", "").size(), 1023u);
    EXPECT_EQ(ReadValueFromText(std::string("[S]\nk=ab\0cd\n", 12), "S", "k", ""), "ab");
    EXPECT_EQ(ReadValueFromText("", "S", "k", longValue).size(), 1023u);
    std::string umlauts;
    for (int i = 0; i < 1100; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(ReadValueFromText("[S]\nk=" + umlauts + "\n", "S", "k", "").size(), 2046u);
}

TEST(SettingsRead, FirstSectionAndFirstKeyWinAndCommentsAreSkipped) {
    const std::string ini = "[S]\n;k=comment\nk=first\nk=second\n[S]\nk=third\n[T]\nk=t\n";
    EXPECT_EQ(ReadValueFromText(ini, "S", "k", ""), "first");
    EXPECT_EQ(ReadValueFromText(ini, "T", "k", ""), "t");
    EXPECT_EQ(ReadValueFromText("[S]\n k = v \n", "S", "k", ""), "v");
    EXPECT_EQ(ReadValueFromText("[ S ]\nk=v", "S", "k", ""), "v");
}

TEST(SettingsWrite, ReplacesOneValueAndKeepsEveryOtherByte) {
    const std::string ini =
        "; my settings\r\n[Bilder]\r\nPreview=1\r\nTimeout = 30\r\n\r\n[Custom]\r\nx=y\r\n";
    EXPECT_EQ(SetValueInText(ini, "bilder", "TIMEOUT", "45"),
              "; my settings\r\n[Bilder]\r\nPreview=1\r\nTimeout =45\r\n\r\n[Custom]\r\nx=y\r\n");
}

TEST(SettingsWrite, AddsKeyAtTheEndOfItsSectionAndNewSectionsAtTheEnd) {
    const std::string ini = "[Bilder]\nPreview=1\n\n[Stat]\nFiles=1\n";
    EXPECT_EQ(SetValueInText(ini, "Bilder", "Center", "0"),
              "[Bilder]\nPreview=1\nCenter=0\n\n[Stat]\nFiles=1\n");
    EXPECT_EQ(SetValueInText(ini, "Sound", "SoundAn", "1"),
              "[Bilder]\nPreview=1\n\n[Stat]\nFiles=1\n[Sound]\nSoundAn=1\n");
    EXPECT_EQ(SetValueInText("", "Bilder", "Anbieter", "3"), "[Bilder]\r\nAnbieter=3\r\n");
    EXPECT_EQ(SetValueInText("[S]\nk=1", "S", "j", "2"), "[S]\nk=1\nj=2\n");
    EXPECT_EQ(SetValueInText("x=1", "S", "j", "2"), "x=1\r\n[S]\r\nj=2\r\n");
    // A last line ending in a lone CR is still one line: the new key goes below it.
    EXPECT_EQ(SetValueInText("[S]\r\nw=1\r", "S", "j", "2"), "[S]\r\nw=1\r\r\nj=2\r\n");
}

TEST(SettingsFile, MissingFileGivesDefaultAndFirstWriteCreatesIt) {
    test::TempDir dir;
    const std::string file = dir.file("Lumar.ini");
    EXPECT_EQ(ReadValue(file, "Bilder", "Timeout", 120), "120");
    ASSERT_TRUE(WriteValue(file, "Bilder", "Timeout", "45"));
    EXPECT_EQ(dir.read("Lumar.ini"), "[Bilder]\r\nTimeout=45\r\n");
    EXPECT_EQ(ReadValue(file, "bilder", "timeout", 120), "45");
}

TEST(SettingsFile, ValuesThatWouldBreakTheFileAreNotWritten) {
    test::TempDir dir;
    const std::string file = dir.write("Lumar.ini", "[S]\r\nk=old\r\n");
    EXPECT_FALSE(WriteValue(file, "S", "k", "two\nlines"));
    EXPECT_FALSE(WriteValue(file, "S", "k=x", "v"));
    EXPECT_FALSE(WriteValue(file, "S]", "k", "v"));
    EXPECT_EQ(dir.read("Lumar.ini"), "[S]\r\nk=old\r\n");
}

TEST(SettingsFile, WriteIntoAFolderThatCannotExistFails) {
    test::TempDir dir;
    dir.write("plain", "not a folder");
    EXPECT_FALSE(WriteValue(dir.file("plain/Lumar.ini"), "S", "k", "v"));
    EXPECT_EQ(dir.read("plain"), "not a folder");
}

// As an ordinary user: a write-protected file is refused (a rename would replace it), a
// writable file in a folder that takes no new files is rewritten in place, and when neither
// may be written nothing changes.
TEST(SettingsFile, WritesFollowThePermissionsOfFileAndFolder) {
    struct Case {
        mode_t folderMode, fileMode;
        bool written;
    };
    for (const Case c :
         {Case{0777, 0444, false}, Case{0555, 0666, true}, Case{0555, 0644, false}}) {
        test::TempDir dir;
        const std::string file = dir.write("cfg/Lumar.ini", "[S]\r\nk=old\r\n");
        chmod(dir.path().c_str(), 0755);
        chmod(file.c_str(), c.fileMode);
        chmod(dir.file("cfg").c_str(), c.folderMode);
        const int status =
            test::RunUnprivileged([&] { return WriteValue(file, "S", "k", "new") ? 0 : 1; });
        ASSERT_EQ(status, c.written ? 0 : 1) << std::oct << c.folderMode << " " << c.fileMode;
        EXPECT_EQ(dir.read("cfg/Lumar.ini"), c.written ? "[S]\r\nk=new\r\n" : "[S]\r\nk=old\r\n");
        struct stat st {};
        stat(file.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, c.fileMode);
    }
}

// A writer killed at any moment leaves no temporary file behind once the next write is done.
TEST(SettingsFile, KilledWritersLeaveNoTemporaryFiles) {
    test::TempDir dir;
    const std::string file = dir.file("Lumar.ini");
    const std::string big(256 * 1024, 'x');
    dir.write("Lumar.ini.tmp4711", "left by a writer killed before locks were taken");
    for (int kill = 0; kill < 40; ++kill) {
        const pid_t writer = fork();
        if (writer == 0) {
            for (int i = 0;; ++i) WriteValue(file, "S", "k", big + std::to_string(i));
        }
        usleep(static_cast<useconds_t>(500 + kill * 97 % 3000));
        ::kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    ASSERT_TRUE(WriteValue(file, "S", "k", "last"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "Lumar.ini" ||
                    entry.path().filename() == "Lumar.ini.lock")
            << entry.path();
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "last");
}

// Files over the limit read as empty and are not rewritten; a file at the limit is read.
TEST(SettingsFile, FilesOverTheSizeLimitAreNeitherReadNorWritten) {
    test::TempDir dir;
    const std::string header = "[S]\nk=v\n";
    const std::string atLimit =
        dir.write("at.ini", header + std::string(kMaxIniFileBytes - header.size(), '\n'));
    EXPECT_EQ(ReadValue(atLimit, "S", "k", "d"), "v");
    const std::string over = dir.write("over.ini", header + std::string(kMaxIniFileBytes, '\n'));
    EXPECT_EQ(ReadValue(over, "S", "k", "d"), "d");
    EXPECT_EQ(LoadIniFile(over).problem, "file larger than 4 MiB, not read");
    EXPECT_NE(WriteValueOrReason(over, "S", "k", "w").find("4 MiB"), std::string::npos);
    EXPECT_EQ(dir.read("over.ini").size(), header.size() + kMaxIniFileBytes);
}

TEST(SettingsFile, EncodingIsKeptWhileCharactersFit) {
    test::TempDir dir;
    // Windows-1252: "Höhe" with ö as the single byte F6.
    const std::string ansi = dir.write("a.ini", "[S]\r\nk=H\xF6he\r\n");
    EXPECT_EQ(ReadValue(ansi, "S", "k", ""), "H\xC3\xB6he");
    ASSERT_TRUE(WriteValue(ansi, "S", "j", "\xC3\xBC"));  // ü fits Windows-1252
    EXPECT_EQ(dir.read("a.ini"), "[S]\r\nk=H\xF6he\r\nj=\xFC\r\n");

    // A character outside Windows-1252 turns the whole file into UTF-8, losing nothing.
    ASSERT_TRUE(WriteValue(ansi, "S", "z", "\xE2\x82\xAC\xE2\x9C\x93"));  // € fits, ✓ does not
    EXPECT_EQ(dir.read("a.ini"), "[S]\r\nk=H\xC3\xB6he\r\nj=\xC3\xBC\r\nz=\xE2\x82\xAC\xE2\x9C\x93\r\n");
    EXPECT_EQ(ReadValue(ansi, "S", "k", ""), "H\xC3\xB6he");

    // A UTF-8 file stays UTF-8 and keeps its BOM.
    const std::string utf8 = dir.write("u.ini", "\xEF\xBB\xBF[S]\nk=\xC3\xB6\n");
    EXPECT_EQ(ReadValue(utf8, "S", "k", ""), "\xC3\xB6");
    ASSERT_TRUE(WriteValue(utf8, "S", "j", "\xC3\xA4"));
    EXPECT_EQ(dir.read("u.ini"), "\xEF\xBB\xBF[S]\nk=\xC3\xB6\nj=\xC3\xA4\n");
}

TEST(SettingsFile, NewFilesAreWindows1252WhenEverythingFits) {
    test::TempDir dir;
    ASSERT_TRUE(WriteValue(dir.file("n.ini"), "S", "k", "\xC3\xA4"));
    EXPECT_EQ(dir.read("n.ini"), "[S]\r\nk=\xE4\r\n");
    ASSERT_TRUE(WriteValue(dir.file("m.ini"), "S", "k", "\xE2\x9C\x93"));
    EXPECT_EQ(dir.read("m.ini"), "[S]\r\nk=\xE2\x9C\x93\r\n");
}

TEST(SettingsFile, WriteThroughSymlinkReplacesTheTarget) {
    test::TempDir dir;
    dir.write("real.ini", "[S]\nk=1\n");
    ASSERT_EQ(symlink(dir.file("real.ini").c_str(), dir.file("link.ini").c_str()), 0);
    ASSERT_TRUE(WriteValue(dir.file("link.ini"), "S", "k", "2"));
    EXPECT_EQ(dir.read("real.ini"), "[S]\nk=2\n");
}

}  // namespace
}  // namespace lumar
