#include "shell/update_check.h"

#include <gtest/gtest.h>

#include <string>

namespace lumar {
namespace {

TEST(UpdateCheck, OffersOnlyAnotherPlausibleVersionFromASuccessfulShortAnswer) {
    const std::string current = CurrentVersionText();
    EXPECT_EQ(current, UpdateVersionText(LUMAR_VERSION));
    std::string lower = current;
    lower[0] = 'v';
    for (const std::string& offered :
         {std::string("V1.01.0009"), lower, " " + current})  // any difference counts
        EXPECT_TRUE(ShouldOfferUpdate(offered)) << offered;
    for (const std::string& same : {current + "\r\n", current + "\n", current + " \t\r\n"})
        EXPECT_FALSE(ShouldOfferUpdate(same)) << same;
    EXPECT_FALSE(ShouldOfferUpdate("\r\n"));
    for (const char* page : {"V1.02.0000 <br>", "<html><body>Wartungsarbeiten</body></html>", ""})
        EXPECT_FALSE(ShouldOfferUpdate(page)) << page;
    EXPECT_TRUE(ShouldOfferUpdate("V2", "V1"));
    EXPECT_FALSE(ShouldOfferUpdate("V1", "V1"));

    EXPECT_EQ(UpdateVersionText("2.12.345"), "V2.12.0345");
    EXPECT_EQ(UpdateVersionText("1.x"), "V1.00.0000");

    EXPECT_EQ(VersionDocumentText(200, "V1.01.0011"), "V1.01.0011");
    EXPECT_EQ(VersionDocumentText(301, "Moved"), "");
    const std::string largest(kMaxVersionDocumentBytes, 'V');
    EXPECT_EQ(VersionDocumentText(200, largest), largest);
    EXPECT_EQ(VersionDocumentText(200, largest + "V"), "");
}

}  // namespace
}  // namespace lumar
