#pragma once
// An HTTP or HTTPS server on the loopback (127.0.0.1 or [::1]) for the transport's tests: one
// connection at a time on a thread of its own (or each on its own, see `concurrent`), each answered
// by the test's handler and then closed, until the server is destroyed.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/tls_test_pki.h"

typedef struct ssl_ctx_st SSL_CTX;

namespace lumar::test {

struct TestAnswer {
    std::string bytes;
    bool closeNotify = true;  // TLS: end with close-notify
};

// Gets the whole request (head and the Content-Length body) and returns the answer.
using TestHandler = std::function<TestAnswer(const std::string& request)>;

struct TestServerOptions {
    const TestCertificate* certificate = nullptr;  // TLS when set
    int tlsVersion = 0;                            // the only version offered; 0: any
    bool ipv6 = false;
    // Answer as soon as the head is in, leaving the body unread (the close then resets).
    bool answerAfterHead = false;
    // Serves each connection instead of the handler, for what no HTTP server does; the
    // connection is closed when it returns. It may record what it was sent in Requests().
    std::function<void(int fd, const std::function<void(std::string)>& record)> raw = nullptr;
    int receiveBuffer = 0;  // SO_RCVBUF, set before listening so connections start with it
    // Each connection on a thread of its own, so answers may overlap and come in any order;
    // the handler must then be safe to call at once.
    bool concurrent = false;
};

class TestHttpServer {
  public:
    explicit TestHttpServer(TestHandler handler, TestServerOptions options = {});
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return port_; }
    // "https://127.0.0.1:PORT" + path, "http://[::1]:PORT" + path, ...
    std::string Url(const std::string& path = "/") const;
    std::vector<std::string> Requests() const;

  private:
    void Serve();
    void ServeConnection(int fd);
    void Answer(int fd);
    void Record(std::string request);

    TestHandler handler_;
    TestServerOptions options_;
    SSL_CTX* ctx_ = nullptr;
    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::thread> workers_;  // of a concurrent server
};

}  // namespace lumar::test
