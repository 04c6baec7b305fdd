#include "upload/socket_layer.h"

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

WaitControl Within(std::chrono::milliseconds limit, PumpEvents pump = {},
                   const std::atomic<bool>* abort = nullptr) {
    return WaitControl{std::chrono::steady_clock::now() + limit, std::move(pump), abort};
}

// Connected to the emulator, the request sent.
void Send(UploadConnection& c, const HosterEmulator& emulator,
          const std::string& request = Request()) {
    ASSERT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s)));
    ASSERT_GT(c.SendData(request, Within(10s)), 0);
}

TEST(SocketLayer, LaterPieceThatLooksLikeAStatusLineIsKept) {
    HosterEmulator emulator;
    const std::string header = "HTTP/1.0 200 OK\r\nX: 1\r\n\r\n";
    emulator.SetRawAnswer(header + "one HTTP/1.1 200 OK\r\n\r\ntwo", {4, header.size() - 4, 4});
    UploadConnection c;
    Send(c, emulator);
    EXPECT_EQ(c.WaitForAnswer(Within(20s)), WaitEnd::Closed);
    EXPECT_EQ(c.Response().Answer(), "one HTTP/1.1 200 OK\r\n\r\ntwo");
}

TEST(SocketLayer, AnswerBeyondTheCapIsCutAndTreatedAsEnded) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::OverCap);
    UploadConnection c;
    Send(c, emulator);
    EXPECT_EQ(c.WaitForAnswer(Within(60s)), WaitEnd::Closed);
    EXPECT_EQ(c.Socket(), 0);
    EXPECT_EQ(c.Response().Received(), kMaxAnswerBytes);
    const std::string answer = c.Response().Answer();
    const tools::ReceivedUpload upload = emulator.Uploads().at(0);
    EXPECT_EQ(answer.rfind(HosterEmulator::PageFor(upload.style, upload.code), 0), 0u);
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
    const std::string_view pieces[] = {all.substr(0, 100), all.substr(100, 0),
                                       all.substr(100, 3000000), all.substr(3000100)};
    EXPECT_EQ(c.SendData(std::span<const std::string_view>(pieces), Within(60s, [&] { ++pumps; })),
              static_cast<long long>(request.size()));
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(c.WaitForAnswer(Within(60s)), WaitEnd::Closed);
    ASSERT_EQ(emulator.Uploads().size(), 1u);
    EXPECT_EQ(emulator.Uploads()[0].fileBytes, content);
}

TEST(SocketLayer, CancelEndsTheWaitAtTheNextSlice) {
    HosterEmulator emulator;
    emulator.SetMisbehaviour(Misbehaviour::NeverCloseSilent);
    std::atomic<bool> abort{false};
    int pumps = 0;
    UploadConnection c;
    Send(c, emulator);
    const WaitEnd end = c.WaitForAnswer(Within(
        60s,
        [&] {
            if (++pumps == 2) abort.store(true);
        },
        &abort));
    EXPECT_EQ(end, WaitEnd::Cancelled);
    EXPECT_EQ(pumps, 2);
    EXPECT_EQ(c.Socket(), 0);
}

}  // namespace
}  // namespace lumar
