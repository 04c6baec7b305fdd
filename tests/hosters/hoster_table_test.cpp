#include "hosters/hoster_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "hosters/hoster_rows.h"
#include "session/hoster_choice.h"
#include "shell/file_io.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

TEST(HosterTable, FormListsPairNamesWithValuesKeepingEmptyOnes) {
    EXPECT_EQ(SplitFormList("a||"), (std::vector<std::string>{"a", "", ""}));
    HosterDef one;
    one.FormNames = "only";
    one.FormValues = "a|b";
    bool ok = true;
    EXPECT_TRUE(FormFields(one, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(HosterTable, IniOverridesFieldsOfBuiltInRows) {
    const HosterTable table = LoadHostersFromText(
        "[Hoster3]\nConnectHost=127.0.0.1\nPort=8080\n"
        "[hoster1]\nFormValues=\"  |2|x\"\nCodeMarker=\n");
    EXPECT_TRUE(table.problems.empty());
    ASSERT_EQ(table.Count(), 7);
    EXPECT_EQ(table.Row(3).Port, 8080);
    EXPECT_EQ(table.Row(1).FormValues, "  |2|x");  // quotes keep the leading blanks
    EXPECT_EQ(table.Row(1).CodeMarker, "");        // present but empty sets it empty
}

TEST(HosterTable, BadOverridesAreReportedAndIgnored) {
    // Control characters would reach the request line, headers and part headers.
    const HosterTable table = LoadHostersFromText(
        "[Hoster2]\nName=\nPort=65535\nTrimCount=x\nConnectHost=127.0.0.1 "
        "/x\nUploadUrl=http://h/\ru\n"
        "[Hoster4]\nFormValues=1|2\n"
        "[Hoster5]\nFormNames=a\tb|c\nFormValues=x\x1B|y\nFileField=f\rContent-Type: x\n");
    ASSERT_EQ(table.Count(), 7);
    const auto overridden = [](const HosterDef& r) {
        return std::tie(r.Name, r.Port, r.TrimCount, r.ConnectHost, r.UploadUrl, r.FormNames,
                        r.FormValues, r.FileField);
    };
    const std::vector<HosterDef> builtIn = InitHosters();
    for (size_t row : {2u, 4u, 5u})
        EXPECT_EQ(overridden(table.Row(static_cast<int>(row))), overridden(builtIn[row])) << row;
    EXPECT_EQ(table.problems.size(), 9u);
}

// The keys of a complete added row that reads its code between markers.
std::string AddedRow(const std::string& name) {
    return "Name=" + name +
           "\nConnectHost=h\nUploadUrl=http://h/up\nFileField=f\nStartMarker=[URL=\nEndMarker=[/"
           "URL]\n";
}

TEST(HosterTable, AddedRowsFollowWithoutGapsAndIncompleteOnesAreSkipped) {
    const HosterTable table = LoadHostersFromText("[Hoster8]\n" + AddedRow("eight") +
                                                  "[Hoster9]\nName=broken\nConnectHost=h\n"
                                                  "[Hoster10]\n" +
                                                  AddedRow("ten") +
                                                  "TrimCount=2\n"
                                                  "[Hoster12]\n" +
                                                  AddedRow("after a gap"));
    ASSERT_EQ(table.Count(), 9);
    EXPECT_EQ(table.Row(9).Name + std::to_string(table.Row(9).TrimCount), "ten2");
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_NE(table.problems[0].find("[Hoster9] skipped: UploadUrl is missing"), std::string::npos)
        << table.problems[0];

    // 2,000 added rows all load (the reader parses the text once, not once per key).
    std::string many;
    for (int n = 8; n < 2008; ++n)
        many += "[Hoster" + std::to_string(n) + "]\n" + AddedRow("r" + std::to_string(n));
    EXPECT_EQ(LoadHostersFromText(many).Count(), 2007);
}

TEST(HosterTable, AddedRowsNeedNoMarkersAndRefuseWhatWouldBreakTheRequest) {
    // The first of two equal keys counts, so a bad value goes in front of the row.
    const std::string standard =
        "Name=s\nRequest=standard\nUploadUrl=https://h.example/up?x=1\n"
        "FileField=image\nHeaders=X-API-Key: k:1|Accept: */*\nParameters=key=a b\n"
        "URL={json:data.url}\nCodeStyle=link\nMaxFileSize=2 MB\nConnections=5\n"
        "Accepts=jpg, PNG|png\nDeletionConfirm=has been (deleted|removed)\n";
    const HosterTable table = LoadHostersFromText("[Hoster8]\n" + standard);
    ASSERT_EQ(table.Count(), 8) << (table.problems.empty() ? "" : table.problems[0]);
    EXPECT_EQ(table.Row(8).DeletionConfirm, "has been (deleted|removed)");
    // A page that asks first answers 200 too; only the pattern tells a deletion from it.
    EXPECT_TRUE(DeletionConfirmed(table.Row(8).DeletionConfirm, "Image HAS BEEN removed"));
    EXPECT_FALSE(DeletionConfirmed(table.Row(8).DeletionConfirm, "<form>Delete?</form>"));
    EXPECT_EQ(table.Row(8).Headers, (NamedValues{{"X-API-Key", "k:1"}, {"Accept", "*/*"}}));
    EXPECT_EQ(table.Row(8).MaxBytes, 2u << 20);
    // What a row leaves out is its kind's: classic rows one image at a time, never retried.
    EXPECT_EQ((std::pair{ConnectionsFor(table.Row(8)), RetriesFor(table.Row(8))}),
              (std::pair{5, 2}));
    EXPECT_EQ((std::pair{ConnectionsFor(table.Row(1)), RetriesFor(table.Row(1))}),
              (std::pair{1, 0}));
    EXPECT_EQ(table.Row(8).Accepts, "jpeg,png");

    // Marker rows too are taken whole or not at all.
    for (const std::string& bad :
         {"UploadUrl=/up\n" + standard, "Body=binary\nRequest=bogus\n" + standard,
          "URL={nosuch:x}\n" + standard, "Headers=X-Key: a\rSet-Cookie: b\n" + standard,
          "Headers=Bad Name: v\n" + standard, "MaxFileSize=2 GB\n" + standard,
          "Connections=0\n" + standard, "Retries=many\n" + standard,
          "Accepts=jpeg,bmp\n" + standard, "DeletionConfirm=(gone\n" + standard,
          AddedRow("r") + "FormNames=a|a\nFormValues=1|2\n",
          AddedRow("r") + "FormNames=a\nFormValues=1\x1B[2J\n"}) {
        const HosterTable refused = LoadHostersFromText("[Hoster8]\n" + bad);
        EXPECT_EQ(refused.Count(), 7) << bad;
        EXPECT_EQ(refused.problems.size(), 1u) << bad;
    }
}

// A missing file gives the built-in table, whose rows outside it are the empty row.
TEST(HosterTable, LoadsTheFileAndToleratesItsAbsence) {
    test::TempDir dir;
    const HosterTable builtIn = LoadHosters(dir.file("missing.ini"));
    EXPECT_EQ(builtIn.Count(), 7);
    for (int row : {-1, 0, 8}) EXPECT_TRUE(builtIn.Row(row).StartMarker.empty()) << row;
    const std::string path = dir.write("hosters.ini", "[Hoster5]\r\nHomeUrl=http://k\xE4se/\r\n");
    EXPECT_EQ(LoadHosters(path).Row(5).HomeUrl,
              "http://k\xC3\xA4se/");  // Windows-1252 file read as UTF-8 text
    const std::string huge =
        dir.write("huge.ini", "[Hoster5]\nName=big\n" + std::string(kMaxIniFileBytes, ';'));
    const HosterTable refused = LoadHosters(huge);
    EXPECT_EQ(refused.Row(5).Name, "keepmyfile");
    EXPECT_EQ(refused.problems,
              std::vector<std::string>{"file larger than 4 MiB, not read; built-in hosters used"});
}

using test::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Definition(const std::string& name, const std::string& extra = "") {
    return R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary",
               "Name": ")" +
           name + "\"" + extra + "}";
}

std::vector<std::string> AddedRows(const HosterTable& table) {
    std::vector<std::string> rows;
    for (int row = kBuiltInHosterCount + 1; row <= table.Count(); ++row)
        rows.push_back(table.Row(row).Id + " " + table.Row(row).Name);
    return rows;
}

int Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(HosterRows, OwnDefinitionsThenPresetsSortedByIdOwnReplacingOrHidingPresets) {
    TempDir settings, data;
    settings.write("hosters.ini",
                   "[Hoster8]\nName=ini\nConnectHost=h\nUploadUrl=http://h/u\n"
                   "FileField=f\nStartMarker=a\nEndMarker=b\n");
    settings.write("hosters.d/zeta.sxcu", Definition("own zeta"));
    settings.write("hosters.d/imgbb.sxcu", Definition("own imgbb"));
    settings.write("hosters.d/catbox.sxcu", "");
    settings.write("hosters.d/broken.sxcu", R"({"RequestURL": "https://h/"})");
    settings.write("hosters.d/Hoster8.sxcu", Definition("same ID as an ini row"));
    for (const char* preset : {"pixhost", "catbox", "imgbb", "alpha"})
        data.write(std::string("hosters.d/") + preset + ".sxcu", Definition(preset));

    const HosterTable table = LoadHosterRows(settings.path(), data.path());
    EXPECT_THAT(AddedRows(table), ElementsAre("Hoster8 ini", "imgbb own imgbb", "zeta own zeta",
                                              "alpha alpha", "pixhost pixhost"));
    EXPECT_THAT(table.problems, ElementsAre(HasSubstr("hosters.d/broken.sxcu: the file names no"),
                                            HasSubstr("hosters.d/Hoster8.sxcu: ID taken")));
    EXPECT_EQ(HosterRowFromText(table, "zeta"), 10);
    EXPECT_EQ(HosterRowFromText(table, "catbox"), 0);

    // The choice follows its row by ID when rows before it come or go.
    const std::string ini = settings.file("Lumar.ini");
    RememberHosterRow(table, 10, ini);
    settings.write("hosters.d/beta.sxcu", Definition("beta"));
    EXPECT_EQ(RememberedHosterRow(LoadHosterRows(settings.path(), data.path()), ini), 11);
}

TEST(HosterRows, ImportKeepsTheFilePrivateNeverReplacesAndDeleteRemovesIt) {
    TempDir settings, source;
    const std::string file = source.write("My Host!.sxcu", Definition("mine"));
    const std::string clash = source.write("Hoster3.sxcu", Definition("clash"));
    const std::string unreachable =
        source.write("host.sxcu", Definition("host", R"(, "Headers": {"Host": "elsewhere"})"));

    EXPECT_EQ(ImportDefinition(settings.path(), file, LoadHosterRows(settings.path(), "")).id,
              "My-Host-");
    const HosterTable table = LoadHosterRows(settings.path(), "");
    EXPECT_EQ(ImportDefinition(settings.path(), file, table).id, "My-Host--2");
    EXPECT_EQ(ImportDefinition(settings.path(), clash, table).id, "Hoster3-2");
    EXPECT_EQ(
        ImportDefinition(settings.path(), source.write("2024.sxcu", Definition("n")), table).id,
        "host-2024");
    EXPECT_EQ(ImportDefinition(settings.path(), source.write("-5.sxcu", Definition("n")), table).id,
              "host-5");
    EXPECT_THAT(ImportDefinition(settings.path(), unreachable, table).failure,
                HasSubstr("Headers: Host is written by Lumar itself"));
    EXPECT_EQ(Mode(settings.file("hosters.d")), 0700);
    EXPECT_EQ(Mode(settings.file("hosters.d/My-Host-.sxcu")), 0600);
    EXPECT_EQ(*ReadFileBytes(settings.file("hosters.d/My-Host-.sxcu")), *ReadFileBytes(file));

    EXPECT_EQ(DeleteDefinition(settings.path(), table.Row(FindHosterRow(table, "My-Host-"))), "");
    EXPECT_FALSE(PathExists(settings.file("hosters.d/My-Host-.sxcu")));
    EXPECT_NE(DeleteDefinition(settings.path(), table.Row(3)), "");
}

}  // namespace
}  // namespace lumar
