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
    const std::string asks =
        source.write("ask.sxcu", Definition("ask", R"(, "Arguments": {"t": "{prompt:T}"})"));

    EXPECT_EQ(ImportDefinition(settings.path(), file, LoadHosterRows(settings.path(), "")).id,
              "My-Host-");
    const HosterTable table = LoadHosterRows(settings.path(), "");
    EXPECT_EQ(ImportDefinition(settings.path(), file, table).id, "My-Host--2");
    EXPECT_EQ(ImportDefinition(settings.path(), clash, table).id, "Hoster3-2");
    EXPECT_EQ(
        ImportDefinition(settings.path(), source.write("2024.sxcu", Definition("n")), table).id,
        "host-2024");
    EXPECT_THAT(ImportDefinition(settings.path(), asks, table).failure, HasSubstr("{prompt}"));
    EXPECT_EQ(Mode(settings.file("hosters.d")), 0700);
    EXPECT_EQ(Mode(settings.file("hosters.d/My-Host-.sxcu")), 0600);
    EXPECT_EQ(*ReadFileBytes(settings.file("hosters.d/My-Host-.sxcu")), *ReadFileBytes(file));

    EXPECT_EQ(DeleteDefinition(settings.path(), table.Row(FindHosterRow(table, "My-Host-"))), "");
    EXPECT_FALSE(PathExists(settings.file("hosters.d/My-Host-.sxcu")));
    EXPECT_NE(DeleteDefinition(settings.path(), table.Row(3)), "");
}

}  // namespace
}  // namespace lumar
