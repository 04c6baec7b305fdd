#include "shell/language_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "shell/file_io.h"
#include "shell/interface_language.h"
#include "shell/reason_text.h"
#include "shell/settings_store.h"
#include "shell/text_codec.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

std::string WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

const std::string kData = std::string(LUMAR_SOURCE_DIR) + "/data";
const std::string kShippedFile = kData + "/lang/en.ini";

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

// The table entries of the keys a shipped file holds, in file order; null for a key the program
// does not ask for (catches typos such as "0010").
std::vector<const LanguageEntry*> EntriesIn(const std::string& file, TextEncoding encoding) {
    const auto bytes = ReadFileBytes(file);
    EXPECT_TRUE(bytes && DetectEncoding(*bytes) == encoding) << file;
    std::vector<const LanguageEntry*> entries;
    std::istringstream lines(bytes.value_or(""));
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with('['))
            section = line.substr(1, line.find(']') - 1);
        else if (!line.empty() && line[0] != ';')
            entries.push_back(FindLanguageEntry(section, line.substr(0, line.find('='))));
    }
    return entries;
}

// Each text keeps the leading blanks that are part of the look of frame titles.
void ExpectShapeKept(const std::string& file, const LanguageEntry& entry) {
    EXPECT_EQ(LookupText(file, entry).find_first_not_of(' '),
              entry.defaultText.find_first_not_of(' '))
        << entry.section << "/" << entry.key;
}

// English translates every key once; a duplicate or misplaced table entry shows as a null
// entry or a count that differs.
TEST(LanguageTable, ShippedEnglishFileTranslatesEveryKeyAndNothingElse) {
    const std::vector<const LanguageEntry*> entries =
        EntriesIn(kShippedFile, TextEncoding::kWindows1252);
    EXPECT_EQ(entries.size(), LanguageTable().size());
    EXPECT_EQ(std::count(entries.begin(), entries.end(), nullptr), 0);
    for (const LanguageEntry& entry : LanguageTable()) {
        EXPECT_NE(ReadValue(kShippedFile, entry.section, entry.key, "\x01"), "\x01")
            << "no translation for " << entry.section << "/" << entry.key;
        ExpectShapeKept(kShippedFile, entry);
    }
}

// The German file only mends texts: each of its keys changes a built-in text, and the upload
// log's lines, which scripts read, are not among them.
TEST(LanguageTable, ShippedGermanFileCorrectsOnlyWhatReadsBadly) {
    const std::string file = kData + "/lang/de.ini";
    for (const LanguageEntry* entry : EntriesIn(file, TextEncoding::kUtf8)) {
        ASSERT_NE(entry, nullptr);
        EXPECT_NE(LookupText(file, *entry), WithoutTrailingBlanks(entry->defaultText));
        ExpectShapeKept(file, *entry);
    }
    for (int logged : {6, 7, 8, 9, 15, 16, 17, 18, 21, 31, 32, 33, 34, 35, 36, 37})
        EXPECT_EQ(LookupString(file, logged), LookupString("", logged)) << logged;
}

// Bilder/Sprache first, then gettext's order; a C or POSIX locale keeps the built-in texts.
TEST(InterfaceLanguage, ChosenBySettingThenByTheLocaleInGettextsOrder) {
    const std::vector<std::string> shipped{"de", "en"};
    const struct {
        LocaleVariables locale;
        const char* chosen;
        const char* language;
    } rows[] = {
        {{}, "", ""},
        {{"", "", "", "C.UTF-8"}, "", ""},
        {{"de", "POSIX", "", "de_DE.UTF-8"}, "", ""},  // LANGUAGE does not count under C
        {{"", "", "", "de_DE.UTF-8"}, "", "de"},
        {{"", "", "", "en_US.UTF-8"}, "", "en"},
        {{"", "", "", "fr_FR.UTF-8"}, "", "en"},
        {{"fr:de", "", "", "fr_FR.UTF-8"}, "", "de"},
        {{"en", "de_DE.UTF-8", "fr_FR", "fr_FR"}, "", "en"},
        {{"", "de_DE.UTF-8", "en_US", "en_US"}, "", "de"},  // LC_ALL over LC_MESSAGES
        {{"", "", "de_CH.UTF-8", "en_US"}, "", "de"},       // LC_MESSAGES over LANG
        {{"", "", "", "C"}, "en", "en"},
        {{"", "", "", "de_DE"}, "../../etc/passwd", "de"},  // no file has it
    };
    for (const auto& row : rows)
        EXPECT_EQ(ChooseLanguage(row.locale, row.chosen, shipped), row.language)
            << row.locale.language << "|" << row.locale.lcAll << "|" << row.locale.lang;

    // The settings folder's language.ini wins, but only as a file; a code names no path.
    test::TempDir config;
    const std::string german = kData + "/lang/de.ini";
    EXPECT_EQ(LanguageFileFor(config.path(), kData, "de"), german);
    EXPECT_EQ(LanguageFileFor(config.path(), kData, ""), config.file("language.ini"));
    EXPECT_EQ(LanguageFileFor(config.path(), kData, "../lang/de"), config.file("language.ini"));
    test::TempDir folder;
    ASSERT_EQ(::mkdir(folder.file("language.ini").c_str(), 0755), 0);
    EXPECT_EQ(LanguageFileFor(folder.path(), kData, "de"), german);
    config.write("language.ini", "[STRINGS]\r\n");
    EXPECT_EQ(LanguageFileFor(config.path(), kData, "de"), config.file("language.ini"));
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

// A reason is worded where it is shown, in the interface's language, its arguments in their
// places; the classic rows' reasons keep their texts whatever arguments they carry.
TEST(ReasonText, WordsEachReasonInTheLanguageOfTheTable) {
    const UiStrings german = LoadUiStrings("", "");
    const UiStrings english = LoadUiStrings(kShippedFile, "");
    using C = ReasonCode;
    const struct {
        Reason reason;
        const char* german;
        const char* english;
    } cases[] = {
        {{C::kFileMissing, {"/p/a.jpg"}}, "Datei nicht gefunden", "file not found"},
        {{C::kCannotConnect, {"127.0.0.1:1", "Connection refused"}},
         "keine Verbindung zu 127.0.0.1:1: Connection refused",
         "could not connect to 127.0.0.1:1: Connection refused"},
        {{C::kPictureDamaged, {"JPEG"}}, "JPEG-Datei beschädigt", "JPEG file damaged"},
        {{C::kMissingKey, {"X-API-Key"}}, "Schlüssel fehlt: X-API-Key", "Key missing: X-API-Key"},
        {{C::kHttpStatus, {"500 Internal Server Error"}},
         "HTTP 500 Internal Server Error",
         "HTTP 500 Internal Server Error"},
        // A host's own "%1" is its text, not a place for the status.
        {{C::kHttpStatus, {"400 Bad Request", "quota %1 used up"}},
         "HTTP 400 Bad Request: quota %1 used up",
         "HTTP 400 Bad Request: quota %1 used up"},
        {{C::kConnectFailed, {"h.example", "80", "refused"}},
         "Verbindung fehlgeschlagen",
         "connection failed"},
        {{C::kOther, {"as written"}}, "as written", "as written"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReasonText(c.reason, german), c.german);
        EXPECT_EQ(ReasonText(c.reason, english), c.english);
    }
    // Every code but kOther has a text of its own, and the English file translates it.
    for (int code = 0; code <= static_cast<int>(C::kRequestTemplate); ++code) {
        if (code == static_cast<int>(C::kOther) || code == static_cast<int>(C::kHttpStatus))
            continue;
        const Reason reason(static_cast<C>(code), {"\x01"});
        EXPECT_NE(ReasonText(reason, german), "\x01") << code;
        EXPECT_NE(ReasonText(reason, english), ReasonText(reason, german)) << code;
    }
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
