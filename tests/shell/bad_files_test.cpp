// Settings and language files that are damaged, unreadable or not files at all: every read
// falls back to the default, no write loses what is there, and nothing waits forever.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <random>

#include "shell/config_paths.h"
#include "shell/file_io.h"
#include "shell/language_table.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

std::string RandomBytes(unsigned seed, size_t size) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// Runs `work` on a thread; when it has not returned after a generous bound, opens the FIFO for
// writing (which releases a reader stuck in open) and reports the hang.
template <typename T>
T WithoutHanging(const std::string& fifo, std::function<T()> work) {
    auto result = std::async(std::launch::async, std::move(work));
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "reading " << fifo << " waited for a writer";
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    return result.get();
}

TEST(BadSettingsFile, RandomBytesGiveDefaultsAndAWriteKeepsEveryByte) {
    test::TempDir dir;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        // Random bytes with NULs, stray CRs, all 256 byte values and some lines far longer
        // than a value may be.
        std::string garbage = RandomBytes(seed, 20000);
        garbage += "\n" + std::string(300000, 'x') + "\n";
        garbage += RandomBytes(seed + 100, 5000);
        const std::string ini = dir.write("Lumar.ini", garbage);

        EXPECT_EQ(ReadIntSetting(ini, keys::Timeout), 120) << "seed " << seed;
        EXPECT_EQ(ReadTextSetting(ini, keys::SoundDir), DefaultText(keys::SoundDir)) << "seed " << seed;
        ASSERT_TRUE(WriteSetting(ini, keys::Timeout, 30)) << "seed " << seed;
        EXPECT_EQ(ReadIntSetting(ini, keys::Timeout), 30);
        ASSERT_TRUE(WriteSetting(ini, keys::Form, 1));
        EXPECT_EQ(ReadIntSetting(ini, keys::Timeout), 30);
        EXPECT_EQ(ReadIntSetting(ini, keys::Form), 1);
        // The garbage itself comes back unchanged in front of the added section.
        const std::string after = dir.read("Lumar.ini");
        EXPECT_EQ(after.substr(0, garbage.size()), garbage) << "seed " << seed;
    }
}

TEST(BadSettingsFile, NulsAndOverlongValuesAreCutNotCarriedOver) {
    test::TempDir dir;
    const std::string longValue(2'000'000, 'v');
    const std::string ini = dir.write("Lumar.ini", std::string("[Bilder]\r\nTimeout=45\0junk\r\n", 27) +
                                                       "Soundfile=" + longValue + "\r\nForm=1\r\n");
    EXPECT_EQ(ReadIntSetting(ini, keys::Timeout), 45);
    EXPECT_EQ(ReadValue(ini, "Bilder", "Soundfile", "").size(), kMaxValueChars);
    EXPECT_EQ(ReadIntSetting(ini, keys::Form), 1);  // the key after the overlong line is found
    // Writing another key keeps the long line whole: the file is not cut to what a read returns.
    ASSERT_TRUE(WriteSetting(ini, keys::Form, 0));
    EXPECT_NE(dir.read("Lumar.ini").find("Soundfile=" + longValue + "\r\n"), std::string::npos);
}

TEST(BadSettingsFile, SomethingOtherThanAFileReadsAsMissingAndIsNeverReplaced) {
    test::TempDir dir;
    // A folder named Lumar.ini.
    ASSERT_EQ(::mkdir(dir.file("folder.ini").c_str(), 0755), 0);
    dir.write("folder.ini/inside.txt", "keep");
    EXPECT_EQ(ReadIntSetting(dir.file("folder.ini"), keys::Timeout), 120);
    EXPECT_FALSE(WriteSetting(dir.file("folder.ini"), keys::Timeout, 5));
    EXPECT_TRUE(IsDirectory(dir.file("folder.ini")));
    EXPECT_EQ(dir.read("folder.ini/inside.txt"), "keep");

    // A FIFO: neither the read nor the write may wait for a writer that never comes.
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(WithoutHanging<int>(fifo, [&] { return ReadIntSetting(fifo, keys::Timeout); }), 120);
    EXPECT_FALSE(WithoutHanging<bool>(fifo, [&] { return WriteSetting(fifo, keys::Timeout, 5); }));
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(ReadFileBytes("/dev/null").has_value());  // a device is no settings file either

    // A dangling symbolic link reads as missing; a write keeps the setting.
    const std::string link = dir.file("link.ini");
    ASSERT_EQ(::symlink(dir.file("nowhere/Lumar.ini").c_str(), link.c_str()), 0);
    EXPECT_EQ(ReadIntSetting(link, keys::Timeout), 120);
    if (WriteSetting(link, keys::Timeout, 7)) {
        EXPECT_EQ(ReadIntSetting(link, keys::Timeout), 7);
    }
}

TEST(BadSettingsFile, UnreadableFileIsLeftAsItIs) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files of mode 000";
    test::TempDir dir;
    const std::string ini = dir.write("Lumar.ini", "[Bilder]\r\nTimeout=45\r\n");
    ::chmod(ini.c_str(), 0);
    EXPECT_EQ(ReadIntSetting(ini, keys::Timeout), 120);
    EXPECT_FALSE(WriteSetting(ini, keys::Form, 1));  // rewriting it would lose Timeout
    ::chmod(ini.c_str(), 0644);
    EXPECT_EQ(dir.read("Lumar.ini"), "[Bilder]\r\nTimeout=45\r\n");
}

TEST(BadSettingsFolder, AFolderThatIsAFileFailsTheWriteAndChangesNothing) {
    test::TempDir dir;
    const std::string file = dir.write("plain", "not a folder");
    for (const std::string& folder : {file, file + "/below/deeper"}) {
        const std::string ini = JoinPath(folder, "Lumar.ini");
        EXPECT_FALSE(WriteSetting(ini, keys::Timeout, 5)) << folder;
        EXPECT_EQ(ReadIntSetting(ini, keys::Timeout), 120) << folder;
    }
    EXPECT_EQ(dir.read("plain"), "not a folder");
    // Start-up can tell, and name the reason, before any setting is lost.
    EXPECT_EQ(SettingsFolderProblem(dir.path()), "");
    EXPECT_EQ(SettingsFolderProblem(file), std::strerror(ENOTDIR));
    EXPECT_EQ(SettingsFolderProblem(file + "/below/"), std::strerror(ENOTDIR));
    EXPECT_EQ(SettingsFolderProblem(dir.file("missing/")), std::strerror(ENOENT));
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0555), 0);
        EXPECT_FALSE(WriteSetting(dir.file("ro/Lumar.ini"), keys::Timeout, 5));
        EXPECT_FALSE(PathExists(dir.file("ro/Lumar.ini")));
        EXPECT_EQ(SettingsFolderProblem(dir.file("ro")), std::strerror(EACCES));
    }
}

// Every caption and message as the German default gives it, with trailing blanks removed.
void ExpectGermanDefaults(const std::string& languageFile) {
    for (const LanguageEntry& entry : LanguageTable()) {
        std::string expected(entry.defaultText);
        while (!expected.empty() && expected.back() == ' ') expected.pop_back();
        EXPECT_EQ(LookupText(languageFile, entry), expected) << entry.section << "/" << entry.key;
    }
    const UiStrings strings = LoadUiStrings(languageFile, "Textblock");
    EXPECT_EQ(strings.Get(kReasonFileUnreadable), "Datei nicht lesbar");
    EXPECT_EQ(strings.Get(19), "Textblock");
}

TEST(BadLanguageFile, GarbageFolderOrFifoGivesTheGermanTextsAndAValidSectionIsStillRead) {
    test::TempDir dir;
    dir.write("garbage.ini", RandomBytes(7, 50000) + std::string(100000, '[') + RandomBytes(8, 1000));
    ExpectGermanDefaults(dir.file("garbage.ini"));

    ASSERT_EQ(::mkdir(dir.file("folder.ini").c_str(), 0755), 0);
    ExpectGermanDefaults(dir.file("folder.ini"));

    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    WithoutHanging<bool>(fifo, [&] {
        ExpectGermanDefaults(fifo);
        return true;
    });

    // Garbage around a valid section does not hide its translation.
    const std::string file =
        dir.write("language.ini", RandomBytes(3, 4000) + "\r\n[STRINGS]\r\n031=File not readable\r\n" +
                                      std::string("\0\0\0", 3) + RandomBytes(4, 4000));
    EXPECT_EQ(LoadUiStrings(file, "").Get(kReasonFileUnreadable), "File not readable");
}

TEST(BadLanguageFile, ANonFileInTheSettingsFolderDoesNotHideTheInstalledTranslation) {
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("language.ini").c_str(), 0755), 0);
    InitConfigFolder(dir.path());
    const std::string installed = JoinPath(LUMAR_DATA_DIR, "language.ini");
    if (IsRegularFile(installed)) {
        EXPECT_EQ(LanguageFile(), installed);
    }
    ASSERT_EQ(::rmdir(dir.file("language.ini").c_str()), 0);
    dir.write("language.ini", "[STRINGS]\r\n");
    EXPECT_EQ(LanguageFile(), dir.file("language.ini"));
}

}  // namespace
}  // namespace lumar
