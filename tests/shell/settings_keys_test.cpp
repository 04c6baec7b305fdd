#include "shell/settings_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

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

// Totals beyond 32 bits stay exact and never turn into exponent notation; absurd totals from a
// hand-edited file are written back whole, not cut to a few digits.
TEST(SettingKeys, UploadTotalsAreWholeDecimalText) {
    EXPECT_EQ(FormatCount(5e12), "5000000000000");
    EXPECT_EQ(FormatCount(2.5), "2.5");
    EXPECT_EQ(FormatCount(2e15), "2000000000000000");
    const std::string huge = FormatCount(1e300);
    EXPECT_EQ(huge.size(), 301u);
    EXPECT_EQ(huge.substr(0, 4), "1000");
}

TEST(SettingKeys, ParseIntegerAcceptsOnlyWholeDecimalNumbers) {
    long long v = 0;
    EXPECT_TRUE(ParseInteger("-1", v) && v == -1 && ParseInteger("+7", v) && v == 7);
    for (const char* bad :
         {"", "+", "-", "4 5", " 45", "45 ", "0x10", "1e3", "12abc", "99999999999999999999", "+-1"})
        EXPECT_FALSE(ParseInteger(bad, v)) << bad;
}

}  // namespace
}  // namespace lumar
