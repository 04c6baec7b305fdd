#include "upload/socket_layer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <future>
#include <memory>
#include <stdexcept>

#include "hoster_emulator/hoster_emulator.h"
#include "upload/host_lookup.h"
#include "upload/http_request.h"

namespace lumar {
namespace {

using namespace std::chrono_literals;

WaitControl Within(std::chrono::milliseconds limit, PumpEvents pump = {},
                   const std::atomic<bool>* abort = nullptr) {
    return WaitControl{std::chrono::steady_clock::now() + limit, std::move(pump), abort};
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

const std::uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// A name server that does not answer until the test lets it. It lives in shared state because
// the lookup thread may outlast the wait that started it (that is the point of the tests).
struct StalledNameServer {
    std::promise<void> release, answer;
    std::shared_future<void> released = release.get_future().share();
    std::future<void> answered = answer.get_future();

    static HostResolver Resolver(const std::shared_ptr<StalledNameServer>& server) {
        return [server](const std::string&) {
            // Bounded, so a wait that wrongly waits for the lookup fails instead of hanging.
            server->released.wait_for(30s);
            server->answer.set_value();
            return kLoopback;
        };
    }
    // The late answer has been given; what follows on the thread is only the write to its pipe.
    bool AwaitAnswered() { return answered.wait_for(30s) == std::future_status::ready; }
};

TEST(HostLookup, OnlyNamesReachTheResolverAndItsFailuresMeanHostNotFound) {
    // Shared, because the resolver is copied to the lookup thread.
    const auto calls = std::make_shared<std::atomic<int>>(0);
    const HostResolver counting = [calls](const std::string&) { return ++*calls, kLoopback; };
    SocketFailure why = SocketFailure::Timeout;
    EXPECT_EQ(LookUpHost("127.0.0.1", Within(5s), counting, &why), kLoopback);
    // Dotted addresses are read strictly: trailing junk or short forms are no address and no name.
    for (const char* name :
         {"", "upload.Example.INVALID.", "127.0.0.1 /x", "127.1", "255.255.255.255"}) {
        EXPECT_EQ(LookUpHost(name, Within(5s), counting, &why), kAddressNone) << name;
        EXPECT_EQ(why, SocketFailure::HostNotFound) << name;
    }
    EXPECT_EQ(calls->load(), 0);
    EXPECT_FALSE(IsReservedInvalidName("notinvalid") || IsReservedInvalidName("invalid.example"));
    // An exception on the lookup thread would end the program; it counts as "not found".
    const HostResolver throwing = [](const std::string&) -> std::uint32_t {
        throw std::runtime_error("no");
    };
    EXPECT_EQ(LookUpHost("pics.example", Within(5s), throwing, &why), kAddressNone);
    EXPECT_EQ(why, SocketFailure::HostNotFound);

    // The system's lookup still answers for a local name.
    EXPECT_EQ(LookUpHost("localhost", Within(10s), {}, &why), kLoopback);
}

// A name server that never answers must not hold the window: the wait pumps events, and a
// cancel or the time-out ends it while the lookup is still running. The late answer then lands
// in the abandoned lookup's own pipe and touches nothing of the next connect.
TEST(HostLookup, CancelOrTimeoutEndsAStalledLookupAtOnce) {
    tools::HosterEmulator emulator;
    auto cancelled = std::make_shared<StalledNameServer>();
    auto timedOut = std::make_shared<StalledNameServer>();

    UploadConnection c;
    c.SetResolver(StalledNameServer::Resolver(cancelled));
    std::atomic<bool> abort{false};
    int pumps = 0;
    SocketFailure why = SocketFailure::None;
    const PumpEvents cancelOnThirdPump = [&] { abort = ++pumps >= 3; };
    EXPECT_FALSE(
        c.ConnectTo("slow.example", emulator.Port(), Within(60s, cancelOnThirdPump, &abort), &why));
    EXPECT_EQ(why, SocketFailure::Cancelled);
    EXPECT_EQ(pumps, 3);

    c.SetResolver(StalledNameServer::Resolver(timedOut));
    EXPECT_FALSE(c.ConnectTo("slow.example", emulator.Port(), Within(300ms), &why));
    EXPECT_EQ(why, SocketFailure::Timeout);

    // The abandoned lookups answer late; the next connect is not disturbed by them.
    cancelled->release.set_value();
    timedOut->release.set_value();
    c.SetResolver([](const std::string&) { return kLoopback; });
    EXPECT_TRUE(c.ConnectTo("fast.example", emulator.Port(), Within(10s), &why));
    EXPECT_TRUE(cancelled->AwaitAnswered());
    EXPECT_TRUE(timedOut->AwaitAnswered());
}

}  // namespace
}  // namespace lumar
