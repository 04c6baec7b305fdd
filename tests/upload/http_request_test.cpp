#include "upload/http_request.h"

#include <gtest/gtest.h>

#include "hoster_emulator/hoster_emulator.h"
#include "support/temp_dir.h"
#include "upload/hoster_table.h"
#include "upload/upload_request.h"
#include "upload/url.h"

namespace lumar {
namespace {

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1) Opera 7.11";

std::string Header(const std::string& path, const std::string& host, size_t length,
                   const std::string& agent = kAgent) {
    return "POST " + path + " HTTP/1.0\r\nAccept: */*\r\nUser-Agent: " + agent +
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
    ASSERT_EQ(BuildUploadRequest(InitHosters()[4], path, request), RequestProblem::None);

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

// A file holding the boundary line would end its part early and inject a field of its own.
TEST(UploadRequest, FileHoldingTheBoundaryGetsABoundaryItDoesNotHold) {
    test::TempDir dir;
    const std::string image =
        "\xFF\xD8\r\n--ZoBaRmInTeRiX\r\nContent-Disposition: form-data; "
        "name=\"tos\"\r\n\r\nno\xFF\xD9";
    UploadRequest request;
    ASSERT_EQ(BuildUploadRequest(InitHosters()[4], dir.write("b.jpg", image), request),
              RequestProblem::None);
    const std::string marker = "boundary=";
    const size_t at = request.bytes.find(marker) + marker.size();
    const std::string boundary = request.bytes.substr(at, request.bytes.find("\r\n", at) - at);
    EXPECT_EQ(boundary.rfind("ZoBaRmInTeRiX_", 0), 0u);
    EXPECT_EQ(image.find(boundary), std::string::npos);
    const std::vector<tools::FormPart> parts =
        tools::ParseMultipart(request.bytes.substr(request.bytes.find("\r\n\r\n") + 4), boundary);
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(parts[5].content, "yes");
    EXPECT_EQ(parts[6].content, image);
}

TEST(UploadRequest, BlankFirstValueOfImagevenueIsSentAsABlank) {
    test::TempDir dir;
    const std::string path = dir.write("a.jpg", "x");
    UploadRequest request;
    ASSERT_EQ(BuildUploadRequest(InitHosters()[1], path, request), RequestProblem::None);
    EXPECT_NE(request.bytes.find(Field("MAX_FILE_SIZE", " ")), std::string::npos);
    EXPECT_NE(request.bytes.find("name=\"userfile[]\"; filename=\"" + path + "\""),
              std::string::npos);

    EXPECT_EQ(BuildUploadRequest(InitHosters()[1], dir.file("missing.jpg"), request),
              RequestProblem::FileUnreadable);
    EXPECT_EQ(BuildUploadRequest(InitHosters()[1], dir.write("empty.jpg", ""), request),
              RequestProblem::FileUnreadable);
    EXPECT_EQ(BuildUploadRequest(InitHosters()[1], dir.path(), request),
              RequestProblem::FileUnreadable);
}

TEST(CHTTPRequest, FieldsWithoutFileEndTheBodyAfterTheLastField) {
    CHTTPRequest fields;
    fields.Host("h");
    fields.Path("/p");
    fields.UserAgent(kAgent);
    ASSERT_TRUE(fields.AddFormData("a", ""));
    ASSERT_TRUE(fields.AddFormData("b", "2"));
    const std::string body =
        "--ZoBaRmInTeRiX\r\n" + Field("a", "") + "\r\n" + Field("b", "2") + "--\r\n";
    EXPECT_EQ(fields.GetPOSTQuery(), Header("/p", "h", body.size()) + body);
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

TEST(MimeType, FollowsTheLowerCasedExtensionOfTheWholePath) {
    EXPECT_EQ(GetMimeType("/a/B.JpEg"), "image/jpeg");
    EXPECT_EQ(GetMimeType("/pics/noext"), "text/plain");
    EXPECT_EQ(GetMimeType("/my.pics/image"), "text/plain");  // extension "pics/image"
    EXPECT_EQ(GetMimeType("/a.b.gif"), "image/gif");
}

TEST(ParseURL, TakesOnlyThePathAndAlwaysTheSecondArgumentAsHost) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.com/upload.php", "/upload.php"},
        {"  https://a.b/x/y?z=1  ", "/x/y?z=1"},
        {"HTTP://A.B/Up", "/Up"},
        {"http://a.b", "/"},
        {"http://a.b:8080/p", "/p"},  // the port is never recognised
        {"upload.example.com/new/upload.php", "/new/upload.php"},
        // No "/" from the fifth character on: only the first character goes, then the first "/"
        // of what is left starts the path.
        {"httpxyz", "/"},
    };
    for (const auto& [url, path] : cases) {
        CURL u;
        u.ParseURL(url, "H");
        EXPECT_EQ(u.Path() + " " + u.Host() + " " + std::to_string(u.Port()) + u.Proxy(),
                  std::string(path) + " H 80")
            << url;
    }
    CURL u;
    u.Port(1234);
    u.Path("/kept");
    u.Host("kept");
    u.ParseURL("  ab/c ", "other");  // 4 characters after trimming: nothing changes
    EXPECT_EQ(u.Path() + u.Host() + std::to_string(u.Port()), "/keptkept1234");
}

}  // namespace
}  // namespace lumar
