#include "hosters/sxcu_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "hoster_emulator/hoster_emulator.h"
#include "hosters/answer_code.h"
#include "hosters/hoster_definition.h"
#include "shell/file_io.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;

const char* kMultipart = R"({
  "Version": "15.0.0", "Name": "", "DestinationType": "ImageUploader, FileUploader",
  "RequestMethod": "post", "RequestURL": "https://img.example.org/api/1/upload?format=xml&key=a%20b+c&key=2&p=%25y%7B#top",
  "Parameters": {"format": "json"},
  "Headers": {"X-API-Key": "s3cret", "Accept": "application/json"},
  "Body": "MultipartFormData", "Arguments": {"title": "{filename}", "album": 7}, "FileFormName": "source",
  "URL": "{json:image.url}", "ThumbnailURL": "{json:image.thumb.url}", "ErrorMessage": "{json:error.message}",
  "MaxFileSize": 1048576})";
const char* kOlderWithNamedGroups =
    R"({"Version": "13.7.0", "Name": "Old host", "DestinationType": "ImageUploader",
  "RequestType": "POST", "RequestURL": "http://old.example/upload.php", "FileFormName": "img",
  "Arguments": {"mode": "$random:a|b$"}, "RegexList": ["href=\"(?<link>[^\"]+)\"", "src='([^']+)'"],
  "URL": "$regex:1|link$", "ThumbnailURL": "$regex:2|1$", "DeletionURL": "{x} \\$$json:del$"})";
// The older generation's other spellings: the group after a comma, by number or name, a
// bracketed JSON path, and a null argument.
const char* kOlderCommaForms =
    R"~({"Version": "12.4.1", "DestinationType": "ImageUploader", "RequestURL": "http://old.example/up",
  "FileFormName": "img", "Arguments": {"album": null},
  "RegexList": ["\"link\":\"([^\"]+)\"", "thumb=(?<ext>[^ ]+)"],
  "URL": "$regex:1,1$", "ThumbnailURL": "$regex:2,ext$", "DeletionURL": "$json:['a'][0]['b']$"})~";
const char* kPlainText =
    R"({"DestinationType": "ImageUploader", "RequestURL": "https://files.example/api.php",
  "Arguments": {"reqtype": "fileupload"}, "FileFormName": "fileToUpload"})";

TEST(Sxcu, ReadsBothGenerations) {
    const SxcuRead multipart = ReadSxcu(kMultipart);
    ASSERT_EQ(multipart.failure, "");
    SxcuUploader expected;
    expected.version = "15.0.0";
    expected.name = "img.example.org";
    expected.destinationType = "ImageUploader, FileUploader";
    expected.requestUrl = "https://img.example.org/api/1/upload";
    expected.parameters = {{"format", "json"}, {"key", "a b c"}, {"p", "%%y\\{"}};
    expected.headers = {{"X-API-Key", "s3cret"}, {"Accept", "application/json"}};
    expected.arguments = {{"title", "{filename}"}, {"album", "7"}};
    expected.fileFormName = "source";
    expected.url = "{json:image.url}";
    expected.thumbnailUrl = "{json:image.thumb.url}";
    expected.errorMessage = "{json:error.message}";
    expected.maxFileSize = 1048576;
    EXPECT_EQ(multipart.uploader, expected);

    const SxcuRead older = ReadSxcu(kOlderWithNamedGroups);
    ASSERT_EQ(older.failure, "");
    EXPECT_EQ(older.uploader.version, "14.0.0");
    EXPECT_EQ(older.uploader.arguments, (NamedValues{{"mode", "{random:a|b}"}}));
    EXPECT_EQ(older.uploader.url, R"~({regex:href="(?<link>[^"]+)"|link})~");
    EXPECT_EQ(older.uploader.deletionUrl, R"(\{x\} ${json:del})");

    const SxcuRead comma = ReadSxcu(kOlderCommaForms);
    ASSERT_EQ(comma.failure, "");
    EXPECT_EQ(comma.uploader.arguments, (NamedValues{{"album", ""}}));
    EXPECT_EQ(comma.uploader.url, R"~({regex:"link":"([^"]+)"|1})~");
    EXPECT_EQ(comma.uploader.thumbnailUrl, R"~({regex:thumb=(?<ext>[^ ]+)|ext})~");
    EXPECT_EQ(comma.uploader.deletionUrl, "{json:['a'][0]['b']}");
}

TEST(Sxcu, ConvertedAndPlainTextRowsBuildTheirCode) {
    const struct {
        const char* file;
        const char* answer;
        const char* code;
    } cases[] = {
        {kOlderWithNamedGroups, "<a href=\"https://o/x.jpg\"><img src='https://o/t.jpg'></a>",
         "[URL=https://o/x.jpg][IMG]https://o/t.jpg[/IMG][/URL]"},
        {kPlainText, "https://files.example/abc.jpg\n", "[IMG]https://files.example/abc.jpg[/IMG]"},
        {kOlderCommaForms, R"({"link":"https://o/x.jpg"} thumb=https://o/t.jpg)",
         "[URL=https://o/x.jpg][IMG]https://o/t.jpg[/IMG][/URL]"},
    };
    for (const auto& c : cases) {
        const SxcuUploader u = ReadSxcu(c.file).uploader;
        const AnswerFieldsParse fields =
            ParseAnswerFields(u.url, u.thumbnailUrl, "", u.errorMessage);
        ASSERT_EQ(fields.failure, "");
        AnswerContext answer;
        answer.body = c.answer;
        EXPECT_EQ(BuildCodeFromAnswer(fields.fields, answer, CodeStyle::kLinkedThumbnail).text,
                  c.code);
    }
}

TEST(Sxcu, RefusesWhatCannotUploadAnImage) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "JSON"})",
         "Body JSON cannot carry an image"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "MultipartFormData",
             "FileFormName": "f", "Arguments": {"title": "%rn{4}{nosuch:x}"}})",
         "Arguments: title: unknown function {nosuch}"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary",
             "Headers": {"X": "{inputbox:{filename}}"}})",
         "Headers: X: {inputbox}: the title, default and choices must be plain text"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "Webhook URL", "Body": "Binary"})",
         "RequestURL \"Webhook URL\" is a placeholder"},
        {R"({"DestinationType": "TextUploader", "RequestURL": "https://h/", "Body": "Binary"})",
         "names no ImageUploader"},
        {R"({"Version": "12.4.1", "DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary",
             "RegexList": ["a"], "URL": "$regex:2|1$"})",
         "URL: $regex:2$ names no entry of the RegexList"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "ftp://h/", "Body": "Binary"})",
         "no http or https"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/?k%a2=1", "Body": "Binary"})",
         "the query k%a2=1 decodes to no UTF-8 text"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary", "Headers": ["x"]})",
         "Headers must be an object"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary",
             "Headers": {"X": "1\r\nCookie: a"}})",
         "Headers: the value of X holds a line break"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "FileFormName": "f",
             "Arguments": {"a\"; filename=\"x": "1"}})",
         "cannot be sent as a form field"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary", "MaxFileSize": -1})",
         "MaxFileSize must be a number of bytes"},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary", "DeletionConfirm": "(gone"})",
         "DeletionConfirm: "},
        {R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary",
             "Headers": {"Content-length": "1"}})",
         "Headers: Content-length is written by Lumar itself"},
        {R"~({"DestinationType": "ImageUploader", "RequestURL": "https://h/", "Body": "Binary",
             "Headers": {"X(1)": "1"}})~",
         "Headers: \"X(1)\" is no header name"},
        {"[1, 2]", "no JSON object"},
        {"\xEF\xBB\xBF{\"Name\": \"\xFF\"}", "no JSON object"},
    };
    for (const auto& c : cases)
        EXPECT_THAT(ReadSxcu(c.file).failure, HasSubstr(c.reason)) << c.file;

    // What no request could ever reach, or a header the request writes itself.
    const std::pair<const char*, const char*> requests[] = {
        {R"("RequestURL": "https://h/up\r\nX: 1")", "holds a blank, line break or control"},
        {R"("RequestURL": "https://h/a b")", "holds a blank"},
        {R"("RequestURL": "https://h/a\u0000")", "holds a blank"},
        {R"("RequestURL": "https://me@h/up")", "user name or password"},
        {R"("RequestURL": "https://h:0/up")", "bad port"},
        {R"("RequestURL": "https://h:99999/up")", "bad port"},
        {R"("RequestURL": "https://h/", "Headers": {"Host": "x"})", "Host is written by Lumar"},
        {R"("RequestURL": "https://h/", "Headers": {"transfer-encoding": "chunked"})",
         "transfer-encoding is written by Lumar"},
    };
    for (const auto& [fields, reason] : requests)
        EXPECT_THAT(ReadSxcu(R"({"DestinationType": "ImageUploader", "Body": "Binary", )" +
                             std::string(fields) + "}")
                        .failure,
                    HasSubstr(reason))
            << fields;
}

// Files past the caps are refused whole, and reading stays linear up to them: 10,000 keys of
// one object would cost a hundred million comparisons if each insert looked at the keys before.
TEST(Sxcu, BoundedFilesAreReadInOneLinearPass) {
    std::string many = R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/",
        "Body": "Binary", "Arguments": {)";
    for (int i = 0; i < 9990; ++i) many += (i ? ",\"a" : "\"a") + std::to_string(i) + "\": \"v\"";
    const SxcuRead read = ReadSxcu(many + R"(, "a0": "last"}})");
    ASSERT_EQ(read.failure, "");
    ASSERT_EQ(read.uploader.arguments.size(), 9990u);
    EXPECT_EQ(read.uploader.arguments[0], (std::pair<std::string, std::string>{"a0", "last"}));
    EXPECT_EQ(read.uploader.arguments[9989].first, "a9989");
    EXPECT_THAT(
        ReadSxcu(many +
                 R"(, "x": "1", "y": "2", "z": "3", "w": "4", "q": "5", "r": "6", "s": "7"}})")
            .failure,
        HasSubstr("more than 10000 keys"));
    EXPECT_THAT(ReadSxcu(R"({"Name": ")" + std::string(1 << 20, 'n') + "\"}").failure,
                HasSubstr("larger than 1 MiB"));
}

// A key is a word of the name, however the name is written; a word that merely starts like
// one is none.
TEST(Sxcu, SharedDefinitionsLeaveTheSecretsHome) {
    const HosterTable table = LoadHostersFromText(
        "[Hoster8]\nName=own\nConnectHost=h.example\nRequest=standard\n"
        "UploadUrl=https://h.example/up?api_key=k1&format=json&sid=s1\nFileField=f\n"
        "FormNames=album|title\nFormValues=a7|My title\nSecrets=album\n"
        "Headers=X-Session: x1|Accept: */*|X-Client: Client-ID c1\n");
    ASSERT_EQ(table.problems, std::vector<std::string>{});
    HosterDef row = table.Row(8);
    const std::pair<const char*, bool> names[] = {
        {"api_key", true},  {"apiKey", true},       {"APIKey", true},     {"client_id", true},
        {"userhash", true}, {"pwd", true},          {"credential", true}, {"author", false},
        {"keyword", false}, {"passthrough", false}, {"uploadkey", true}};
    for (const auto& [name, key] : names) row.Arguments.emplace_back(name, "v");
    const SharedDefinition out = ShareDefinition(row, Secrets::kOmit);
    const SxcuUploader read = ReadSxcu(out.text).uploader;
    EXPECT_EQ(read.requestUrl, "https://h.example/up");
    EXPECT_EQ(read.parameters, (NamedValues{{"api_key", ""}, {"format", "json"}, {"sid", ""}}));
    EXPECT_EQ(read.headers, (NamedValues{{"X-Session", ""}, {"Accept", "*/*"}, {"X-Client", ""}}));
    ASSERT_EQ(read.arguments.size(), std::size(names) + 2);
    EXPECT_EQ(read.arguments[0].second + "|" + read.arguments[1].second, "|My title");
    for (size_t i = 0; i < std::size(names); ++i)
        EXPECT_EQ(read.arguments[i + 2].second, names[i].second ? "" : "v") << names[i].first;
    std::string blanked;
    for (const std::string& name : out.blanked) blanked += name + " ";
    EXPECT_EQ(blanked,
              "X-Session X-Client album api_key apiKey APIKey client_id userhash pwd credential "
              "uploadkey api_key sid ");
    EXPECT_THAT(ShareDefinition(row, Secrets::kKeep).text, HasSubstr("?api_key=k1&format"));
    SxcuUploader keyed = ReadSxcu(kMultipart).uploader;
    keyed.arguments.emplace_back("api_key", "k1");
    const SxcuUploader shared = ReadSxcu(WriteSxcu(keyed, Secrets::kOmit)).uploader;
    EXPECT_EQ(shared.headers, (NamedValues{{"X-API-Key", ""}, {"Accept", "application/json"}}));
    EXPECT_EQ(shared.parameters, (NamedValues{{"format", "json"}, {"key", ""}, {"p", "%%y\\{"}}));
    EXPECT_EQ(shared.arguments.back(), (NamedValues::value_type{"api_key", ""}));
}

HosterDef Imported(const std::string& sxcu) {
    const SxcuRead read = ReadSxcu(sxcu);
    EXPECT_EQ(read.failure, "") << sxcu;
    return HosterFromSxcu(read.uploader);
}

HosterDef Shared(const HosterDef& row) {
    return Imported(WriteSxcu(SxcuFromHoster(row), Secrets::kKeep));
}

std::string WithRequest(const std::string& fields) {
    return R"({"DestinationType": "ImageUploader", "RequestURL": "https://h/", )" + fields + "}";
}

TEST(HosterDefinition, DefinitionsBecomeStandardRowsAndComeBackTheSame) {
    std::vector<HosterDef> rows = {Imported(R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://img.example/up?key=k1", "Arguments": {"tags": "a|b"},
      "FileFormName": "source", "URL": "{json:url}", "MaxFileSize": 2097152,
      "DeletionConfirm": "has been deleted"})")};
    EXPECT_EQ(rows[0].Request, RequestKind::kStandard);
    EXPECT_EQ(rows[0].DeletionConfirm, "has been deleted");
    EXPECT_EQ(rows[0].UploadUrl + " " + rows[0].MaxSizeText, "https://img.example/up 2048kB");
    EXPECT_EQ(rows[0].Parameters, (NamedValues{{"key", "k1"}}));
    EXPECT_EQ(rows[0].Arguments, (NamedValues{{"tags", "a|b"}}));
    rows.push_back(Imported(WithRequest(R"("RequestMethod": "PUT", "Body": "Binary")")));
    EXPECT_EQ(rows.back().Body, BodyKind::kBinary);
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
        EXPECT_EQ(links.url + " " + links.thumbnailUrl,
                  "http://h.example/p/1 http://h.example/t/1.jpg")
            << row.Name << "\n"
            << shared.UrlTemplate;
    }
    odd.ConnectHost = "127.0.0.1";
    odd.Port = 8080;
    EXPECT_EQ(Shared(odd).UploadUrl, "http://127.0.0.1:8080/upload.php");
}

// The key field is found missing or filled; the user's key goes after the host's scheme, a
// new key replaces the old one and an empty one takes it out again.
TEST(HosterDefinition, KeysAreFoundSetChangedAndRemovedBehindTheScheme) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // name|scheme|key, missing
        {R"("Headers": {"Authorization": "Client-ID "})", "Authorization|Client-ID |", true},
        {R"("Headers": {"Authorization": "Client-ID 4f2a"})", "Authorization|Client-ID |4f2a",
         false},
        {R"("Parameters": {"key": ""}, "Arguments": {"album": ""})", "key||", true},
        {R"("Arguments": {"title": "", "api_key": " "})", "api_key||", true},
    };
    for (const auto& [fields, expected, missing] : cases) {
        const HosterDef row = Imported(WithRequest(std::string(fields) + R"(, "Body": "Binary")"));
        const KeyField key = FindKeyField(row);
        EXPECT_EQ(key.name + "|" + key.scheme + "|" + key.key, expected);
        EXPECT_EQ(MissingKey(row), missing ? key.name : "") << fields;
        const HosterDef changed = WithKey(WithKey(row, key.name, "old"), key.name, "new");
        EXPECT_EQ(FindKeyField(changed).scheme + FindKeyField(changed).key, key.scheme + "new");
        EXPECT_EQ(MissingKey(WithKey(changed, key.name, "")), key.name) << fields;
    }
}

}  // namespace
}  // namespace lumar
