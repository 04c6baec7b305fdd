#include "shell/update_check.h"

#include <gtest/gtest.h>

#include <string>

namespace lumar {
namespace {

TEST(UpdateCheck, OffersOnlyAnotherPlausibleVersion) {
    EXPECT_FALSE(ShouldOfferUpdate("V1.01.0010"));
    EXPECT_TRUE(ShouldOfferUpdate("V1.01.0011"));
    EXPECT_TRUE(ShouldOfferUpdate("V1.01.0009"));  // any difference, not only a newer one
    // Exact comparison: the published form is without line break and in this case.
    EXPECT_TRUE(ShouldOfferUpdate("V1.01.0010\r\n"));
    EXPECT_TRUE(ShouldOfferUpdate("v1.01.0010"));
    EXPECT_TRUE(ShouldOfferUpdate(" V1.01.0010"));
    // Empty answers and HTML pages never count as a version.
    EXPECT_FALSE(ShouldOfferUpdate(""));
    EXPECT_FALSE(ShouldOfferUpdate("<html><body>404</body></html>"));
    EXPECT_FALSE(ShouldOfferUpdate("V1.02.0000 <br>"));
    EXPECT_TRUE(ShouldOfferUpdate("V2", "V1"));
    EXPECT_FALSE(ShouldOfferUpdate("V1", "V1"));
}

TEST(UpdateCheck, OnlyASuccessfulShortAnswerIsRead) {
    EXPECT_EQ(VersionDocumentText(200, "V1.01.0011"), "V1.01.0011");
    EXPECT_EQ(VersionDocumentText(204, ""), "");
    // A plain-text error page has no "<" but must not be offered as a version.
    EXPECT_EQ(VersionDocumentText(404, "Not Found"), "");
    EXPECT_EQ(VersionDocumentText(500, "Internal Server Error"), "");
    EXPECT_EQ(VersionDocumentText(0, "partial"), "");
    EXPECT_EQ(VersionDocumentText(301, "Moved"), "");
    const std::string huge(kMaxVersionDocumentBytes + 1, 'V');
    EXPECT_EQ(VersionDocumentText(200, huge), "");
    const std::string largest(kMaxVersionDocumentBytes, 'V');
    EXPECT_EQ(VersionDocumentText(200, largest), largest);
}

}  // namespace
}  // namespace lumar
