#include "shell/language_table.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "shell/file_io.h"
#include "shell/settings_store.h"
#include "shell/text_codec.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

std::string WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

const std::string kShippedFile = std::string(LUMAR_SOURCE_DIR) + "/data/language.ini";

// Without a file every text is the German default without trailing blanks (what odd bytes
// do is the settings fuzzer's to show); junk before a valid section does not hide it.
TEST(LanguageTable, WithoutAGoodFileEveryTextIsTheGermanDefault) {
    test::TempDir dir;
    for (const LanguageEntry& entry : LanguageTable())
        EXPECT_EQ(LookupText(dir.file("missing.ini"), entry),
                  WithoutTrailingBlanks(entry.defaultText))
            << entry.section << "/" << entry.key;
    EXPECT_EQ(LookupText(dir.file("missing.ini"), *FindLanguageEntry("STRINGS", "021")),
              " erhalten");
    const std::string file =
        dir.write("language.ini",
                  std::string(1000, '[') + "\x01\xFF\r\n[STRINGS]\r\n031=File not readable\r\n");
    EXPECT_EQ(LoadUiStrings(file, "").Get(kReasonFileUnreadable), "File not readable");
}

// Two captions for one widget would leave one of them never shown.
TEST(LanguageTable, EachCaptionHasAWidgetOfItsOwn) {
    std::set<std::string> targets;
    for (const LanguageEntry& entry : LanguageTable()) {
        const std::string section(entry.section);
        EXPECT_EQ(entry.target.empty(), section == "STRINGS") << section << "/" << entry.key;
        EXPECT_TRUE(entry.target.empty() ||
                    targets.insert(section + ":" + std::string(entry.target)).second)
            << "two captions for " << section << ":" << entry.target;
    }
}

TEST(LanguageTable, ShippedEnglishFileTranslatesEveryKeyAndNothingElse) {
    const std::string missing = "\x01missing";
    for (const LanguageEntry& entry : LanguageTable()) {
        const std::string text = ReadValue(kShippedFile, entry.section, entry.key, missing);
        EXPECT_NE(text, missing) << "no translation for " << entry.section << "/" << entry.key;
        // Leading blanks are part of the look of frame titles; translations keep them.
        EXPECT_EQ(text.find_first_not_of(' '), entry.defaultText.find_first_not_of(' '))
            << entry.section << "/" << entry.key;
    }
    // Every key in the file is one the program asks for (catches typos such as "0010").
    const auto bytes = ReadFileBytes(kShippedFile);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(DetectEncoding(*bytes), TextEncoding::Windows1252);
    // A duplicate or misplaced table entry shows as an unknown key or a count that differs.
    std::istringstream lines(*bytes);
    std::string section;
    size_t keysInFile = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.ends_with('\r')) line.pop_back();
        if (line.starts_with('[')) {
            section = line.substr(1, line.find(']') - 1);
        } else if (!line.empty() && line[0] != ';') {
            EXPECT_NE(FindLanguageEntry(section, line.substr(0, line.find('='))), nullptr)
                << "unknown key " << section << "/" << line;
            ++keysInFile;
        }
    }
    EXPECT_EQ(keysInFile, LanguageTable().size());
}

TEST(UiStrings, LoadOrderAndEntry19) {
    test::TempDir dir;
    const UiStrings defaults = LoadUiStrings(dir.file("language.ini"), "VBCode einfügen");
    // The entries on both sides of the caller's entry 19 keep their places.
    EXPECT_EQ(defaults.Get(kStrLoadTextBlock) + "|" + defaults.Get(kStrInsertTextBlock) + "|" +
                  defaults.Get(kStrChangeTextBlock),
              "VBCode laden...|VBCode einfügen|VBCode ändern");
    for (int outside : {-1, UiStrings::kSize, 1000})
        EXPECT_EQ(defaults.Get(outside), "") << outside;  // no crash

    // Entry 19 is the button's caption as the caller applied it; a STRINGS/019 in the file is
    // not read, and a translated 007 changes exactly one message.
    const std::string file =
        dir.write("language.ini", "[STRINGS]\r\n019=never read\r\n007=Uploading image:\r\n");
    const UiStrings translated = LoadUiStrings(file, "Insert block");
    EXPECT_EQ(translated.Get(kStrInsertTextBlock), "Insert block");
    EXPECT_EQ(translated.Get(kStrUploadOf), "Uploading image:");
    for (int n = 0; n < UiStrings::kSize; ++n)
        EXPECT_TRUE(n == kStrUploadOf || n == kStrInsertTextBlock ||
                    translated.Get(n) == defaults.Get(n))
            << n;
}

TEST(StatsPanel, ReadsLikeTheStatusBarWithTwoDecimalsAndTheGivenSeparator) {
    // 0.005 MB rounds up, halves away from zero.
    EXPECT_EQ(FormatMegabytes(5243, ","), "0,01");
    EXPECT_EQ(FormatMegabytes(2.675 * 1048576, ","), "2,68");
    EXPECT_EQ(FormatMegabytes(1e300, ",").substr(0, 2), "95");  // no overflow on absurd totals

    test::TempDir dir;
    const UiStrings strings = LoadUiStrings(dir.file("language.ini"), "VBCode einfügen");
    EXPECT_EQ(FormatStatsPanel(strings, 12, 3670016, ","), "Upload: 12 - Size: 3,50 MB");
    EXPECT_EQ(FormatStatsPanel(strings, 100000, 5e9, "."), "Upload: 100000 - Size: 4768.37 MB");
}

}  // namespace
}  // namespace lumar
