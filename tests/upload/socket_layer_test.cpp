#include "upload/socket_layer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "hoster_emulator/hoster_emulator.h"
#include "upload/http_request.h"

namespace lumar {
namespace {

using namespace std::chrono_literals;
using tools::HosterEmulator;
using tools::Misbehaviour;

std::string Request(const std::string& content = "JPEGDATA") {
    CHTTPRequest r;
    r.Host("127.0.0.1");
    r.Path("/upload.php");
    EXPECT_TRUE(r.AddFormData("max", "1"));
    EXPECT_TRUE(r.AddFile("file[0]", "/pics/a.jpg", content, "image/jpeg"));
    return r.GetPOSTQuery();
}

WaitControl Within(std::chrono::milliseconds limit, PumpEvents pump = {}, const std::atomic<bool>* abort = nullptr) {
    return WaitControl{std::chrono::steady_clock::now() + limit, std::move(pump), abort};
}

struct Exchange {
    WaitEnd end = WaitEnd::Closed;
    std::string answer;
    int socketAfter = -2;
};

// One image's round trip against the emulator: connect, send, wait.
Exchange RoundTrip(HosterEmulator& emulator, std::chrono::milliseconds wait = 20s) {
    UploadConnection c;
    Exchange x;
    SocketFailure why = SocketFailure::Timeout;
    EXPECT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s), &why));
    EXPECT_EQ(why, SocketFailure::None);
    EXPECT_GT(c.Socket(), 0);
    const std::string request = Request();
    EXPECT_EQ(c.SendData(request, Within(10s)), static_cast<long long>(request.size()));
    x.end = c.WaitForAnswer(Within(wait));
    x.answer = c.Response().Answer();
    x.socketAfter = c.Socket();
    return x;
}

std::string ExpectedPage(HosterEmulator& emulator) {
    const std::vector<tools::ReceivedUpload> uploads = emulator.Uploads();
    if (uploads.empty()) return "(nothing received)";
    return HosterEmulator::PageFor(uploads.back().style, uploads.back().code);
}

TEST(SocketLayer, AnswerArrivesWholeHoweverTheHostSendsIt) {
    HosterEmulator emulator;
    ASSERT_TRUE(emulator.Listening());
    for (Misbehaviour mode : {Misbehaviour::None, Misbehaviour::SmallPieces, Misbehaviour::NoHeader,
                              Misbehaviour::SlowDrip}) {
        emulator.SetMisbehaviour(mode);
        const Exchange x = RoundTrip(emulator);
        EXPECT_EQ(x.end, WaitEnd::Closed) << static_cast<int>(mode);
        EXPECT_EQ(x.socketAfter, 0);
        EXPECT_EQ(x.answer, ExpectedPage(emulator)) << static_cast<int>(mode);
    }
    const std::vector<tools::ReceivedUpload> uploads = emulator.Uploads();
    ASSERT_EQ(uploads.size(), 4u);
    EXPECT_EQ(uploads[0].fileBytes, "JPEGDATA");
    EXPECT_EQ(uploads[0].requestLine, "POST /upload.php HTTP/1.0");
}

TEST(SocketLayer, LaterPieceThatLooksLikeAStatusLineIsKept) {
    HosterEmulator emulator;
    const std::string header = "HTTP/1.0 200 OK\r\nX: 1\r\n\r\n";
    emulator.SetRawAnswer(header + "one HTTP/1.1 200 OK\r\n\r\ntwo", {4, header.size() - 4, 4});
    const Exchange x = RoundTrip(emulator);
    EXPECT_EQ(x.end, WaitEnd::Closed);
    EXPECT_EQ(x.answer, "one HTTP/1.1 200 OK\r\n\r\ntwo");
}

TEST(SocketLayer, HostThatNeverClosesEndsAtTheTimeoutWithWhatArrived) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::NeverClose);
    const Exchange x = RoundTrip(emulator, 1500ms);
    EXPECT_EQ(x.end, WaitEnd::Timeout);
    EXPECT_EQ(x.answer, ExpectedPage(emulator));
    EXPECT_EQ(x.socketAfter, 0);  // given up and closed, nothing of it can reach the next image

    emulator.SetMisbehaviour(Misbehaviour::NeverCloseSilent);
    const Exchange silent = RoundTrip(emulator, 500ms);
    EXPECT_EQ(silent.end, WaitEnd::Timeout);
    EXPECT_EQ(silent.answer, "");

    // The emulator serves one connection at a time: this only completes because the
    // connections given up were closed.
    emulator.SetMisbehaviour(Misbehaviour::None);
    EXPECT_EQ(RoundTrip(emulator).end, WaitEnd::Closed);
}

TEST(SocketLayer, ClosedOrResetWithoutAnswerEndsTheWaitAtOnce) {
    HosterEmulator emulator;
    for (Misbehaviour mode : {Misbehaviour::CloseWithoutAnswer, Misbehaviour::Reset}) {
        emulator.SetMisbehaviour(mode);
        const Exchange x = RoundTrip(emulator, 60s);
        EXPECT_EQ(x.end, WaitEnd::Closed);
        EXPECT_EQ(x.answer, "");
        EXPECT_EQ(x.socketAfter, 0);
    }
}

TEST(SocketLayer, AnswerBeyondTheCapIsCutAndTreatedAsEnded) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::OverCap);
    UploadConnection c;
    ASSERT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s)));
    ASSERT_GT(c.SendData(Request(), Within(10s)), 0);
    EXPECT_EQ(c.WaitForAnswer(Within(60s)), WaitEnd::Closed);
    EXPECT_EQ(c.Socket(), 0);
    EXPECT_EQ(c.Response().Received(), kMaxAnswerBytes);
    const std::string answer = c.Response().Answer();
    EXPECT_EQ(answer.rfind(ExpectedPage(emulator), 0), 0u);
    EXPECT_EQ(answer.back(), 'x');
}

TEST(SocketLayer, FullSocketIsWaitedOnWithThePumpRunning) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::SlowRead);
    const std::string content(6 * 1024 * 1024, '\xAB');
    const std::string request = Request(content);
    int pumps = 0;
    UploadConnection c;
    ASSERT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s)));
    // In pieces, as the upload sends a request around the file it read, split unevenly.
    const std::string_view all(request);
    const std::string_view pieces[] = {all.substr(0, 100), all.substr(100, 0), all.substr(100, 3000000),
                                       all.substr(3000100)};
    EXPECT_EQ(c.SendData(std::span<const std::string_view>(pieces), Within(60s, [&] { ++pumps; })),
              static_cast<long long>(request.size()));
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(c.WaitForAnswer(Within(60s)), WaitEnd::Closed);
    ASSERT_EQ(emulator.Uploads().size(), 1u);
    EXPECT_EQ(emulator.Uploads()[0].fileBytes, content);
}

TEST(SocketLayer, FailedSendClosesTheConnectionAtOnce) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::ResetWhileReceiving);
    UploadConnection c;
    ASSERT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s)));
    SocketFailure why = SocketFailure::None;
    EXPECT_EQ(c.SendData(Request(std::string(32 * 1024 * 1024, 'z')), Within(60s), &why), -1);
    EXPECT_EQ(why, SocketFailure::SendFailed);
    EXPECT_EQ(c.Socket(), 0);
    EXPECT_EQ(c.WaitForAnswer(Within(60s)), WaitEnd::Closed);
}

TEST(SocketLayer, CancelEndsTheWaitAtTheNextSlice) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::NeverCloseSilent);
    std::atomic<bool> abort{false};
    int pumps = 0;
    UploadConnection c;
    ASSERT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s)));
    ASSERT_GT(c.SendData(Request(), Within(10s)), 0);
    const WaitEnd end = c.WaitForAnswer(Within(60s, [&] {
        if (++pumps == 2) abort.store(true);
    }, &abort));
    EXPECT_EQ(end, WaitEnd::Cancelled);
    EXPECT_EQ(pumps, 2);
    EXPECT_EQ(c.Socket(), 0);
}

TEST(SocketLayer, ConnectFailuresSayWhy) {
    // A port nobody listens on: bound once, then released.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
    ::close(probe);

    UploadConnection c;
    SocketFailure why = SocketFailure::None;
    EXPECT_FALSE(c.ConnectTo("127.0.0.1", ntohs(address.sin_port), Within(10s), &why));
    EXPECT_EQ(why, SocketFailure::ConnectFailed);
    EXPECT_EQ(c.Socket(), -1);
    EXPECT_FALSE(c.ConnectTo("255.255.255.255", 80, Within(10s), &why));
    EXPECT_EQ(why, SocketFailure::HostNotFound);
    EXPECT_FALSE(c.ConnectTo("upload.example.INVALID.", 80, Within(10s), &why));  // never asks a name server
    EXPECT_EQ(why, SocketFailure::HostNotFound);
    EXPECT_FALSE(c.ConnectTo("", 80, Within(10s), &why));
    EXPECT_EQ(why, SocketFailure::HostNotFound);
    EXPECT_FALSE(c.ConnectTo("127.0.0.1", 65535, Within(10s), &why));
    EXPECT_EQ(why, SocketFailure::ConnectFailed);
    c.OnReadable();  // a notification without a connection reads nothing
    EXPECT_EQ(c.Response().Received(), 0u);
}

TEST(SocketLayer, AddressesAndLinger) {
    EXPECT_EQ(GetHostAddress("127.0.0.1"), htonl(0x7F000001u));
    EXPECT_EQ(GetHostAddress("localhost"), htonl(0x7F000001u));
    EXPECT_EQ(GetHostAddress("255.255.255.255"), kAddressNone);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(SetLinger(fd, true, 0), 0);
    ::close(fd);
    EXPECT_EQ(SetLinger(-1, true, 0), -1);
}

}  // namespace
}  // namespace lumar
