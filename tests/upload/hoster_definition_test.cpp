#include "upload/hoster_definition.h"

#include <gtest/gtest.h>

#include "hoster_emulator/hoster_emulator.h"
#include "shell/file_io.h"
#include "upload/answer_code.h"

namespace lumar {
namespace {

HosterDef Imported(const std::string& sxcu) {
    const SxcuRead read = ReadSxcu(sxcu);
    EXPECT_EQ(read.failure, "") << sxcu;
    return HosterFromSxcu(read.uploader);
}

HosterDef Shared(const HosterDef& row) {
    return Imported(WriteSxcu(SxcuFromHoster(row), Secrets::Keep));
}

std::string WithRequest(const std::string& fields) {
    return R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", )" + fields + "}";
}

TEST(HosterDefinition, DefinitionsBecomeStandardRowsAndComeBackTheSame) {
    std::vector<HosterDef> rows = {Imported(R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://img.example/up?key=k1", "Arguments": {"tags": "a|b"},
      "FileFormName": "source", "URL": "{json:url}", "MaxFileSize": 2097152})")};
    EXPECT_EQ(rows[0].Request, RequestKind::Standard);
    EXPECT_EQ(rows[0].UploadUrl + " " + rows[0].MaxSizeText, "https://img.example/up 2048kB");
    EXPECT_EQ(rows[0].Parameters, (NamedValues{{"key", "k1"}}));
    EXPECT_EQ(rows[0].Arguments, (NamedValues{{"tags", "a|b"}}));
    rows.push_back(Imported(WithRequest(R"("RequestMethod": "PUT", "Body": "Binary")")));
    EXPECT_EQ(rows.back().Body, BodyKind::Binary);
    for (const char* preset : {"catbox", "pixhost", "imgbb", "imgur", "freeimage"})
        rows.push_back(Imported(
            *ReadFileBytes(std::string(LUMAR_SOURCE_DIR) + "/data/hosters.d/" + preset + ".sxcu")));
    for (const HosterDef& row : rows) EXPECT_EQ(Shared(row), row) << row.Name;
}

// Marker rows are shared as templates picking link and thumbnail out of the code between the
// markers, however many characters special to templates or patterns the markers hold.
TEST(HosterDefinition, MarkerRowsExportTemplatesReadingTheirCode) {
    const std::string code = "[URL=http://h.example/p/1][IMG]http://h.example/t/1.jpg[/IMG][/URL]";
    std::vector<std::pair<HosterDef, std::string>> cases;
    for (const HosterDef& row : InitHosters())
        if (!row.Name.empty())
            cases.emplace_back(row,
                               tools::HosterEmulator::PageFor(
                                   tools::HosterEmulator::StyleForFileField(row.FileField), code));
    HosterDef odd = InitHosters()[1];
    odd.StartMarker = R"(a|b{c}:\d.*)";
    odd.CodeMarker = "";
    odd.EndMarker = "$)";
    cases.emplace_back(odd, "[URL=http://x/no] a|b{c}:\\d.*" + code + "$)");
    for (const auto& [row, page] : cases) {
        const HosterDef shared = Shared(row);
        const AnswerFieldsParse fields =
            ParseAnswerFields(shared.UrlTemplate, shared.ThumbnailTemplate, "", "");
        AnswerContext answer;
        answer.body = page;
        const AnswerLinks links = ReadAnswerLinks(fields.fields, answer);
        EXPECT_EQ(links.url + " " + links.thumbnail_url,
                  "http://h.example/p/1 http://h.example/t/1.jpg")
            << row.Name << "\n"
            << shared.UrlTemplate;
    }
    odd.ConnectHost = "127.0.0.1";
    odd.Port = 8080;
    EXPECT_EQ(Shared(odd).UploadUrl, "http://127.0.0.1:8080/upload.php");
}

TEST(HosterDefinition, MissingKeyNamesTheKeyLeftEmpty) {
    const std::pair<const char*, const char*> cases[] = {
        {R"("Headers": {"Authorization": "Client-ID "})", "Authorization"},
        {R"("Headers": {"Authorization": "Client-ID 4f2a"})", ""},
        {R"("Parameters": {"key": ""}, "Arguments": {"album": ""})", "key"},
        {R"("Arguments": {"title": "", "api_key": " "})", "api_key"},
    };
    for (const auto& [fields, missing] : cases)
        EXPECT_EQ(MissingKey(Imported(WithRequest(std::string(fields) + R"(, "Body": "Binary")"))),
                  missing);
}

}  // namespace
}  // namespace lumar
