#include "support/test_http_server.h"

#include <arpa/inet.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "net/address_lookup.h"
#include "upload/response_parser.h"

namespace lumar::test {
namespace {

// Binds to port 0 of the loopback and returns the socket and the port it got.
int Listen(bool ipv6, int receiveBuffer, int& port) {
    net::SocketAddress address = *net::NumericAddress(ipv6 ? "::1" : "127.0.0.1", 0);
    auto* raw = reinterpret_cast<sockaddr*>(&address.storage);
    const int fd = ::socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (::bind(fd, raw, address.length) != 0 || ::listen(fd, 16) != 0)
        throw std::runtime_error("test server: cannot listen on " + address.ToString());
    ::getsockname(fd, raw, &address.length);
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(raw)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(raw)->sin_port);
    return fd;
}

SSL_CTX* ServerContext(const TestCertificate& certificate, int version) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx, certificate.certificate.get());
    SSL_CTX_use_PrivateKey(ctx, certificate.key.get());
    if (version) {
        SSL_CTX_set_security_level(ctx, 0);
        SSL_CTX_set_min_proto_version(ctx, version);
        SSL_CTX_set_max_proto_version(ctx, version);
    }
    return ctx;
}

size_t ContentLength(const std::string& head) {
    const size_t at = FindNoCase(head, "\r\nContent-Length:");
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + 17));
}

}  // namespace

TestHttpServer::TestHttpServer(TestHandler handler, TestServerOptions options)
    : handler_(std::move(handler)), options_(options) {
    if (options_.certificate) ctx_ = ServerContext(*options_.certificate, options_.tlsVersion);
    listener_ = Listen(options_.ipv6, options_.receiveBuffer, port_);
    thread_ = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
    stop_ = true;
    thread_.join();
    for (std::thread& worker : workers_) worker.join();
    ::close(listener_);
    if (ctx_) SSL_CTX_free(ctx_);
}

std::string TestHttpServer::Url(const std::string& path) const {
    return std::string(ctx_ ? "https://" : "http://") + (options_.ipv6 ? "[::1]" : "127.0.0.1") +
           ":" + std::to_string(port_) + path;
}

std::vector<std::string> TestHttpServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void TestHttpServer::Record(std::string request) {
    const std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
}

void TestHttpServer::Serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) continue;
        if (options_.concurrent)
            workers_.emplace_back([this, fd] { ServeConnection(fd); });
        else
            ServeConnection(fd);
    }
}

void TestHttpServer::ServeConnection(int fd) {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (options_.raw)
        options_.raw(fd, [this](std::string request) { Record(std::move(request)); });
    else
        Answer(fd);
    ::close(fd);
}

void TestHttpServer::Answer(int fd) {
    SSL* ssl = nullptr;
    if (ctx_) {
        ssl = SSL_new(ctx_);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) return SSL_free(ssl);
    }
    const auto read = [&](char* buffer, int size) {
        return ssl ? SSL_read(ssl, buffer, size) : static_cast<int>(::recv(fd, buffer, size, 0));
    };
    std::string request;
    char buffer[16384];
    int n = 0;
    size_t headEnd = std::string::npos;
    while ((headEnd = request.find("\r\n\r\n")) == std::string::npos &&
           (n = read(buffer, sizeof buffer)) > 0)
        request.append(buffer, static_cast<size_t>(n));
    if (headEnd != std::string::npos && !options_.answerAfterHead) {
        const size_t total = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
        while (request.size() < total && (n = read(buffer, sizeof buffer)) > 0)
            request.append(buffer, static_cast<size_t>(n));
    }
    Record(request);
    const TestAnswer answer = handler_(request);
    if (ssl) {
        SSL_write(ssl, answer.bytes.data(), static_cast<int>(answer.bytes.size()));
        if (answer.closeNotify) SSL_shutdown(ssl);
        SSL_free(ssl);
    } else {
        ::send(fd, answer.bytes.data(), answer.bytes.size(), MSG_NOSIGNAL);
    }
}

}  // namespace lumar::test
