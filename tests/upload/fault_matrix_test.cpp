// Every way a host misbehaves, applied to the middle one of three images uploaded by the real
// UploadRun against the hoster emulator on 127.0.0.1: the run must not hang past the time-out,
// must log the failed image with its reason and leave it checked, must go on with the next
// image, and must count only successes in the totals of Lumar.ini.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "hoster_emulator/hoster_emulator.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "upload/socket_layer.h"
#include "upload/upload_run.h"

namespace lumar {
namespace {

using Clock = std::chrono::steady_clock;
using tools::HosterEmulator;
using tools::Misbehaviour;

constexpr int kTimeoutSeconds = 2;
const std::string kUnresolvableHost = "lumar-fault.invalid";

// What the middle image meets beyond an emulator mode: an answer of ours, a server of ours,
// or no host at all.
enum class Special { None, SplitHeader, HeaderWithoutEnd, DripPastTimeout, CloseOnAccept, AnswerThenReset,
                     StallWhileSending, Refused, Unresolvable };

struct FaultCase {
    const char* name;
    Misbehaviour mode;           // of the emulator, when special is None
    int reason = 0;              // kReason... of a failure; 0 = the image uploads
    Special special = Special::None;
    size_t middlePadding = 0;    // bytes appended to the middle image
    int otherReason = 0;         // a second reason a race between the two ends may give
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

HosterTable LocalHoster(std::uint16_t port, const std::string& host = "127.0.0.1") {
    return LoadHostersFromText("[Hoster1]\nConnectHost=" + host + "\nPort=" + std::to_string(port) + "\n");
}

// A TCP socket bound to a free port on 127.0.0.1: until it listens it refuses connections,
// and no one else takes the port while it lives.
class LoopbackSocket {
public:
    explicit LoopbackSocket(int receiveBuffer = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        // Set before listening, so accepted connections start with the small window.
        if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~LoopbackSocket() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Fd() const { return fd_; }
    std::uint16_t Port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A server of our own on 127.0.0.1 for what the emulator does not do: every accepted
// connection goes to `handler`, then is closed. Serves at most 8 connections and 30 s.
class ScriptedServer {
public:
    using Handler = std::function<void(int fd, const std::atomic<bool>& stop)>;

    explicit ScriptedServer(Handler handler, int receiveBuffer = 0)
        : handler_(std::move(handler)), socket_(receiveBuffer) {
        if (socket_.Port() != 0 && ::listen(socket_.Fd(), 4) == 0) thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    std::uint16_t Port() const { return thread_.joinable() ? socket_.Port() : 0; }

private:
    void Serve() {
        const auto until = Clock::now() + std::chrono::seconds(30);
        for (int served = 0; served < 8 && !stop_.load() && Clock::now() < until;) {
            pollfd p{socket_.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const int connection = ::accept4(socket_.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            ++served;
            handler_(connection, stop_);
            ::close(connection);
        }
    }

    Handler handler_;
    LoopbackSocket socket_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The page of the first hoster style carrying `code`.
std::string Page(const std::string& code) { return HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, code); }

// Reads one request, its first `slowBytes` at `bytesPerTurn` bytes every 20 ms and the rest at
// full speed (at most 20 s in all), then answers with Page(code).
void ReadSlowlyThenAnswer(int fd, const std::atomic<bool>& stop, size_t bytesPerTurn, size_t slowBytes,
                          const std::string& code) {
    std::string request;
    std::vector<char> buffer(bytesPerTurn);
    size_t expected = std::string::npos;
    const auto until = Clock::now() + std::chrono::seconds(20);
    while (!stop.load() && Clock::now() < until && request.size() < expected) {
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
    const std::string answer = "HTTP/1.0 200 OK\r\n\r\n" + Page(code);
    ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
}

// The fixture is the run's observer: it records the log lines and how long each image took,
// and puts the fault in place for the middle image only.
class FaultMatrixTest : public ::testing::TestWithParam<FaultCase>, public UploadObserver {
protected:
    FaultMatrixTest()
        : goodHosters(LoadHostersFromText(emulator.HostersIni())),
          hosters(goodHosters),
          strings(LoadUiStrings(dir.file("none.ini"), "")) {
        settings = dir.file("Lumar.ini");
        WriteValue(settings, "Bilder", "Timeout", std::to_string(kTimeoutSeconds));
    }

    void CurrentFile(const std::string& path) override {
        const bool middle = path == dir.file("b.jpg");
        hosters = middle && faultHosters ? *faultHosters : goodHosters;
        if (middle && !rawAnswer.empty())
            emulator.SetRawAnswer(rawAnswer, rawPieces);
        else
            emulator.SetMisbehaviour(middle ? mode : Misbehaviour::None);
        imageStart = Clock::now();
    }
    void Progress(int value, int /*maximum*/) override {
        if (value > 0) seconds.push_back(std::chrono::duration<double>(Clock::now() - imageStart).count());
    }
    void AppendLog(const std::string& text, bool lineEnd) override {
        pending += text;
        if (!lineEnd) return;
        log.push_back(pending);
        pending.clear();
    }

    ImageEntry Image(const std::string& name, size_t padding = 0) {
        dir.write(name, test::MakeJpeg(16, 16) + std::string(padding, '\x5a'));
        ImageEntry row;
        row.folder = dir.path() + "/";
        row.text = name;
        row.kB = "1.0";
        return row;
    }

    // Runs the upload of `rows` and gives its count of failed images.
    int Upload(std::vector<ImageEntry>& rows) {
        UploadRun run(hosters, strings, *this);
        UploadRunOptions options;
        options.hosterIndex = 1;
        options.settingsFile = settings;
        run.Run(rows, options);
        return run.FailedCount();
    }
    std::string Line(const std::string& name, const std::string& outcome) const {
        return "Upload von Bild: " + dir.file(name) + "..." + outcome;
    }

    // Turns the fault on for the connection of the middle image and off again for the last.
    void Arm(const FaultCase& c) {
        switch (c.special) {
            case Special::None: break;
            case Special::HeaderWithoutEnd:
                // A status line and the page, but never the empty line that ends a header.
                rawAnswer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n" + Page(rawCode);
                break;
            case Special::DripPastTimeout:
                // The page padded in front, so its code would arrive only after the time-out:
                // 400 pieces of 20 bytes, 10 ms apart.
                rawAnswer = "HTTP/1.0 200 OK\r\n\r\n" + std::string(8000, ' ') + Page(rawCode);
                rawPieces.assign(400, 20);
                break;
            case Special::SplitHeader:
                // The header cut inside "HTTP/1." and again between the two line ends that close it.
                rawAnswer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + Page(rawCode);
                rawPieces = {3, rawAnswer.find("\r\n\r\n") + 2 - 3, 2, 10};
                break;
            case Special::CloseOnAccept:
                own = std::make_unique<ScriptedServer>([](int, const std::atomic<bool>&) {});
                break;
            case Special::StallWhileSending:
                // Takes the first bytes of the request, then reads no more and never answers,
                // until the client gives up (at most 10 s).
                own = std::make_unique<ScriptedServer>([](int fd, const std::atomic<bool>& stop) {
                    char buffer[65536];
                    ::recv(fd, buffer, sizeof buffer, 0);
                    const auto until = Clock::now() + std::chrono::seconds(10);
                    while (!stop.load() && Clock::now() < until) {
                        pollfd p{fd, 0, 0};  // only a hang-up or an error wakes it
                        if (::poll(&p, 1, 100) > 0) break;
                    }
                });
                break;
            case Special::AnswerThenReset:
                // The whole answer, then a reset instead of an orderly close.
                own = std::make_unique<ScriptedServer>([this](int fd, const std::atomic<bool>& stop) {
                    ReadSlowlyThenAnswer(fd, stop, 65536, 0, rawCode);
                    const linger reset{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                });
                break;
            case Special::Refused: faultHosters = LocalHoster(refusing.Port()); break;
            case Special::Unresolvable: faultHosters = LocalHoster(emulator.Port(), kUnresolvableHost); break;
        }
        if (own) faultHosters = LocalHoster(own->Port());
        mode = c.mode;
    }

    test::TempDir dir;
    HosterEmulator emulator;
    LoopbackSocket refusing;
    std::unique_ptr<ScriptedServer> own;  // serves the middle image where the emulator cannot
    HosterTable goodHosters;
    HosterTable hosters;  // the table the run reads, swapped per image
    std::optional<HosterTable> faultHosters;
    UiStrings strings;
    std::string settings;
    Misbehaviour mode = Misbehaviour::None;
    Clock::time_point imageStart;
    std::vector<double> seconds;
    std::vector<std::string> log;
    std::string pending;
    std::string rawAnswer;
    std::vector<size_t> rawPieces;
    const std::string rawCode = "[URL=http://127.0.0.1/v/77][IMG]http://127.0.0.1/i/77/b.jpg[/IMG][/URL]";
};

TEST_P(FaultMatrixTest, FaultyImageIsHandledAndTheRunGoesOn) {
    const FaultCase& c = GetParam();
    ASSERT_TRUE(emulator.Listening());
    ASSERT_NE(refusing.Port(), 0);
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg", c.middlePadding), Image("c.jpg")};
    Arm(c);
    const int failed = Upload(rows);

    // No image is held past the time-out (plus a second of slack for a loaded machine).
    ASSERT_EQ(seconds.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_LT(seconds[i], kTimeoutSeconds + 1.0) << "image " << i + 1;

    // The images around it upload as usual.
    const std::vector<tools::ReceivedUpload> uploads = emulator.Uploads();
    ASSERT_FALSE(uploads.empty());
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], Line("a.jpg", "erfolgreich !"));
    EXPECT_EQ(log[2], Line("c.jpg", "erfolgreich !"));
    EXPECT_FALSE(rows[0].checked || rows[2].checked);
    EXPECT_EQ(rows[0].upload, uploads.front().code);
    EXPECT_EQ(rows[2].upload, uploads.back().code);
    EXPECT_NE(rows[2].upload.find("c.jpg"), std::string::npos);

    double bytes = static_cast<double>(dir.read("a.jpg").size() + dir.read("c.jpg").size());
    if (c.reason == 0) {
        EXPECT_EQ(log[1], Line("b.jpg", "erfolgreich !"));
        EXPECT_FALSE(rows[1].checked);
        EXPECT_EQ(rows[1].upload, c.special == Special::None ? uploads[1].code : rawCode);
        bytes += static_cast<double>(dir.read("b.jpg").size());
    } else {
        const std::string host = c.special == Special::Unresolvable ? kUnresolvableHost : "127.0.0.1";
        auto line = [&](int reason) {
            const std::string outcome = "fehlgeschlagen ! (" + strings.Get(reason) + ")";
            // No connection at all is logged as "Verbindung zu <host> fehlgeschlagen !".
            const bool noConnection = c.special == Special::Refused || c.special == Special::Unresolvable;
            return noConnection ? "Verbindung zu " + host + " " + outcome : Line("b.jpg", outcome);
        };
        if (c.otherReason == 0 || log[1] != line(c.otherReason)) {
            EXPECT_EQ(log[1], line(c.reason));
        }
        EXPECT_TRUE(rows[1].checked);
        EXPECT_EQ(rows[1].upload, "");
    }
    EXPECT_EQ(failed, c.reason == 0 ? 0 : 1);
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), c.reason == 0 ? "3" : "2");
    EXPECT_EQ(ReadValue(settings, "Stat", "Size", ""), FormatCount(bytes));
}

// The middle image of the cases that reset or stall while sending is large enough that the
// request cannot all sit in the socket buffers first.
using M = Misbehaviour;
INSTANTIATE_TEST_SUITE_P(
    EveryMisbehaviour, FaultMatrixTest,
    ::testing::Values(FaultCase{"SmallPieces", M::SmallPieces},
                      FaultCase{"SplitHeader", M::None, 0, Special::SplitHeader},
                      FaultCase{"NoHeader", M::NoHeader},
                      FaultCase{"HeaderWithoutEnd", M::None, 0, Special::HeaderWithoutEnd},
                      FaultCase{"NeverCloseAfterAnswer", M::NeverClose},
                      FaultCase{"AnswerThenReset", M::None, 0, Special::AnswerThenReset},
                      FaultCase{"SlowDrip", M::SlowDrip},
                      FaultCase{"SlowRead", M::SlowRead, 0, Special::None, 2u << 20},
                      FaultCase{"OversizeAnswer", M::OverCap},
                      FaultCase{"NeverCloseSilent", M::NeverCloseSilent, kReasonTimeout},
                      FaultCase{"DripPastTimeout", M::None, kReasonTimeout, Special::DripPastTimeout},
                      FaultCase{"CloseAtOnce", M::CloseWithoutAnswer, kReasonNoCode},
                      // Whether the close beats the request out depends on timing.
                      FaultCase{"CloseOnAccept", M::None, kReasonNoCode, Special::CloseOnAccept, 0, kReasonSendFailed},
                      FaultCase{"Reset", M::Reset, kReasonNoCode},
                      FaultCase{"ResetWhileSending", M::ResetWhileReceiving, kReasonSendFailed, Special::None,
                                24u << 20},
                      FaultCase{"StallWhileSending", M::None, kReasonTimeout, Special::StallWhileSending, 24u << 20},
                      FaultCase{"NoMarkers", M::NoMarkers, kReasonNoCode},
                      FaultCase{"Refused", M::None, kReasonConnectFailed, Special::Refused},
                      FaultCase{"Unresolvable", M::None, kReasonHostNotFound, Special::Unresolvable}),
    [](const ::testing::TestParamInfo<FaultCase>& c) { return std::string(c.param.name); });

// The time-out bounds a stall, not the whole request: a large image going out to a host that
// keeps taking it, only slowly, is sent to the end even when that takes longer than the
// time-out, and then uploads. (The socket buffers hold up to about 4 MiB, so the host reads
// the first 4 MiB of 8 slowly; the request cannot have left before it did.)
TEST_F(FaultMatrixTest, LargeImageOverASlowLineIsNotCutOffByTheTimeout) {
    WriteValue(settings, "Bilder", "Timeout", "1");
    const std::string code = "[URL=http://127.0.0.1/v/5][IMG]http://127.0.0.1/i/5/big.jpg[/IMG][/URL]";
    ScriptedServer slow(
        [&](int fd, const std::atomic<bool>& stop) { ReadSlowlyThenAnswer(fd, stop, 48 * 1024, 4u << 20, code); },
        64 * 1024);
    ASSERT_NE(slow.Port(), 0);
    goodHosters = LocalHoster(slow.Port());
    std::vector<ImageEntry> rows = {Image("big.jpg", 8u << 20)};
    EXPECT_EQ(Upload(rows), 0);

    ASSERT_EQ(seconds.size(), 1u);
    EXPECT_GT(seconds[0], 1.0);  // the sending really outlasted the time-out
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], Line("big.jpg", "erfolgreich !"));
    EXPECT_EQ(rows[0].upload, code);
    EXPECT_FALSE(rows[0].checked);
}

// A name under the reserved .invalid domain never resolves, and the lookup is answered here
// without asking a name server (which could stall the window for the resolver's time-out).
TEST(HostLookup, ReservedInvalidNamesFailWithoutALookup) {
    for (const char* name : {"lumar-fault.invalid", "upload.Example.INVALID.", "invalid"})
        EXPECT_EQ(GetHostAddress(name), kAddressNone) << name;
}

}  // namespace
}  // namespace lumar
