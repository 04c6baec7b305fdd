#include "shell/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

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

TEST(SettingsFile, FailedWriteIsSilentAndLosesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    test::TempDir dir;
    const std::string file = dir.write("ro/Lumar.ini", "[S]\r\nk=old\r\n");
    chmod(dir.file("ro").c_str(), 0555);
    EXPECT_FALSE(WriteValue(file, "S", "k", "new"));
    EXPECT_EQ(ReadValue(file, "S", "k", ""), "old");
    chmod(dir.file("ro").c_str(), 0755);
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
