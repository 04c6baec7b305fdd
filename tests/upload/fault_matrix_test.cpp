// Every way a host misbehaves that the answer's own reading cannot show, applied to the middle
// one of three images uploaded against the hoster emulator: the run must not hang past the
// time-out, must log the failed image with its reason and leave it checked, must go on with the
// next image, and must count only successes in the totals of Lumar.ini.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "shell/settings_store.h"
#include "support/test_http_server.h"
#include "support/tls_test_pki.h"
#include "support/upload_fixture.h"

namespace lumar {
namespace {

using Clock = std::chrono::steady_clock;
using tools::HosterEmulator;
using tools::Misbehaviour;

constexpr int kTimeoutSeconds = 2;

// What the middle image meets beyond an emulator mode: an answer of ours, a server of ours,
// or no host at all.
enum class Special {
    kNone,
    kDripPastTimeout,
    kAnswerThenReset,
    kErrorPageWithMarkers,
    kRefused,
    // A standard row over TLS: a plain-text answer to the handshake, a handshake that never
    // ends.
    kNotTls,
    kTlsHandshakeStall,
    // A standard row whose form holds a key sends it to a host that redirects it elsewhere.
    kKeyRedirect
};

struct FaultCase {
    const char* name;
    Misbehaviour mode;  // of the emulator, when special is None
    int reason = 0;     // kReason... of a failure; 0 = the image uploads
    Special special = Special::kNone;
    size_t middlePadding = 0;          // bytes appended to the middle image
    const char* reasonText = nullptr;  // a failure whose reason is no entry of the table
};

HosterTable LocalHoster(std::uint16_t port) {
    return LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=" + std::to_string(port) +
                               "\n");
}

// A port bound on 127.0.0.1 that does not listen: it refuses connections, and no one else
// takes it while the socket lives.
struct RefusingPort {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof at;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&at), size) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) == 0;
    ~RefusingPort() { ::close(fd); }
};

// A server of our own on 127.0.0.1 for what the emulator does not do.
std::unique_ptr<test::TestHttpServer> Scripted(std::function<void(int fd)> serve,
                                               int receiveBuffer = 0) {
    test::TestServerOptions options;
    options.raw = [serve = std::move(serve)](int fd, auto&) { serve(fd); };
    options.receiveBuffer = receiveBuffer;
    return std::make_unique<test::TestHttpServer>(nullptr, options);
}

// The page of the first hoster style carrying `code`.
std::string Page(const std::string& code) {
    return HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, code);
}

// Reads one request, its first `slowBytes` at `bytesPerTurn` bytes every 20 ms and the rest at
// full speed (at most 20 s in all), then answers with Page(code), or with `answer` when given.
void ReadSlowlyThenAnswer(int fd, size_t bytesPerTurn, size_t slowBytes, const std::string& code,
                          std::string answer = "") {
    std::string request;
    std::vector<char> buffer(bytesPerTurn);
    size_t expected = std::string::npos;
    const auto until = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < until && request.size() < expected) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
        if (n > 0) request.append(buffer.data(), static_cast<size_t>(n));
        const size_t headerEnd = request.find("\r\n\r\n");
        const size_t length = request.find("Content-Length: ");
        if (expected == std::string::npos && headerEnd != std::string::npos && length < headerEnd)
            expected = headerEnd + 4 + std::stoul(request.substr(length + 16));
        if (request.size() < slowBytes) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (answer.empty()) answer = "HTTP/1.0 200 OK\r\n\r\n" + Page(code);
    ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
}

// Puts the fault in place for the middle image only.
class FaultMatrixTest : public ::testing::TestWithParam<FaultCase>, protected test::UploadFixture {
  protected:
    FaultMatrixTest() : goodHosters(hosters) {
        WriteValue(settings, "Bilder", "Timeout", std::to_string(kTimeoutSeconds));
        onFile = [this](const std::string& path) {
            const bool middle = path == dir.file("b.jpg");
            hosters = middle && faultHosters ? *faultHosters : goodHosters;
            if (middle && !rawAnswer.empty())
                emulator.SetRawAnswer(rawAnswer, rawPieces);
            else
                emulator.SetMisbehaviour(middle ? mode : Misbehaviour::None);
        };
    }

    // Turns the fault on for the connection of the middle image and off again for the last.
    void Arm(const FaultCase& c) {
        switch (c.special) {
            case Special::kNone:
                break;
            case Special::kDripPastTimeout:
                // The page padded in front, so its code would arrive only after the time-out:
                // 400 pieces of 20 bytes, 10 ms apart.
                rawAnswer = "HTTP/1.0 200 OK\r\n\r\n" + std::string(8000, ' ') + Page(rawCode);
                rawPieces.assign(400, 20);
                break;
            case Special::kErrorPageWithMarkers:
                rawAnswer = "HTTP/1.0 413 Request Entity Too Large\r\n\r\n" + Page(rawCode);
                break;
            case Special::kAnswerThenReset:
                // The whole answer, then a reset instead of an orderly close.
                own = Scripted([this](int fd) {
                    ReadSlowlyThenAnswer(fd, 65536, 0, rawCode);
                    const linger reset{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                });
                break;
            case Special::kRefused:
                faultHosters = LocalHoster(ntohs(refusing.at.sin_port));
                break;
            case Special::kNotTls:
                own = Scripted([](int fd) {
                    const std::string plain = "HTTP/1.0 200 OK\r\n\r\nno TLS here";
                    ::send(fd, plain.data(), plain.size(), MSG_NOSIGNAL);
                });
                break;
            case Special::kTlsHandshakeStall:
                own = Scripted([](int fd) {
                    pollfd p{fd, 0, 0};
                    ::poll(&p, 1, 10000);  // until the client gives up
                });
                break;
            case Special::kKeyRedirect:
                // The same server under another name: the request must not get there.
                own = Scripted([this](int fd) {
                    ReadSlowlyThenAnswer(
                        fd, 65536, 0, "",
                        "HTTP/1.1 307 Temporary Redirect\r\nLocation: http://localhost:" +
                            std::to_string(own->Port()) + "/up\r\nContent-Length: 0\r\n\r\n");
                });
                faultHosters = LoadHostersFromText(
                    "[Hoster1]\nConnectHost=127.0.0.1\nRequest=standard\nUploadUrl=http://"
                    "127.0.0.1:" +
                    std::to_string(own->Port()) +
                    "/up\nFormNames=album\nFormValues=s3cret\nSecrets=album\nRetries=0\n");
                break;
        }
        if (c.special == Special::kNotTls || c.special == Special::kTlsHandshakeStall) {
            dir.write("ca.pem", pki.Ca().certificatePem);
            faultHosters = LoadHostersFromText(
                "[Hoster1]\nConnectHost=127.0.0.1\nRequest=standard\nUploadUrl=https://127.0.0.1:" +
                std::to_string(own->Port()) + "/up\nCaFile=" + dir.file("ca.pem") +
                "\nRetries=0\n");
        } else if (own && !faultHosters) {
            faultHosters = LocalHoster(static_cast<std::uint16_t>(own->Port()));
        }
        mode = c.mode;
    }

    RefusingPort refusing;
    test::TestPki pki;
    std::unique_ptr<test::TestHttpServer> own;  // serves the middle image where the emulator cannot
    HosterTable goodHosters;
    std::optional<HosterTable> faultHosters;
    Misbehaviour mode = Misbehaviour::None;
    std::string rawAnswer;
    std::vector<size_t> rawPieces;
    const std::string rawCode =
        "[URL=http://127.0.0.1/v/77][IMG]http://127.0.0.1/i/77/b.jpg[/IMG][/URL]";
};

TEST_P(FaultMatrixTest, FaultyImageIsHandledAndTheRunGoesOn) {
    const FaultCase& c = GetParam();
    ASSERT_TRUE(refusing.bound);
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg", 1, c.middlePadding),
                                    Image("c.jpg")};
    Arm(c);
    // A run that holds an image past its time-out for good is stopped at a generous deadline,
    // and the stop shows in that image's log line.
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    pump = [&] {
        if (Clock::now() > deadline) run->Abort();
    };
    RunUpload(rows, 1);

    const bool fails = c.reason != 0 || c.reasonText;
    const std::string outcome =
        !fails ? "erfolgreich !"
               : "fehlgeschlagen ! (" + (c.reasonText ? c.reasonText : strings.Get(c.reason)) + ")";
    const std::string middle = c.special == Special::kRefused ? "Verbindung zu 127.0.0.1 " + outcome
                                                              : Line("b.jpg", outcome);
    EXPECT_EQ(recorder->log, (std::vector<std::string>{Line("a.jpg", "erfolgreich !"), middle,
                                                       Line("c.jpg", "erfolgreich !")}));
    EXPECT_EQ(rows[1].checked, fails);
    // The front end hears the reason alone.
    using Failures = std::vector<std::pair<int, std::string>>;
    const std::string reason = c.reasonText ? c.reasonText : strings.Get(c.reason);
    EXPECT_EQ(WordedFailures(), (fails ? Failures{{2, reason}} : Failures{}));
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), fails ? "2" : "3");
}

// The middle image of the case that resets while sending is large enough that the request
// cannot all sit in the socket buffers first.
using M = Misbehaviour;
INSTANTIATE_TEST_SUITE_P(
    EveryMisbehaviour, FaultMatrixTest,
    ::testing::Values(
        FaultCase{"NeverCloseAfterAnswer", M::NeverClose},
        FaultCase{"AnswerThenReset", M::None, 0, Special::kAnswerThenReset},
        FaultCase{"OversizeAnswer", M::OverCap},
        FaultCase{"NeverCloseSilent", M::NeverCloseSilent, kReasonTimeout},
        FaultCase{"DripPastTimeout", M::None, kReasonTimeout, Special::kDripPastTimeout},
        FaultCase{"CloseAtOnce", M::CloseWithoutAnswer, kReasonNoCode},
        FaultCase{"Reset", M::Reset, kReasonNoCode},
        FaultCase{"ResetWhileSending", M::ResetWhileReceiving, kReasonSendFailed, Special::kNone,
                  24u << 20},
        FaultCase{"ErrorPageWithMarkers", M::None, 0, Special::kErrorPageWithMarkers, 0,
                  "HTTP 413 Request Entity Too Large"},
        FaultCase{"Refused", M::None, kReasonConnectFailed, Special::kRefused},
        FaultCase{"NotTls", M::None, 0, Special::kNotTls, 0, "TLS-Fehler: wrong version number"},
        FaultCase{"TlsHandshakeStall", M::None, 0, Special::kTlsHandshakeStall, 0,
                  "Zeitüberschreitung beim TLS-Handshake"},
        FaultCase{"KeyRedirect", M::None, 0, Special::kKeyRedirect, 0,
                  "Weiterleitung zu localhost abgelehnt: der Schlüssel bliebe nicht "
                  "beim Hoster"}),
    [](const ::testing::TestParamInfo<FaultCase>& c) { return std::string(c.param.name); });

// The time-out bounds a stall, not the whole request: a large image going out to a host that
// keeps taking it, only slowly, is sent to the end even when that takes longer than the
// time-out, and then uploads. (The socket buffers hold up to about 4 MiB, so the host reads
// the first 4 MiB of 8 slowly; the request cannot have left before it did.)
TEST_F(FaultMatrixTest, LargeImageOverASlowLineIsNotCutOffByTheTimeout) {
    WriteValue(settings, "Bilder", "Timeout", "1");
    const std::string code =
        "[URL=http://127.0.0.1/v/5][IMG]http://127.0.0.1/i/5/big.jpg[/IMG][/URL]";
    const auto slow =
        Scripted([&](int fd) { ReadSlowlyThenAnswer(fd, 48 * 1024, 4u << 20, code); }, 64 * 1024);
    hosters = goodHosters = LocalHoster(static_cast<std::uint16_t>(slow->Port()));
    std::vector<ImageEntry> rows = {Image("big.jpg", 1, 8u << 20)};
    RunUpload(rows, 1);
    ASSERT_EQ(recorder->seconds.size(), 1u);
    EXPECT_GT(recorder->seconds[0], 1.0);  // the sending really outlasted the time-out
    EXPECT_EQ(recorder->log, std::vector<std::string>{Line("big.jpg", "erfolgreich !")});
    EXPECT_EQ(rows[0].upload, code);
}

}  // namespace
}  // namespace lumar
