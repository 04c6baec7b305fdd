// The standard multipart body as written, and posted by an exchange to the parsers hosts run:
// PHP's, Node's busboy and formidable, and Python's Werkzeug. Each runs on the loopback behind
// a small echo script in tests/net/parsers that lists the parts it saw.
#include "net/multipart_body.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "net/address_lookup.h"
#include "net/exchange_runner.h"

extern char** environ;

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
    lumar::Outcome<RequestBody> r =
        BuildMultipartBody({{"key", "k1"}, {"na\"me\r\n\xC3\xBC", "v"}},
                           {{"source", "/home/u/Bilder/\"Ur\xC3\xA4ub\".jpg", "image/jpeg", image}},
                           Boundaries({"--B", "XyZ"}));
    ASSERT_TRUE(r);
    const RequestBody body = std::move(r).Value();  // the pieces must survive a move
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

    const lumar::Outcome<std::string> head = BuildRequestHead(
        {"POST", "/api/1/upload?x=1", "img.example:8443", &body, {{"X-API-Key", "s e\tcret"}}});
    ASSERT_TRUE(head);
    EXPECT_EQ(head.Value(),
              "POST /api/1/upload?x=1 HTTP/1.1\r\nHost: img.example:8443\r\nUser-Agent: "
              "Lumar/" LUMAR_VERSION
              "\r\nContent-Type: multipart/form-data; boundary=XyZ\r\nContent-Length: " +
                  std::to_string(expected.size()) +
                  "\r\nConnection: close\r\nX-API-Key: s e\tcret\r\n\r\n");

    const lumar::Outcome<RequestBody> raw = BuildRawBody(image, "image/jpeg");
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->Pieces().size(), 1u);
    EXPECT_EQ(raw->Pieces()[0].data(), image.data());
    EXPECT_EQ(raw->Size(), image.size());
}

TEST(MultipartBody, RefusesWhatWouldBreakTheRequest) {
    using lumar::ReasonCode;
    EXPECT_EQ(BuildMultipartBody({{"a", "1 AAA 2"}}, {}, Boundaries({"AAA"})).Why().code,
              ReasonCode::kNoBoundary);
    EXPECT_FALSE(
        BuildMultipartBody({}, {{"f", "x.jpg", "image/jpeg", "1 AAA 2"}}, Boundaries({"AAA"})));
    EXPECT_EQ(BuildMultipartBody({}, {{"f", "x.jpg", "image/jpeg\r\nX: 1", "b"}}).Why().code,
              ReasonCode::kBadContentType);
    EXPECT_FALSE(BuildRawBody("b", "image/png\n"));

    const RequestBody body = BuildRawBody("b", "image/png").Value();
    const struct {
        RequestHeadParts parts;
        lumar::Reason why;
    } refused[] = {
        {{"POST", "/", "h", &body, {{"X-Key", "a\r\nInjected: 1"}}},
         {ReasonCode::kBadHeaderValue, {"X-Key"}}},
        {{"POST", "/", "h", &body, {{"Bad Name", "v"}}},
         {ReasonCode::kBadHeaderName, {"Bad Name"}}},
        {{"POST", "/", "h", &body, {{"content-length", "0"}}},
         {ReasonCode::kOwnHeader, {"content-length"}}},
        {{"POST", "/a b", "h", &body, {}}, {ReasonCode::kBadTarget, {"/a b"}}},
        {{"POST", "/", "h\r\nX: 1", &body, {}}, {ReasonCode::kBadHostHeader, {"h\r\nX: 1"}}},
    };
    for (const auto& c : refused) {
        const lumar::Outcome<std::string> r = BuildRequestHead(c.parts);
        ASSERT_FALSE(r) << c.parts.target << " " << c.parts.hostHeader;
        EXPECT_EQ(r.Why(), c.why) << c.parts.target << " " << c.parts.hostHeader;
    }
    // A caller's User-Agent replaces the program's; a GET carries no length.
    const lumar::Outcome<std::string> agent =
        BuildRequestHead({"POST", "/", "h", &body, {{"User-Agent", "M/5"}}});
    EXPECT_NE(agent.Value().find("\r\nUser-Agent: M/5\r\n"), std::string::npos);
    const std::string get = BuildRequestHead({"GET", "/r", "h", nullptr, {}}).Value();
    EXPECT_EQ(get.rfind("GET /r HTTP/1.1\r\nHost: h\r\nUser-Agent: Lumar/", 0), 0u);
    EXPECT_EQ(get.find("Content-Length"), std::string::npos);
    EXPECT_NE(RandomBoundary(), RandomBoundary());
}

const std::string kParsers = LUMAR_SOURCE_DIR "/tests/net/parsers";

int FreePort() {
    SocketAddress address = *NumericAddress("127.0.0.1", 0);
    auto* raw = reinterpret_cast<sockaddr*>(&address.storage);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::bind(fd, raw, address.length);
    ::getsockname(fd, raw, &address.length);
    ::close(fd);
    return ntohs(reinterpret_cast<sockaddr_in*>(raw)->sin_port);
}

// A parser's echo server, stopped when the object goes away.
class ParserServer {
  public:
    explicit ParserServer(std::vector<std::string> argv) : port_(FreePort()) {
        for (std::string& a : argv)
            if (const size_t at = a.find("PORT"); at != std::string::npos)
                a.replace(at, 4, std::to_string(port_));
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawnp(&pid_, args[0], &quiet, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&quiet);
    }
    ~ParserServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    // Posts `body`, again while the parser is still starting up.
    std::unique_ptr<HttpExchange> Post(const RequestBody& body) const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const HttpUrl url = ParseHttpUrl("http://127.0.0.1:" + std::to_string(port_) + "/").Value();
        while (true) {
            auto exchange = std::make_unique<HttpExchange>(ExchangeRequest{"POST", url, {}, &body},
                                                           ExchangeOptions{});
            RunExchange(*exchange);
            if (exchange->Error() != ExchangeError::kConnectFailed || pid_ <= 0 ||
                std::chrono::steady_clock::now() > until)
                return exchange;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

  private:
    int port_;
    pid_t pid_ = -1;
};

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

std::string SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

TEST(MultipartParsers, ReceiveEveryFieldAndTheFileAsWritten) {
    std::string image;
    for (int i = 0; i < 256; ++i) image += static_cast<char>(i);
    image += "\r\n--\r\n\r\n";
    const std::vector<FormField> fields = {
        {"title", "Urlaub am Meer"},
        {"Grüße Привет", "Ünïcödé; \"quoted\" value\r\nsecond line"},
        {"key;with=semicolon", "x"},
        {"say \"hi\"", "quoted name"},
        {"empty", ""},
    };
    const std::vector<FormFile> files = {
        {"bild datei", "/home/anna/Fotos/Strand \"Grüße\"; Ж 1.jpg", "image/jpeg", image},
    };
    const RequestBody body = BuildMultipartBody(fields, files).Value();
    // A quote travels as %22, as browsers send it; the parsers hand that on as it came, but
    // formidable turns it back in file names. PHP makes blanks and dots in a form name "_",
    // for the variable names of old.
    const auto expected = [&](bool phpNames, bool quoteInFileName) {
        const auto name = [&](std::string_view written, bool isFileName) {
            std::string arrived;
            for (char c : written) {
                if (c == '"' && !(isFileName && quoteInFileName)) {
                    arrived += "%22";
                } else if (phpNames && !isFileName && (c == ' ' || c == '.')) {
                    arrived += '_';
                } else {
                    arrived += c;
                }
            }
            return Hex(arrived);
        };
        std::string out;
        for (const FormField& f : fields)
            out += "field " + name(f.name, false) + " - " + Hex(f.value) + "\n";
        return out + "file " + name(files[0].field, false) + " " +
               name("Strand \"Grüße\"; Ж 1.jpg", true) + " " + Hex(image) + "\n";
    };

    const std::string node = kParsers + "/echo.js";
    ASSERT_EQ(::access((kParsers + "/node_modules/busboy").c_str(), F_OK), 0)
        << "the Node parsers are missing: run scripts/setup.sh";
    const std::string python = kParsers + "/echo.py";
    const struct {
        const char* name;
        std::vector<std::string> argv;
        bool phpNames;
        bool quoteInFileName;
    } parsers[] = {
        {"PHP", {"php", "-n", "-S", "127.0.0.1:PORT", kParsers + "/echo.php"}, true, false},
        {"busboy", {"node", node, "busboy", "PORT"}, false, false},
        {"formidable", {"node", node, "formidable", "PORT"}, false, true},
        {"Werkzeug", {"/usr/bin/python3", python, "werkzeug", "PORT"}, false, false},
    };
    for (const auto& p : parsers) {
        const std::unique_ptr<HttpExchange> exchange = ParserServer(p.argv).Post(body);
        ASSERT_EQ(exchange->GetState(), HttpExchange::State::kDone)
            << p.name << ": " << exchange->Reason().Arg(0);
        EXPECT_EQ(SortedLines(exchange->Response().Body()),
                  SortedLines(expected(p.phpNames, p.quoteInFileName)))
            << p.name;
    }
}

}  // namespace
}  // namespace lumar::net
