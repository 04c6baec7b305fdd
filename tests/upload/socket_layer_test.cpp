#include "upload/socket_layer.h"

#include <gtest/gtest.h>

#include "hoster_emulator/hoster_emulator.h"
#include "upload/http_request.h"

namespace lumar {
namespace {

using namespace std::chrono_literals;

WaitControl Within(std::chrono::seconds limit, PumpEvents pump = {}) {
    return WaitControl{std::chrono::steady_clock::now() + limit, std::move(pump), nullptr};
}

// A host that reads slowly fills the socket: the sending waits for room with the window's
// events pumped, and the request arrives whole however unevenly it was cut into pieces.
TEST(SocketLayer, FullSocketIsWaitedOnWithThePumpRunning) {
    tools::HosterEmulator emulator;
    emulator.SetMisbehaviour(tools::Misbehaviour::SlowRead);
    const std::string content(6 * 1024 * 1024, '\xAB');
    CHTTPRequest r;
    r.Path("/upload.php");
    ASSERT_TRUE(r.AddFile("file[0]", "/pics/a.jpg", content, "image/jpeg"));
    const std::string request = r.GetPOSTQuery();
    int pumps = 0;
    UploadConnection c;
    ASSERT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), Within(10s)));
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

}  // namespace
}  // namespace lumar
