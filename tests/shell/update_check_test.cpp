#include "shell/update_check.h"

#include <gtest/gtest.h>

#include <string>

namespace lumar {
namespace {

TEST(UpdateCheck, OffersOnlyAnotherPlausibleVersionFromASuccessfulShortAnswer) {
    for (const char* offered :
         {"V1.01.0009", "v1.01.0010", " V1.01.0010"})  // any difference counts
        EXPECT_TRUE(ShouldOfferUpdate(offered)) << offered;
    for (const char* same : {"V1.01.0010\r\n", "V1.01.0010\n", "V1.01.0010 \t\r\n", "\r\n"})
        EXPECT_FALSE(ShouldOfferUpdate(same)) << same;
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
