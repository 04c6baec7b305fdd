#pragma once
// A forward proxy on 127.0.0.1 for the transport's tests: CONNECT tunnels and plain requests
// with an absolute URL, one connection at a time on a thread of its own. It records the head of
// each request it was sent; with a refusal status it answers every request with that instead.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumar::test {

class TestProxy {
  public:
    // `refusal`: e.g. "403 Forbidden"; empty: serve.
    explicit TestProxy(std::string refusal = {});
    ~TestProxy();
    TestProxy(const TestProxy&) = delete;
    TestProxy& operator=(const TestProxy&) = delete;

    int Port() const { return port_; }
    std::vector<std::string> RequestHeads() const;

  private:
    void Serve();
    void Handle(int client);

    std::string refusal_;
    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace lumar::test
