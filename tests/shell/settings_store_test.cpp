#include "shell/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "shell/config_paths.h"
#include "shell/file_io.h"
#include "shell/settings_keys.h"
#include "shell/text_codec.h"
#include "shell/upload_totals.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace lumar {
namespace {

TEST(SettingsRead, ValuesAsTheFileHoldsThem) {
    const std::string longValue(2000, 'x');
    const struct {
        std::string ini, value;  // of key k in section S
    } cases[] = {
        {"[s]\r\nK=45\r\n", "45"},                                      // names match without case
        {"[S]\nk=\"C:\\My Sounds\\a.wav\"\n", "C:\\My Sounds\\a.wav"},  // one pair of quotes goes
        {"[S]\nk='C:\\a b'\n", "C:\\a b"},
        {"[S]\nk=\"x'\n", "\"x'"},
        {"[S]\nk= \" padded \" \n", " padded "},
        {"[S]\n;k=comment\nk=first\nk=second\n[S]\nk=third\n", "first"},
        {"[ S ]\n k = v \n", "v"},
        {"[S]\nk=" + longValue + "\n", longValue.substr(0, 1023)},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadValueFromText(c.ini, "S", "k", ""), c.value) << c.ini;
    // The default loses trailing blanks only, and is held to the same length.
    EXPECT_EQ(ReadValueFromText("", "Frame0", "001", "-> Bilder "), "-> Bilder");
    EXPECT_EQ(ReadValueFromText("", "S", "k", longValue).size(), 1023u);
    std::string umlauts;
    for (int i = 0; i < 1100; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(ReadValueFromText("[S]\nk=" + umlauts + "\n", "S", "k", "").size(), 2046u);
}

// A file kept parsed between reads is parsed again whenever anything about it changed, also
// when another program rewrites it in place to the same size and puts its time back.
TEST(SettingsRead, EveryReadSeesTheFileAsItIsNow) {
    test::TempDir dir;
    const std::string file = dir.file("Lumar.ini");
    const auto writeAged = [&](const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;  // in place
        const timespec aged[2] = {{1000000000, 0}, {1000000000, 0}};      // long ago: kept parsed
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), aged, 0), 0);
    };
    writeAged("[S]\nk=1\n");
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "1");
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "1");
    writeAged("[S]\nk=2\n");
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "2");
    ASSERT_TRUE(WriteValue(file, "S", "k", "3"));
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "3");
    std::filesystem::remove(file);
    EXPECT_EQ(ReadValue(file, "S", "k", "gone"), "gone");
}

TEST(SettingsWrite, ChangesOneValueAndKeepsEveryOtherByte) {
    const struct {
        std::string before, after;  // setting j in section S to 2
    } cases[] = {
        {"; c\r\n[s]\r\nk=1\r\nJ = 30\r\n\r\n[T]\r\nx=y\r\n",
         "; c\r\n[s]\r\nk=1\r\nJ =2\r\n\r\n[T]\r\nx=y\r\n"},
        {"[S]\nk=1\n\n[T]\nx=1\n", "[S]\nk=1\nj=2\n\n[T]\nx=1\n"},
        {"", "[S]\r\nj=2\r\n"},
        {"[S]\nk=1", "[S]\nk=1\nj=2\n"},
        {"x=1", "x=1\r\n[S]\r\nj=2\r\n"},
        // A last line ending in a lone CR is still one line: the new key goes below it.
        {"[S]\r\nw=1\r", "[S]\r\nw=1\r\r\nj=2\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetValueInText(c.before, "S", "j", "2"), c.after) << c.before;
}

// As an ordinary user: a write-protected file is refused (a rename would replace it), and a
// writable file in a folder that takes no new files is rewritten in place, whole and with its
// mode.
TEST(SettingsFile, WritesFollowThePermissionsOfFileAndFolder) {
    const struct {
        mode_t folderMode, fileMode;
        bool written;
    } cases[] = {{0777, 0444, false}, {0555, 0666, true}};
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string file = dir.write("cfg/Lumar.ini", "[S]\r\nk=old\r\n");
        chmod(dir.path().c_str(), 0755);
        chmod(file.c_str(), c.fileMode);
        chmod(dir.file("cfg").c_str(), c.folderMode);
        const int status =
            test::RunUnprivileged([&] { return WriteValue(file, "S", "j", "new") ? 0 : 1; });
        ASSERT_EQ(status, c.written ? 0 : 1) << std::oct << c.folderMode << " " << c.fileMode;
        EXPECT_EQ(dir.read("cfg/Lumar.ini"),
                  c.written ? "[S]\r\nk=old\r\nj=new\r\n" : "[S]\r\nk=old\r\n");
        EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(c.fileMode));
    }
}

// A temporary file left by a killed writer goes with the next write. The settings folder's
// files share one lock file that stays; a file the user chose gets none beside it.
TEST(SettingsFile, OneLockForOwnFilesNoneBesideChosenOnesAndNoTemporaryFiles) {
    test::TempDir dir;
    const std::string file = dir.file("Lumar.ini");
    dir.write("Lumar.ini.tmp4711", "left by a writer killed before its rename");
    ASSERT_TRUE(WriteValue(file, "S", "k", "last"));
    ASSERT_TRUE(WriteValue(dir.file("hosters.ini"), "S", "k", "v"));
    ASSERT_EQ(WriteFileAtomically(dir.file("posting.vbc"), "text"), "");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names,
              (std::set<std::string>{"Lumar.ini", "Lumar.lock", "hosters.ini", "posting.vbc"}));
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "last");
}

// Files over the limit read as empty and are not rewritten; a file with a line far over a
// value's limit is read.
TEST(SettingsFile, FilesOverTheSizeLimitAreNeitherReadNorWritten) {
    test::TempDir dir;
    const std::string header = "[S]\nk=v\n";
    const std::string over = dir.write("over.ini", header + std::string(kMaxIniFileBytes, '\n'));
    EXPECT_EQ(LoadIniFile(over).problem, "file larger than 4 MiB, not read");
    EXPECT_NE(WriteValueOrReason(over, "S", "k", "w").find("4 MiB"), std::string::npos);
    EXPECT_EQ(dir.read("over.ini").size(), header.size() + kMaxIniFileBytes);

    // A key after a line far longer than a value may be is found, and a write keeps the line.
    const std::string longValue(2'000'000, 'v');
    dir.write("long.ini", "[Bilder]\r\nSoundfile=" + longValue + "\r\nForm=1\r\n");
    EXPECT_EQ(ReadIntSetting(dir.file("long.ini"), keys::Form), 1);
    ASSERT_TRUE(WriteSetting(dir.file("long.ini"), keys::Form, 0));
    EXPECT_NE(dir.read("long.ini").find("Soundfile=" + longValue + "\r\n"), std::string::npos);
}

// A folder or a FIFO where Lumar.ini should be reads as missing, and is never replaced; neither
// the read nor the write waits for a FIFO's writer.
TEST(SettingsFile, SomethingOtherThanAFileReadsAsMissingAndIsNeverReplaced) {
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("folder.ini").c_str(), 0755), 0);
    dir.write("folder.ini/inside.txt", "keep");
    ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0644), 0);
    for (const char* name : {"folder.ini", "fifo.ini"}) {
        EXPECT_EQ(ReadIntSetting(dir.file(name), keys::Timeout), 120) << name;
        const bool written = WriteSetting(dir.file(name), keys::Timeout, 7);
        EXPECT_EQ(written, ReadIntSetting(dir.file(name), keys::Timeout) == 7) << name;
    }
    EXPECT_EQ(dir.read("folder.ini/inside.txt"), "keep");
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo.ini")));
    // A link to a file is written through to that file.
    dir.write("real.ini", "[S]\nk=1\n");
    ASSERT_EQ(::symlink(dir.file("real.ini").c_str(), dir.file("good.ini").c_str()), 0);
    ASSERT_TRUE(WriteValue(dir.file("good.ini"), "S", "k", "2"));
    EXPECT_EQ(dir.read("real.ini"), "[S]\nk=2\n");
}

// A settings folder that is a file fails the write and changes nothing; start-up can tell,
// and name the reason, before any setting is lost.
TEST(SettingsFile, AFolderThatIsAFileFailsTheWriteAndAMissingFileIsCreated) {
    test::TempDir dir;
    const std::string file = dir.write("plain", "not a folder");
    EXPECT_FALSE(WriteSetting(file + "/below/Lumar.ini", keys::Timeout, 5));
    EXPECT_EQ(dir.read("plain"), "not a folder");
    EXPECT_EQ(SettingsFolderProblem(dir.path()), "");
    EXPECT_EQ(SettingsFolderProblem(file + "/below/"), std::strerror(ENOTDIR));

    // Values that would break the file are not written.
    const std::string ini = dir.file("Lumar.ini");
    ASSERT_TRUE(WriteValue(ini, "Bilder", "Timeout", "45"));
    EXPECT_FALSE(WriteValue(ini, "S", "k", "two\nlines"));
    EXPECT_FALSE(WriteValue(ini, "S", "k=x", "v"));
    EXPECT_FALSE(WriteValue(ini, "S]", "k", "v"));
    EXPECT_EQ(dir.read("Lumar.ini"), "[Bilder]\r\nTimeout=45\r\n");
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
    EXPECT_EQ(dir.read("a.ini"),
              "[S]\r\nk=H\xC3\xB6he\r\nj=\xC3\xBC\r\nz=\xE2\x82\xAC\xE2\x9C\x93\r\n");

    // A UTF-8 file stays UTF-8 and keeps its BOM.
    const std::string utf8 = dir.write("u.ini", "\xEF\xBB\xBF[S]\nk=\xC3\xB6\n");
    ASSERT_TRUE(WriteValue(utf8, "S", "j", "\xC3\xA4"));
    EXPECT_EQ(dir.read("u.ini"), "\xEF\xBB\xBF[S]\nk=\xC3\xB6\nj=\xC3\xA4\n");

    ASSERT_TRUE(WriteValue(dir.file("n.ini"), "S", "k", "\xC3\xA4"));  // new: Windows-1252
    EXPECT_EQ(dir.read("n.ini"), "[S]\r\nk=\xE4\r\n");
}

// Two programs counting uploads and setting keys in one Lumar.ini at the same time lose
// nothing, and Files and Size stay in step.
TEST(UploadTotals, TwoProcessesCountingAtOnceLoseNothing) {
    test::TempDir dir;
    const std::string file = dir.file("Lumar.ini");
    constexpr int kEach = 100;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        if (writers[w] == 0) {
            bool ok = true;
            for (int i = 0; i < kEach; ++i) {
                ok = AddUploadToTotals(file, {}, 1000).problem.empty() && ok;
                ok = WriteValue(file, "Keys", "w" + std::to_string(w) + "_" + std::to_string(i),
                                "1") &&
                     ok;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t writer : writers) {
        int status = -1;
        waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ReadValue(file, "Stat", "Files", ""), "200");
    EXPECT_EQ(ReadValue(file, "Stat", "Size", ""), "200000");
    const std::string text = dir.read("Lumar.ini");  // every key written once, none lost
    EXPECT_EQ(std::count(text.begin(), text.end(), '_'), 2 * kEach);
}

// The totals go through Lumar.ini's spare: the file holds the newest totals with its own mode,
// the spare those before (a longer leftover of a killed write cut to them). A spare that is a
// link, a folder or a file with a second name is left alone, and the totals land all the same.
TEST(UploadTotals, GoThroughASpareThatIsOursAlone) {
    test::TempDir dir;
    const std::string file = dir.write("Lumar.ini", "[S]\r\nk=v\r\n");
    chmod(file.c_str(), 0640);
    dir.write("Lumar.ini.spare", std::string(10000, '#') + "\r\n");
    ASSERT_EQ(AddUploadToTotals(file, {}, 100).problem, "");
    ASSERT_EQ(AddUploadToTotals(file, {}, 100).problem, "");
    const std::string before = "[S]\r\nk=v\r\n[Stat]\r\nFiles=1\r\nSize=100\r\n";
    EXPECT_EQ(dir.read("Lumar.ini.spare"), before);
    EXPECT_EQ(dir.read("Lumar.ini"), "[S]\r\nk=v\r\n[Stat]\r\nFiles=2\r\nSize=200\r\n");
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));

    const std::string other = dir.write("other.txt", "not a spare");
    const auto plant = [&](int kind) {
        std::filesystem::remove_all(dir.file("Lumar.ini.spare"));
        const std::string spare = dir.file("Lumar.ini.spare");
        return kind == 0   ? ::symlink(other.c_str(), spare.c_str())
               : kind == 1 ? ::link(other.c_str(), spare.c_str())
                           : ::mkdir(spare.c_str(), 0755);
    };
    for (int kind = 0; kind < 3; ++kind) {
        ASSERT_EQ(plant(kind), 0) << kind;
        ASSERT_EQ(AddUploadToTotals(file, {}, 100).problem, "") << kind;
        EXPECT_EQ(ReadValue(file, "Stat", "Files", ""), std::to_string(3 + kind)) << kind;
        EXPECT_EQ(dir.read("other.txt"), "not a spare") << kind;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("Lumar.ini.spare")));
}

TEST(TextCodec, EveryWindows1252ByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
    // Bytes 0x80-0x9F as the public code page has them; its five holes keep their own value.
    std::string high;
    for (int b = 0x80; b < 0xA0; ++b) high += static_cast<char>(b);
    EXPECT_EQ(Windows1252ToUtf8(high),
              "€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8DŽ\xC2\x8F\xC2\x90‘’“”•–—˜™š›œ\xC2\x9DžŸ");
}

TEST(TextCodec, DetectsEncodings) {
    EXPECT_EQ(DetectEncoding("plain ascii"), TextEncoding::kWindows1252);
    EXPECT_EQ(DetectEncoding("H\xF6he"), TextEncoding::kWindows1252);
    EXPECT_EQ(DetectEncoding("H\xC3\xB6he"), TextEncoding::kUtf8);
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBFx"), TextEncoding::kUtf8Bom);
    EXPECT_EQ(DetectEncoding("\xC0\xAF"), TextEncoding::kWindows1252);      // overlong
    EXPECT_EQ(DetectEncoding("\xED\xA0\x80"), TextEncoding::kWindows1252);  // surrogate
    EXPECT_EQ(DetectEncoding("\xE2\x82"), TextEncoding::kWindows1252);      // truncated
}

TEST(SettingKeys, MissingFileGivesDefaultsAndStaysMissing) {
    test::TempDir dir;
    const std::string ini = dir.file("Lumar.ini");
    // Start folders default to the home folder, which stands in for "C:\".
    const std::string folder = ReadTextSetting(ini, keys::LastAddDir);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(dir.read("Lumar.ini"), "");  // reading never creates the file
}

TEST(SettingKeys, NumbersThatAreNoNumbersOrOutOfRangeReadAsTheDefault) {
    test::TempDir dir;
    const std::string ini = dir.write("Lumar.ini",
                                      "[Bilder]\r\nTimeout=abc\r\nPreview=\r\nAnbieter=-1\r\n"
                                      "Center=2\r\nForm=1x\r\nWerbung=0\r\n"
                                      "[Posting]\r\nCode=5\r\nSplitSize=99999999999999999999\r\n"
                                      "Split=1\r\n[VBCode]\r\nColor=39\r\nFont=21\r\n"
                                      "[Stat]\r\nFiles=drei\r\nSize=-5\r\n");
    // Werbung, Split and Color are in range, the boundaries included, and taken as they are.
    const SettingKey* ints[] = {&keys::Timeout, &keys::Preview, &keys::Anbieter,  &keys::Center,
                                &keys::Form,    &keys::Code,    &keys::SplitSize, &keys::Werbung,
                                &keys::Split,   &keys::Color,   &keys::Font};
    std::vector<int> read;
    for (const SettingKey* key : ints) read.push_back(ReadIntSetting(ini, *key));
    EXPECT_EQ(read, (std::vector<int>{120, 1, 0, 1, 1, 0, 20, 0, 1, 39, 0}));
    EXPECT_EQ(ReadCountSetting(ini, keys::StatFiles) + ReadCountSetting(ini, keys::StatSize), 0);
}

// A time-out outside 1 to 3600 s is used at the nearer end rather than as the default: 0 must
// not fail every image and 99999 not wait for a day.
TEST(SettingKeys, TheTimeOutIsUsedClampedToItsRange) {
    test::TempDir dir;
    for (const auto& [stored, used] :
         {std::pair{"0", 1}, {"-7", 1}, {"3600", 3600}, {"99999", 3600}, {"zwei", 120}}) {
        ASSERT_TRUE(WriteValue(dir.file("Lumar.ini"), "Bilder", "Timeout", stored));
        EXPECT_EQ(ReadTimeoutSeconds(dir.file("Lumar.ini")), used) << stored;
    }
}

// Totals beyond 32 bits stay exact and never turn into exponent notation; absurd totals from a
// hand-edited file are written back whole, not cut to a few digits.
TEST(SettingKeys, UploadTotalsAreWholeDecimalText) {
    EXPECT_EQ(FormatCount(5e12), "5000000000000");
    EXPECT_EQ(FormatCount(2.5), "2.5");
    EXPECT_EQ(FormatCount(1e300).size(), 301u);
}

TEST(SettingKeys, ParseIntegerAcceptsOnlyWholeDecimalNumbers) {
    long long v = 0;
    EXPECT_TRUE(ParseInteger("-1", v) && v == -1 && ParseInteger("+7", v) && v == 7);
    for (const char* bad :
         {"", "+", "-", "4 5", " 45", "45 ", "0x10", "1e3", "12abc", "99999999999999999999", "+-1"})
        EXPECT_FALSE(ParseInteger(bad, v)) << bad;
}

TEST(ConfigFolder, ChoosesTheFirstSourceThatIsGiven) {
    test::TempDir program;
    ConfigSources s{"/cli/dir", "/env/dir", program.path(), "/xdg", "/home/u"};
    EXPECT_EQ(ChooseConfigFolder(s), "/cli/dir/");
    s.commandLineDir = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/env/dir/");
    s.environmentDir = "";
    // A writable program folder is used as it is on Windows, beside the program.
    EXPECT_EQ(ChooseConfigFolder(s), program.path() + "/");
    // A build's output folder is no portable copy: keys and history would go with the build.
    s.buildTree = true;
    EXPECT_EQ(ChooseConfigFolder(s), "/xdg/lumar/");
    program.write("Lumar.ini", "");
    EXPECT_EQ(ChooseConfigFolder(s), program.path() + "/");
    s.programDir = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/xdg/lumar/");
    s.xdgConfigHome = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/home/u/.config/lumar/");
    s.home = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/tmp/.config/lumar/");
    // A trailing separator given by the user is not doubled.
    s.commandLineDir = "/cli/dir/";
    EXPECT_EQ(ChooseConfigFolder(s), "/cli/dir/");
}

TEST(ConfigFolder, MissingOrInstalledProgramFolderFallsBackToTheUserFolder) {
    // Root may write to /usr/bin; an installed program must still not put Lumar.ini there.
    for (const char* program : {"/no/such/folder/anywhere", "/usr/bin", "/usr/local/bin/"}) {
        const ConfigSources s{"", "", program, "", "/home/u"};
        EXPECT_EQ(ChooseConfigFolder(s), "/home/u/.config/lumar/") << program;
    }
}

// The programs of this build find the checkout's data; the same file anywhere else is ignored.
TEST(ConfigFolder, OnlyTheBuildsOwnProgramsReadTheDataFolderBesideThem) {
    const std::string built = FolderOf(LUMAR_CLI_PATH);
    EXPECT_EQ(BuildTreeDataFolder(built), std::string(LUMAR_SOURCE_DIR) + "/data");
    test::TempDir copy;
    copy.write(kBuildTreeDataFile, std::string(LUMAR_SOURCE_DIR) + "/data\n");
    EXPECT_EQ(BuildTreeDataFolder(copy.path()), "");
}

}  // namespace
}  // namespace lumar
