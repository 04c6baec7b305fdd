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
#include <fstream>
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

enum class Fault {
    SmallPieces,
    SplitHeader,
    NoHeader,
    HeaderWithoutEnd,
    DripPastTimeout,
    CloseOnAccept,
    AnswerThenReset,
    StallWhileSending,
    NeverCloseAfterAnswer,
    NeverCloseSilent,
    CloseAtOnce,
    Reset,
    ResetWhileSending,
    SlowDrip,
    SlowRead,
    OversizeAnswer,
    NoMarkers,
    Refused,
    Unresolvable,
};

struct FaultCase {
    const char* name;
    Fault fault;
    bool succeeds;
    int reason = 0;              // kReason... of a failure
    bool failsOnConnect = false; // logged as "Verbindung zu <host> fehlgeschlagen !"
    size_t middlePadding = 0;    // bytes appended to the middle image
    int otherReason = 0;         // a second reason a race between the two ends may give
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

// A port on 127.0.0.1 that refuses connections for as long as this object lives: bound, so no
// one else takes it, but never listening.
class RefusingPort {
public:
    RefusingPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() {
        if (fd_ >= 0) ::close(fd_);
    }
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

    explicit ScriptedServer(Handler handler, int receiveBuffer = 0) : handler_(std::move(handler)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return;
        // Set before listening, so accepted connections start with the small window.
        if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    std::uint16_t Port() const { return port_; }

private:
    void Serve() {
        const auto until = Clock::now() + std::chrono::seconds(30);
        for (int served = 0; served < 8 && !stop_.load() && Clock::now() < until;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            ++served;
            handler_(connection, stop_);
            ::close(connection);
        }
    }

    Handler handler_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Reads one request, its first `slowBytes` at `bytesPerTurn` bytes every 20 ms and the rest at
// full speed (at most 20 s in all), then answers with the page of the first hoster style
// carrying `code`.
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
    const std::string answer =
        "HTTP/1.0 200 OK\r\n\r\n" + HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, code);
    ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
}

// Records the log lines and how long each image took, and lets the test act at the start
// of every image.
class Recorder : public UploadObserver {
public:
    std::function<void(const std::string&)> onImage;

    void CurrentFile(const std::string& path) override {
        if (onImage) onImage(path);
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

    Clock::time_point imageStart;
    std::vector<double> seconds;
    std::vector<std::string> log;
    std::string pending;
};

class FaultMatrixTest : public ::testing::TestWithParam<FaultCase> {
protected:
    FaultMatrixTest()
        : goodHosters(LoadHostersFromText(emulator.HostersIni())),
          hosters(goodHosters),
          strings(LoadUiStrings(dir.file("none.ini"), "")) {
        settings = dir.file("Lumar.ini");
        WriteValue(settings, "Bilder", "Timeout", std::to_string(kTimeoutSeconds));
    }

    ImageEntry Image(const std::string& name, size_t padding = 0) {
        const std::string path = dir.file(name);
        test::WriteJpeg(path, 16, 16);
        if (padding > 0) {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            out << std::string(padding, '\x5a');
        }
        ImageEntry row;
        row.folder = dir.path() + "/";
        row.text = name;
        row.kB = "1.0";
        return row;
    }

    // Turns the fault on for the connection of the middle image and off again for the last.
    void Arm(const FaultCase& c) {
        switch (c.fault) {
            case Fault::SmallPieces: faultMode = Misbehaviour::SmallPieces; break;
            case Fault::NoHeader: faultMode = Misbehaviour::NoHeader; break;
            case Fault::NeverCloseAfterAnswer: faultMode = Misbehaviour::NeverClose; break;
            case Fault::NeverCloseSilent: faultMode = Misbehaviour::NeverCloseSilent; break;
            case Fault::CloseAtOnce: faultMode = Misbehaviour::CloseWithoutAnswer; break;
            case Fault::Reset: faultMode = Misbehaviour::Reset; break;
            case Fault::ResetWhileSending: faultMode = Misbehaviour::ResetWhileReceiving; break;
            case Fault::SlowDrip: faultMode = Misbehaviour::SlowDrip; break;
            case Fault::SlowRead: faultMode = Misbehaviour::SlowRead; break;
            case Fault::OversizeAnswer: faultMode = Misbehaviour::OverCap; break;
            case Fault::NoMarkers: faultMode = Misbehaviour::NoMarkers; break;
            case Fault::HeaderWithoutEnd:
                // A status line and the page, but never the empty line that ends a header.
                rawAnswer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n" +
                            HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, rawCode);
                rawPieces = {};
                break;
            case Fault::DripPastTimeout: {
                // The page padded in front, so its code would arrive only after the time-out:
                // 400 pieces of 20 bytes, 10 ms apart.
                rawAnswer = "HTTP/1.0 200 OK\r\n\r\n" + std::string(8000, ' ') +
                            HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, rawCode);
                rawPieces.assign(400, 20);
                break;
            }
            case Fault::CloseOnAccept:
                own = std::make_unique<ScriptedServer>([](int, const std::atomic<bool>&) {});
                faultHosters = LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=" +
                                                   std::to_string(own->Port()) + "\n");
                break;
            case Fault::StallWhileSending:
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
                faultHosters = LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=" +
                                                   std::to_string(own->Port()) + "\n");
                break;
            case Fault::AnswerThenReset:
                // The whole answer, then a reset instead of an orderly close.
                own = std::make_unique<ScriptedServer>([this](int fd, const std::atomic<bool>& stop) {
                    ReadSlowlyThenAnswer(fd, stop, 65536, 0, rawCode);
                    const linger reset{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                });
                faultHosters = LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=" +
                                                   std::to_string(own->Port()) + "\n");
                break;
            case Fault::SplitHeader: {
                // The header cut inside "HTTP/1." and again between the two line ends that
                // close it.
                const std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" +
                                           HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, rawCode);
                const size_t end = answer.find("\r\n\r\n");
                rawAnswer = answer;
                rawPieces = {3, end + 2 - 3, 2, 10};
                break;
            }
            case Fault::Refused:
                faultHosters = LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=" +
                                                   std::to_string(refusing.Port()) + "\n");
                break;
            case Fault::Unresolvable:
                faultHosters = LoadHostersFromText("[Hoster1]\nConnectHost=" + kUnresolvableHost +
                                                   "\nPort=" + std::to_string(emulator.Port()) + "\n");
                break;
        }
        recorder.onImage = [this](const std::string& path) {
            const bool middle = path == dir.file("b.jpg");
            hosters = middle && faultHosters ? *faultHosters : goodHosters;
            if (middle && !rawAnswer.empty())
                emulator.SetRawAnswer(rawAnswer, rawPieces);
            else
                emulator.SetMisbehaviour(middle ? faultMode : Misbehaviour::None);
        };
    }

    test::TempDir dir;
    HosterEmulator emulator;
    RefusingPort refusing;
    std::unique_ptr<ScriptedServer> own;  // serves the middle image where the emulator cannot
    HosterTable goodHosters;
    HosterTable hosters;  // the table the run reads, swapped per image
    std::optional<HosterTable> faultHosters;
    UiStrings strings;
    std::string settings;
    Recorder recorder;
    Misbehaviour faultMode = Misbehaviour::None;
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

    UploadRun run(hosters, strings, recorder);
    UploadRunOptions options;
    options.hosterIndex = 1;
    options.settingsFile = settings;
    run.Run(rows, options);

    // No image is held past the time-out (plus a second of slack for a loaded machine).
    ASSERT_EQ(recorder.seconds.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_LT(recorder.seconds[i], kTimeoutSeconds + 1.0) << "image " << i + 1;

    const std::vector<tools::ReceivedUpload> uploads = emulator.Uploads();
    ASSERT_FALSE(uploads.empty());
    ASSERT_EQ(recorder.log.size(), 3u);
    const std::string imageLine = "Upload von Bild: " + dir.file("b.jpg") + "...";
    EXPECT_EQ(recorder.log[0], "Upload von Bild: " + dir.file("a.jpg") + "...erfolgreich !");
    EXPECT_EQ(recorder.log[2], "Upload von Bild: " + dir.file("c.jpg") + "...erfolgreich !");
    EXPECT_FALSE(rows[0].checked);
    EXPECT_FALSE(rows[2].checked);
    EXPECT_EQ(rows[0].upload, uploads.front().code);
    EXPECT_EQ(rows[2].upload, uploads.back().code);
    EXPECT_NE(rows[2].upload.find("c.jpg"), std::string::npos);

    double bytes = static_cast<double>(dir.read("a.jpg").size() + dir.read("c.jpg").size());
    if (c.succeeds) {
        EXPECT_EQ(recorder.log[1], imageLine + "erfolgreich !");
        EXPECT_FALSE(rows[1].checked);
        EXPECT_EQ(rows[1].upload, rawAnswer.empty() && !own ? uploads[1].code : rawCode);
        EXPECT_EQ(run.FailedCount(), 0);
        bytes += static_cast<double>(dir.read("b.jpg").size());
    } else {
        const std::string host = c.fault == Fault::Unresolvable ? kUnresolvableHost : "127.0.0.1";
        auto line = [&](int reason) {
            const std::string failed = "fehlgeschlagen ! (" + strings.Get(reason) + ")";
            return c.failsOnConnect ? "Verbindung zu " + host + " " + failed : imageLine + failed;
        };
        if (c.otherReason != 0 && recorder.log[1] == line(c.otherReason)) {
            SUCCEED();
        } else {
            EXPECT_EQ(recorder.log[1], line(c.reason));
        }
        EXPECT_TRUE(rows[1].checked);
        EXPECT_EQ(rows[1].upload, "");
        EXPECT_EQ(run.FailedCount(), 1);
    }
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), c.succeeds ? "3" : "2");
    EXPECT_EQ(ReadValue(settings, "Stat", "Size", ""), FormatCount(bytes));
}

// The middle image of the reset-while-sending case is large enough that the request cannot
// all sit in the socket buffers before the host resets.
INSTANTIATE_TEST_SUITE_P(
    EveryMisbehaviour, FaultMatrixTest,
    ::testing::Values(FaultCase{"SmallPieces", Fault::SmallPieces, true},
                      FaultCase{"SplitHeader", Fault::SplitHeader, true},
                      FaultCase{"NoHeader", Fault::NoHeader, true},
                      FaultCase{"HeaderWithoutEnd", Fault::HeaderWithoutEnd, true},
                      FaultCase{"NeverCloseAfterAnswer", Fault::NeverCloseAfterAnswer, true},
                      FaultCase{"AnswerThenReset", Fault::AnswerThenReset, true},
                      FaultCase{"SlowDrip", Fault::SlowDrip, true},
                      FaultCase{"SlowRead", Fault::SlowRead, true, 0, false, 2u << 20},
                      FaultCase{"OversizeAnswer", Fault::OversizeAnswer, true},
                      FaultCase{"NeverCloseSilent", Fault::NeverCloseSilent, false, kReasonTimeout},
                      FaultCase{"DripPastTimeout", Fault::DripPastTimeout, false, kReasonTimeout},
                      FaultCase{"CloseAtOnce", Fault::CloseAtOnce, false, kReasonNoCode},
                      // Whether the close beats the request out depends on timing.
                      FaultCase{"CloseOnAccept", Fault::CloseOnAccept, false, kReasonNoCode, false, 0,
                                kReasonSendFailed},
                      FaultCase{"Reset", Fault::Reset, false, kReasonNoCode},
                      FaultCase{"ResetWhileSending", Fault::ResetWhileSending, false, kReasonSendFailed, false,
                                24u << 20},
                      FaultCase{"StallWhileSending", Fault::StallWhileSending, false, kReasonTimeout, false,
                                24u << 20},
                      FaultCase{"NoMarkers", Fault::NoMarkers, false, kReasonNoCode},
                      FaultCase{"Refused", Fault::Refused, false, kReasonConnectFailed, true},
                      FaultCase{"Unresolvable", Fault::Unresolvable, false, kReasonHostNotFound, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// The time-out bounds a stall, not the whole request: a large image going out to a host that
// keeps taking it, only slowly, is sent to the end even when that takes longer than the
// time-out, and then uploads. (The socket buffers hold up to about 4 MiB, so the host reads
// the first 4 MiB of 8 slowly; the request cannot have left before it did.)
TEST_F(FaultMatrixTest, LargeImageOverASlowLineIsNotCutOffByTheTimeout) {
    WriteValue(settings, "Bilder", "Timeout", "1");
    const std::string code = "[URL=http://127.0.0.1/v/5][IMG]http://127.0.0.1/i/5/big.jpg[/IMG][/URL]";
    ScriptedServer slow([&](int fd, const std::atomic<bool>& stop) { ReadSlowlyThenAnswer(fd, stop, 48 * 1024, 4u << 20, code); },
                        64 * 1024);
    ASSERT_NE(slow.Port(), 0);
    hosters = LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=" + std::to_string(slow.Port()) + "\n");
    std::vector<ImageEntry> rows = {Image("big.jpg", 8u << 20)};

    UploadRun run(hosters, strings, recorder);
    UploadRunOptions options;
    options.hosterIndex = 1;
    options.settingsFile = settings;
    run.Run(rows, options);

    ASSERT_EQ(recorder.seconds.size(), 1u);
    EXPECT_GT(recorder.seconds[0], 1.0);  // the sending really outlasted the time-out
    ASSERT_EQ(recorder.log.size(), 1u);
    EXPECT_EQ(recorder.log[0], "Upload von Bild: " + dir.file("big.jpg") + "...erfolgreich !");
    EXPECT_EQ(rows[0].upload, code);
    EXPECT_FALSE(rows[0].checked);
}

// A name under the reserved .invalid domain never resolves, and the lookup is answered here
// without asking a name server (which could stall the window for the resolver's time-out).
TEST(HostLookup, ReservedInvalidNamesFailWithoutALookup) {
    EXPECT_EQ(GetHostAddress("lumar-fault.invalid"), kAddressNone);
    EXPECT_EQ(GetHostAddress("upload.Example.INVALID."), kAddressNone);
    EXPECT_EQ(GetHostAddress("invalid"), kAddressNone);
    EXPECT_EQ(GetHostAddress("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(GetHostAddress("localhost"), htonl(INADDR_LOOPBACK));
}

}  // namespace
}  // namespace lumar
