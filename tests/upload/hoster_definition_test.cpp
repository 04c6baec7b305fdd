#include "upload/hoster_definition.h"

#include <gtest/gtest.h>

#include "hoster_emulator/hoster_emulator.h"
#include "shell/file_io.h"
#include "upload/answer_code.h"

namespace lumar {
namespace {

using tools::HosterEmulator;
using tools::HosterStyle;

HosterDef Imported(const std::string& sxcu) {
    const SxcuRead read = ReadSxcu(sxcu);
    EXPECT_EQ(read.failure, "") << sxcu;
    return HosterFromSxcu(read.uploader);
}

HosterDef ExportedAndImported(const HosterDef& row) {
    return Imported(WriteSxcu(SxcuFromHoster(row), Secrets::Keep));
}

TEST(HosterDefinition, DefinitionsBecomeStandardRowsAndComeBackTheSame) {
    const HosterDef multipart = Imported(R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://img.example/api/up?key=k1", "Headers": {"Accept": "application/json"},
      "Arguments": {"tags": "a|b", "n": 7}, "FileFormName": "source", "URL": "{json:image.url}",
      "ThumbnailURL": "{json:image.thumb.url}", "MaxFileSize": 2097152})");
    HosterDef expected;
    expected.Name = "img.example";
    expected.HomeUrl = "https://img.example/";
    expected.MaxSizeText = "2048kB";
    expected.UploadUrl = "https://img.example/api/up";
    expected.FileField = "source";
    expected.Request = RequestKind::Standard;
    expected.Headers = {{"Accept", "application/json"}};
    expected.Parameters = {{"key", "k1"}};
    expected.Arguments = {{"tags", "a|b"}, {"n", "7"}};
    expected.UrlTemplate = "{json:image.url}";
    expected.ThumbnailTemplate = "{json:image.thumb.url}";
    expected.MaxBytes = 2097152;
    EXPECT_EQ(multipart, expected);

    std::vector<HosterDef> rows = {multipart, Imported(R"({"DestinationType": "ImageUploader",
      "RequestMethod": "PUT", "RequestURL": "http://bin.example:8080/up", "Body": "Binary"})")};
    for (const char* preset : {"catbox", "pixhost", "imgbb", "imgur", "freeimage"})
        rows.push_back(Imported(
            *ReadFileBytes(std::string(LUMAR_SOURCE_DIR) + "/data/hosters.d/" + preset + ".sxcu")));
    EXPECT_EQ(rows[1].Body, BodyKind::Binary);
    for (const HosterDef& row : rows) EXPECT_EQ(ExportedAndImported(row), row) << row.Name;
}

// A row that cuts its code between markers is shared as templates that pick the link and the
// thumbnail out of that code, markers written as literal text however many special
// characters they hold.
TEST(HosterDefinition, MarkerRowsExportTemplatesReadingTheirCode) {
    const std::string code = "[URL=http://h.example/p/1][IMG]http://h.example/t/1.jpg[/IMG][/URL]";
    const std::vector<HosterDef> builtIn = InitHosters();
    const HosterStyle styles[] = {HosterStyle::ImageVenue, HosterStyle::ImageVenue,
                                  HosterStyle::ImageShack, HosterStyle::DumpAnImage,
                                  HosterStyle::KeepMyFile, HosterStyle::PaintedOver,
                                  HosterStyle::SUpload};
    std::vector<std::pair<HosterDef, std::string>> cases;
    for (size_t i = 0; i < 7; ++i)
        cases.emplace_back(builtIn[i + 1], HosterEmulator::PageFor(styles[i], code));
    HosterDef odd = builtIn[1];
    odd.StartMarker = R"(a|b{c}:\d.*)";
    odd.CodeMarker = "";
    odd.EndMarker = "$)";
    cases.emplace_back(odd, "[URL=http://x/no] a|b{c}:\\d.*" + code + "$)");
    for (const auto& [row, page] : cases) {
        const HosterDef shared = ExportedAndImported(row);
        const AnswerFieldsParse fields =
            ParseAnswerFields(shared.UrlTemplate, shared.ThumbnailTemplate, "", "");
        ASSERT_EQ(fields.failure, "") << shared.UrlTemplate;
        AnswerContext answer;
        answer.body = page;
        const AnswerLinks links = ReadAnswerLinks(fields.fields, answer);
        EXPECT_EQ(links.url, "http://h.example/p/1") << row.Name << "\n" << shared.UrlTemplate;
        EXPECT_EQ(links.thumbnail_url, "http://h.example/t/1.jpg") << row.Name;
    }
    HosterDef moved = builtIn[1];
    moved.ConnectHost = "127.0.0.1";
    moved.Port = 8080;
    EXPECT_EQ(ExportedAndImported(moved).UploadUrl, "http://127.0.0.1:8080/upload.php");
    EXPECT_EQ(ExportedAndImported(builtIn[2]).Arguments,
              (NamedValues{{"MAX_FILE_SIZE", " "}, {"action", "1"}, {"imgcontent", "notsafe"}}));
}

TEST(HosterDefinition, MissingKeyNamesTheKeyLeftEmpty) {
    const struct {
        const char* file;
        const char* missing;
    } cases[] = {
        {R"({"Headers": {"Authorization": "Client-ID "}})", "Authorization"},
        {R"({"Headers": {"Authorization": "Client-ID 4f2a"}})", ""},
        {R"({"Parameters": {"key": ""}, "Arguments": {"album": ""}})", "key"},
        {R"({"Arguments": {"format": "json", "api_key": " "}})", "api_key"},
        {R"({"Arguments": {"reqtype": "fileupload", "title": ""}})", ""},
    };
    for (const auto& c : cases) {
        std::string file = c.file;
        file.insert(1, R"("DestinationType": "ImageUploader", "RequestURL": "https://h/",
                          "Body": "Binary", )");
        EXPECT_EQ(MissingKey(Imported(file)), c.missing) << c.file;
    }
}

}  // namespace
}  // namespace lumar
