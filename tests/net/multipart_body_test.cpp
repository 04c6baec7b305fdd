#include "net/multipart_body.h"

#include <gtest/gtest.h>

namespace lumar::net {
namespace {

std::string Joined(const RequestBody& body) {
    std::string out;
    for (std::string_view piece : body.Pieces()) out += piece;
    return out;
}

std::function<std::string()> Boundaries(std::vector<std::string> list) {
    return [list, next = size_t{0}]() mutable { return list[std::min(next++, list.size() - 1)]; };
}

TEST(MultipartBody, WritesTheStandardRequestAndRefersToTheFileBytes) {
    const std::string image = "\xFF\xD8 JPEG --B bytes\r\n";
    BodyResult r =
        BuildMultipartBody({{"key", "k1"}, {"na\"me\r\n\xC3\xBC", "v"}},
                           {{"source", "/home/u/Bilder/\"Ur\xC3\xA4ub\".jpg", "image/jpeg", image}},
                           Boundaries({"--B", "XyZ"}));
    ASSERT_TRUE(r.body) << r.error;
    const RequestBody body = std::move(*r.body);  // the pieces must survive a move
    EXPECT_EQ(body.ContentType(), "multipart/form-data; boundary=XyZ");
    const std::string expected =
        "--XyZ\r\nContent-Disposition: form-data; name=\"key\"\r\n\r\nk1\r\n"
        "--XyZ\r\nContent-Disposition: form-data; name=\"na%22me%0D%0A\xC3\xBC\"\r\n\r\nv\r\n"
        "--XyZ\r\nContent-Disposition: form-data; name=\"source\"; "
        "filename=\"%22Ur\xC3\xA4ub%22.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n" +
        image + "\r\n--XyZ--\r\n";
    EXPECT_EQ(Joined(body), expected);
    EXPECT_EQ(body.Size(), expected.size());
    const std::vector<std::string_view> pieces = body.Pieces();
    EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(),
                            [&](std::string_view p) { return p.data() == image.data(); }));

    const HeadResult head = BuildRequestHead(
        {"POST", "/api/1/upload?x=1", "img.example:8443", &body, {{"X-API-Key", "s e\tcret"}}});
    ASSERT_TRUE(head.head) << head.error;
    EXPECT_EQ(*head.head,
              "POST /api/1/upload?x=1 HTTP/1.1\r\nHost: img.example:8443\r\nUser-Agent: "
              "Lumar/" LUMAR_VERSION
              "\r\nContent-Type: multipart/form-data; boundary=XyZ\r\nContent-Length: " +
                  std::to_string(expected.size()) +
                  "\r\nConnection: close\r\nX-API-Key: s e\tcret\r\n\r\n");

    const BodyResult raw = BuildRawBody(image, "image/jpeg");
    ASSERT_TRUE(raw.body);
    ASSERT_EQ(raw.body->Pieces().size(), 1u);
    EXPECT_EQ(raw.body->Pieces()[0].data(), image.data());
    EXPECT_EQ(raw.body->Size(), image.size());
}

TEST(MultipartBody, RefusesWhatWouldBreakTheRequest) {
    EXPECT_FALSE(BuildMultipartBody({{"a", "1 AAA 2"}}, {}, Boundaries({"AAA"})).body);
    EXPECT_FALSE(BuildMultipartBody({}, {{"f", "x.jpg", "image/jpeg\r\nX: 1", "b"}}).body);
    EXPECT_FALSE(BuildRawBody("b", "image/png\n").body);

    const RequestBody body = *BuildRawBody("b", "image/png").body;
    const RequestHeadParts refused[] = {
        {"POST", "/", "h", &body, {{"X-Key", "a\r\nInjected: 1"}}},
        {"POST", "/", "h", &body, {{"Bad Name", "v"}}},
        {"POST", "/", "h", &body, {{"content-length", "0"}}},
        {"POST", "/", "h", &body, {{"Host", "other"}}},
        {"POST", "/a b", "h", &body, {}},
        {"POST", "/", "h\r\nX: 1", &body, {}},
    };
    for (const RequestHeadParts& parts : refused) {
        const HeadResult r = BuildRequestHead(parts);
        EXPECT_TRUE(!r.head && !r.error.empty()) << parts.target << " " << parts.hostHeader;
    }
    // A caller's User-Agent replaces the program's; a GET carries no length.
    const HeadResult agent = BuildRequestHead({"POST", "/", "h", &body, {{"User-Agent", "M/5"}}});
    EXPECT_NE(agent.head.value_or("").find("\r\nUser-Agent: M/5\r\n"), std::string::npos);
    const HeadResult get = BuildRequestHead({"GET", "/r", "h", nullptr, {}});
    EXPECT_EQ(get.head.value_or("").rfind("GET /r HTTP/1.1\r\nHost: h\r\nUser-Agent: Lumar/", 0),
              0u);
    EXPECT_EQ(get.head.value_or("").find("Content-Length"), std::string::npos);
    EXPECT_NE(RandomBoundary(), RandomBoundary());
}

}  // namespace
}  // namespace lumar::net
