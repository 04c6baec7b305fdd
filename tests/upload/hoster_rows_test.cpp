#include "upload/hoster_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "session/hoster_choice.h"
#include "shell/file_io.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using test::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Definition(const std::string& name, const std::string& extra = "") {
    return R"({"Name": ")" + name +
           R"(", "DestinationType": "ImageUploader", "RequestURL": "https://h.example/up",
              "Body": "Binary")" +
           extra + "}";
}

std::vector<std::string> RowsAfterBuiltIn(const HosterTable& table) {
    std::vector<std::string> rows;
    for (int row = kBuiltInHosterCount + 1; row <= table.Count(); ++row)
        rows.push_back(table.Row(row).Id + " " + table.Row(row).Name);
    return rows;
}

int Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(HosterRows, OwnDefinitionsThenPresetsEachSortedByIdOwnReplacingOrHidingPresets) {
    TempDir settings, data;
    settings.write("hosters.ini",
                   "[Hoster8]\nName=ini row\nConnectHost=h\nUploadUrl=http://h/u\n"
                   "FileField=f\nStartMarker=a\nEndMarker=b\n");
    settings.write("hosters.d/zeta.sxcu", Definition("own zeta"));
    settings.write("hosters.d/imgbb.sxcu",
                   Definition("own imgbb", R"(, "Parameters": {"key": "k"})"));
    settings.write("hosters.d/catbox.sxcu", "");
    settings.write("hosters.d/broken.sxcu", R"({"RequestURL": "https://h/"})");
    settings.write("hosters.d/notes.txt", "not a definition");
    settings.write("hosters.d/Hoster8.sxcu", Definition("same ID as an ini row"));
    for (const char* preset : {"pixhost", "catbox", "imgbb", "alpha"})
        data.write(std::string("hosters.d/") + preset + ".sxcu", Definition(preset));

    const HosterTable table = LoadHosterRows(settings.path(), data.path());
    EXPECT_THAT(RowsAfterBuiltIn(table),
                ElementsAre("Hoster8 ini row", "imgbb own imgbb", "zeta own zeta", "alpha alpha",
                            "pixhost pixhost"));
    EXPECT_EQ(table.Row(9).Origin, RowOrigin::Definition);
    EXPECT_EQ(table.Row(11).Origin, RowOrigin::Preset);
    ASSERT_EQ(table.problems.size(), 2u);
    EXPECT_THAT(table.problems[0], HasSubstr("hosters.d/broken.sxcu: the file names no Body"));
    EXPECT_THAT(table.problems[1], HasSubstr("hosters.d/Hoster8.sxcu: ID taken"));

    EXPECT_EQ(HosterRowFromText(table, "zeta"), 10);
    EXPECT_EQ(HosterRowFromText(table, "12"), 12);
    EXPECT_EQ(HosterRowFromText(table, "13"), 0);
    EXPECT_EQ(HosterRowFromText(table, "catbox"), 0);

    // The choice follows its row by ID when rows before it come or go.
    const std::string ini = settings.file("Lumar.ini");
    RememberHosterRow(table, 10, ini);
    settings.write("hosters.d/beta.sxcu", Definition("beta"));
    const HosterTable grown = LoadHosterRows(settings.path(), data.path());
    EXPECT_EQ(RememberedHosterRow(grown, ini), 11);
    ::unlink(settings.file("hosters.d/zeta.sxcu").c_str());
    EXPECT_EQ(RememberedHosterRow(LoadHosterRows(settings.path(), data.path()), ini), 10);
}

TEST(HosterRows, ImportKeepsTheFilePrivateNeverReplacesAndDeleteRemovesIt) {
    TempDir settings, source;
    const std::string file =
        source.write("My Host!.sxcu", Definition("mine", R"(, "Headers": {"X-API-Key": "k"})"));
    const std::string clash = source.write("Hoster3.sxcu", Definition("clash"));
    const std::string refused = source.write(
        "ask.sxcu", Definition("ask", R"(, "Arguments": {"title": "{prompt:Title}"})"));

    HosterTable table = LoadHosterRows(settings.path(), "");
    EXPECT_EQ(ImportDefinition(settings.path(), file, table).id, "My-Host-");
    table = LoadHosterRows(settings.path(), "");
    EXPECT_EQ(ImportDefinition(settings.path(), file, table).id, "My-Host--2");
    EXPECT_EQ(ImportDefinition(settings.path(), clash, table).id, "Hoster3-2");
    EXPECT_THAT(ImportDefinition(settings.path(), refused, table).failure, HasSubstr("{prompt}"));

    EXPECT_EQ(Mode(settings.file("hosters.d")), 0700);
    EXPECT_EQ(Mode(settings.file("hosters.d/My-Host-.sxcu")), 0600);
    EXPECT_EQ(*ReadFileBytes(settings.file("hosters.d/My-Host-.sxcu")), *ReadFileBytes(file));

    table = LoadHosterRows(settings.path(), "");
    EXPECT_EQ(DeleteDefinition(settings.path(), table.Row(FindHosterRow(table, "My-Host-"))), "");
    EXPECT_FALSE(PathExists(settings.file("hosters.d/My-Host-.sxcu")));
    EXPECT_NE(DeleteDefinition(settings.path(), table.Row(3)), "");
}

}  // namespace
}  // namespace lumar
