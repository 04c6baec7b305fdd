#include "upload/host_lookup.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "hoster_emulator/hoster_emulator.h"

namespace lumar {
namespace {

using namespace std::chrono_literals;
using tools::HosterEmulator;

const std::uint32_t kLoopback = htonl(INADDR_LOOPBACK);

WaitControl Within(std::chrono::milliseconds limit, PumpEvents pump = {},
                   const std::atomic<bool>* abort = nullptr) {
    return WaitControl{std::chrono::steady_clock::now() + limit, std::move(pump), abort};
}

// A name server that does not answer until the test lets it. It lives in shared state because
// the lookup thread may outlast the wait that started it (that is the point of the tests).
struct StalledNameServer {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool asked = false;
    bool answered = false;

    static HostResolver Resolver(const std::shared_ptr<StalledNameServer>& server) {
        return [server](const std::string&) {
            std::unique_lock lock(server->mutex);
            server->asked = true;
            server->changed.notify_all();
            // Bounded, so a wait that wrongly waits for the lookup fails instead of hanging.
            server->changed.wait_for(lock, 30s, [&] { return server->released; });
            server->answered = true;
            server->changed.notify_all();
            return kLoopback;
        };
    }
    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    bool WasReleased() {
        std::lock_guard lock(mutex);
        return released;
    }
    // The late answer has been given; what follows on the thread is only the write to its pipe.
    bool AwaitAnswered() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 30s, [&] { return answered; });
    }
};

TEST(HostLookup, OnlyNamesReachTheResolverAndItsFailuresMeanHostNotFound) {
    // Shared, because the resolver is copied to the lookup thread.
    const auto calls = std::make_shared<std::atomic<int>>(0);
    const auto answering = [calls](std::uint32_t address) -> HostResolver {
        return [calls, address](const std::string&) { return ++*calls, address; };
    };
    SocketFailure why = SocketFailure::Timeout;
    EXPECT_EQ(LookUpHost("127.0.0.1", Within(5s), answering(kLoopback), &why), kLoopback);
    EXPECT_EQ(why, SocketFailure::None);
    // Dotted addresses are read strictly: trailing junk or short forms are no address and no name.
    for (const char* name : {"", "upload.Example.INVALID.", "lumar.invalid", "invalid",
                             "127.0.0.1 /x", "127.1", "127.0.0.1\r", "255.255.255.255"}) {
        EXPECT_EQ(LookUpHost(name, Within(5s), answering(kLoopback), &why), kAddressNone) << name;
        EXPECT_EQ(why, SocketFailure::HostNotFound) << name;
    }
    EXPECT_EQ(calls->load(), 0);
    EXPECT_FALSE(IsReservedInvalidName("notinvalid") || IsReservedInvalidName("invalid.example"));

    EXPECT_EQ(LookUpHost("pics.example", Within(5s), answering(htonl(0x0A000001u)), &why),
              htonl(0x0A000001u));
    EXPECT_EQ(LookUpHost("pics.example", Within(5s), answering(kAddressNone), &why), kAddressNone);
    EXPECT_EQ(why, SocketFailure::HostNotFound);
    EXPECT_EQ(calls->load(), 2);
    // An exception on the lookup thread would end the program; it counts as "not found".
    const HostResolver throwing = [](const std::string&) -> std::uint32_t {
        throw std::runtime_error("no");
    };
    EXPECT_EQ(LookUpHost("pics.example", Within(5s), throwing, &why), kAddressNone);
    EXPECT_EQ(why, SocketFailure::HostNotFound);

    // The system's lookup still answers for a local name.
    int pumps = 0;
    EXPECT_EQ(LookUpHost("localhost", Within(10s, [&] { ++pumps; }), {}, &why), kLoopback);
    EXPECT_EQ(why, SocketFailure::None);
    EXPECT_GE(pumps, 1);
}

// A name server that never answers must not hold the window: the wait pumps events, and a
// cancel or the time-out ends it while the lookup is still running. The late answer then lands
// in the abandoned lookup's own pipe and touches nothing of the next connect.
TEST(HostLookup, CancelOrTimeoutEndsAStalledLookupAtOnce) {
    HosterEmulator emulator;
    ASSERT_TRUE(emulator.Listening());
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
    EXPECT_EQ(c.Socket(), -1);
    EXPECT_FALSE(cancelled->WasReleased());  // returned while the lookup was still running

    c.SetResolver(StalledNameServer::Resolver(timedOut));
    pumps = 0;
    EXPECT_FALSE(
        c.ConnectTo("slow.example", emulator.Port(), Within(300ms, [&] { ++pumps; }), &why));
    EXPECT_EQ(why, SocketFailure::Timeout);
    EXPECT_GE(pumps, 1);
    EXPECT_FALSE(timedOut->WasReleased());

    // An abort already set stops before any lookup starts.
    abort = true;
    EXPECT_EQ(LookUpHost("slow.example", Within(60s, {}, &abort),
                         StalledNameServer::Resolver(timedOut), &why),
              kAddressNone);
    EXPECT_EQ(why, SocketFailure::Cancelled);

    // The abandoned lookups answer late; the next connect is not disturbed by them.
    cancelled->Release();
    timedOut->Release();
    c.SetResolver([](const std::string&) { return kLoopback; });
    EXPECT_TRUE(c.ConnectTo("fast.example", emulator.Port(), Within(10s), &why));
    EXPECT_EQ(why, SocketFailure::None);
    EXPECT_TRUE(cancelled->AwaitAnswered());
    EXPECT_TRUE(timedOut->AwaitAnswered());
}

}  // namespace
}  // namespace lumar
