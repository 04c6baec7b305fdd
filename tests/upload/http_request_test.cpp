#include "upload/http_request.h"

#include <gtest/gtest.h>

#include "hosters/hoster_table.h"
#include "support/temp_dir.h"
#include "upload/response_parser.h"
#include "upload/upload_request.h"
#include "upload/url.h"

namespace lumar {
namespace {

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1) Opera 7.11";

std::string Header(const std::string& path, const std::string& host, size_t length) {
    return "POST " + path + " HTTP/1.0\r\nAccept: */*\r\nUser-Agent: " + kAgent +
           "\r\nHost: " + host +
           "\r\nContent-Type: multipart/form-data, boundary=ZoBaRmInTeRiX\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

std::string Field(const std::string& name, const std::string& value) {
    return "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
           "\r\n--ZoBaRmInTeRiX";
}

TEST(UploadRequest, WorkedExampleOfDumpanimageByteForByte) {
    test::TempDir dir;
    // File bytes with NUL, CR LF, a cut-off boundary and high bytes must pass unchanged.
    const std::string image = std::string("\xFF\xD8\x00\r\n--ZoBaRmInTeRi\xE4\xFF\xD9", 21);
    const std::string path = dir.write("My Pics/b\xC3\xA4r.jpg", image);

    UploadRequest request;
    ASSERT_EQ(BuildUploadRequest(InitHosters()[4], path, request), RequestProblem::kNone);

    const std::string fileName = dir.path() + "/My Pics/b\xE4r.jpg";  // sent in Windows-1252
    const std::string body =
        "--ZoBaRmInTeRiX\r\n" + Field("max", "1") + "\r\n" + Field("vsnr", "2940") + "\r\n" +
        Field("ts", "200") + "\r\n" + Field("gal", "no") + "\r\n" + Field("snr", "2940") + "\r\n" +
        Field("tos", "yes") + "\r\n" +
        "Content-Disposition: attachment; name=\"file[0]\"; filename=\"" + fileName +
        "\"\r\nContent-Type: image/jpeg\r\n\r\n" + image + "\r\n--ZoBaRmInTeRiX--\r\n";
    EXPECT_EQ(request.bytes, Header("/upload.php", "www.dumpanimage.com", body.size()) + body);
    EXPECT_EQ(request.fileBytes, image.size());
}

TEST(UploadRequest, BlankFirstValueOfImagevenueIsSentAsABlank) {
    test::TempDir dir;
    const std::string path = dir.write("a.jpg", "x");
    UploadRequest request;
    ASSERT_EQ(BuildUploadRequest(InitHosters()[1], path, request), RequestProblem::kNone);
    EXPECT_NE(request.bytes.find(Field("MAX_FILE_SIZE", " ")), std::string::npos);

    EXPECT_EQ(BuildUploadRequest(InitHosters()[1], dir.write("empty.jpg", ""), request),
              RequestProblem::kFileUnreadable);
    EXPECT_EQ(BuildUploadRequest(InitHosters()[1], dir.path(), request),
              RequestProblem::kFileUnreadable);
}

TEST(CHTTPRequest, RepeatedNamesAreRefused) {
    CHTTPRequest r;
    EXPECT_TRUE(r.AddFormData("a", "1"));
    EXPECT_FALSE(r.AddFormData("a", "2"));
    EXPECT_TRUE(r.AddFormData("A", "3"));        // names compare exactly
    EXPECT_TRUE(r.AddFile("a", "f", "c", "t"));  // files are a map of their own
    EXPECT_FALSE(r.AddFile("a", "g", "d", "t"));
    EXPECT_EQ(r.GetPOSTQuery().find("name=\"a\"\r\n\r\n2"), std::string::npos);
}

// A part that holds the boundary would end early at the host: wherever it stands, the request
// goes out with another boundary, which no part holds, and every part's bytes unchanged.
TEST(CHTTPRequest, NoPartHoldsTheBoundary) {
    const std::string inside = "a\r\n--ZoBaRmInTeRiX--\r\nb";
    for (int where = 0; where < 3; ++where) {
        CHTTPRequest r;
        ASSERT_TRUE(r.AddFormData("f", where == 0 ? inside : "v"));
        ASSERT_TRUE(r.AddFile("file", where == 1 ? inside : "n.jpg", where == 2 ? inside : "bytes",
                              "image/jpeg"));
        const std::string request = r.GetPOSTQuery();
        const size_t at = request.find("boundary=") + 9;
        const std::string boundary = request.substr(at, request.find('\r', at) - at);
        EXPECT_EQ(inside.find(boundary), std::string::npos) << where;
        EXPECT_NE(request.find(inside), std::string::npos) << where;
    }
}

TEST(ParseURL, TakesOnlyThePathAndAlwaysTheSecondArgumentAsHost) {
    const std::pair<const char*, const char*> cases[] = {
        {"  https://a.b/x/y?z=1  ", "/x/y?z=1"},
        {"HTTP://A.B/Up", "/Up"},
        {"http://a.b", "/"},
        {"upload.example.com/new/upload.php", "/new/upload.php"},
    };
    for (const auto& [url, path] : cases) {
        CURL u;
        u.ParseURL(url, "H");
        EXPECT_EQ(u.Path() + " " + u.Host() + " " + std::to_string(u.Port()) + u.Proxy(),
                  std::string(path) + " H 80")
            << url;
    }
}

const std::vector<HosterDef> kRows = InitHosters();

std::optional<std::string> Cut(int row, std::string_view answer) {
    return ExtractCode(answer, kRows[static_cast<size_t>(row)]);
}

TEST(ExtractCode, HandWrittenAnswersShowTheQuirksOfTheBuiltInRows) {
    EXPECT_EQ(Cut(1,
                  "<textarea>[URL=a]x</textarea><form "
                  "name=\"form2\"><textarea>[url=b][img]c[/img][/url]</textarea>"),
              "[url=b][img]c[/img][/url]");
    EXPECT_EQ(Cut(4, "<textarea>[URL=a]]</textarea>"),
              "[URL=a]");  // whatever the last character is
    EXPECT_EQ(
        Cut(6, "<textarea>[URL=http://p/?a=1&amp;b=2&AMP;c=3&Amp;d][IMG]i[/IMG][/URL]</textarea>"),
        "[URL=http://p/?a=1&b=2&c=3&d][IMG]i[/IMG][/URL]");
    EXPECT_EQ(Cut(7,
                  "[URL=html]</textarea>VBULLETIN forum "
                  "codes<textarea>[URL=v][IMG]i[/IMG][/URL]\\n</textarea>"),
              "[URL=v][IMG]i[/IMG][/URL]");
    // A real line break is not the two characters backslash and n.
    EXPECT_EQ(Cut(7, "vBulletin Forum Codes [URL=v]\n</textarea>"), std::nullopt);
}

TEST(ExtractCode, NoCodeWithoutStartMarkerOrWhenTheCutIsImpossible) {
    const std::pair<int, const char*> cases[] = {
        {3, "<html>error</html>"},
        {1, "<form name=\"form2\"><textarea>no code</textarea>"},  // code marker missing
        {1, "[URL=x]</textarea><form name=\"form2\">"},            // code marker only before start
        {6, "[URL=a] but no end"},                                 // end marker missing
    };
    for (const auto& [row, answer] : cases) EXPECT_EQ(Cut(row, answer), std::nullopt) << answer;
    HosterDef longTrim = kRows[6];
    longTrim.TrimCount = 20;
    EXPECT_EQ(ExtractCode("[URL=short]</textarea>", longTrim),
              std::nullopt);  // shorter than the trim
    // The empty row 0 (no hoster chosen) must not turn any answer into a success.
    EXPECT_EQ(ExtractCode("[URL=a]</textarea>", kRows[0]), std::nullopt);
}

TEST(ExtractCode, FirstOccurrencesWin) {
    EXPECT_EQ(Cut(6, "[URL=1]</textarea>[URL=2]</textarea>"), "[URL=1]");
    EXPECT_EQ(Cut(5, "[URL=a [URL=b]<br>"),
              "[URL=a [URL=b]");  // code marker found at the start marker
}

TEST(CutCode, EmptyAndOverlongCodesFailWithTheirReasonAndControlCharactersGo) {
    HosterDef meeting = kRows[6];
    meeting.EndMarker = "[URL=";  // found where the code begins
    const std::string longest = "[URL=" + std::string(kMaxCodeBytes - 5, 'x');
    const struct {
        const HosterDef& row;
        std::string answer;
        CutProblem problem;
        std::string code;
    } cases[] = {
        {meeting, "<textarea>[URL=a]</textarea>", CutProblem::kEmpty, ""},
        {kRows[6], std::string("\r\n[URL=a\x1B[2J\r\n\tb\0c\x7F]</textarea>", 31),
         CutProblem::kNone, "[URL=a[2J\tbc]"},
        {kRows[6], longest + "</textarea>", CutProblem::kNone, longest},
        {kRows[6], longest + "y</textarea>", CutProblem::kTooLong, ""},
        // Without an end marker: it may lie past the answer's cap.
        {kRows[6], longest + "y", CutProblem::kTooLong, ""},
    };
    for (const auto& c : cases) {
        const CodeCut cut = CutCode(c.answer, c.row);
        EXPECT_EQ(cut.problem, c.problem) << c.answer.substr(0, 40);
        EXPECT_EQ(cut.code, c.code) << c.answer.substr(0, 40);
    }
}

}  // namespace
}  // namespace lumar
