#include "support/test_proxy.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/address_lookup.h"
#include "net/http_url.h"

namespace lumar::test {
namespace {

void SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

int ConnectTo(const net::HttpUrl& url) {
    const std::vector<net::SocketAddress> addresses = net::LookUpWithSystem(url.host, url.port);
    if (addresses.empty()) return -1;
    const int fd = ::socket(addresses[0].Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addresses[0].storage),
                  addresses[0].length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Copies bytes both ways until either side closes.
void Relay(int a, int b) {
    char buffer[16384];
    while (true) {
        pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (::poll(p, 2, 5000) <= 0) return;
        for (int i = 0; i < 2; ++i) {
            if (!p[i].revents) continue;
            const ssize_t n = ::recv(p[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            SendAll(p[1 - i].fd, {buffer, static_cast<size_t>(n)});
        }
    }
}

void Serve(int client, const std::function<void(std::string)>& record) {
    std::string head;
    char buffer[4096];
    size_t end;
    while ((end = head.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<size_t>(n));
    }
    // What came with the head is the start of the body (or of the tunnel's bytes).
    const std::string rest = head.substr(end + 4);
    head.resize(end + 4);
    record(head);
    const std::string line = head.substr(0, head.find("\r\n"));
    const size_t space = line.find(' ');
    const std::string method = line.substr(0, space);
    const std::string target = line.substr(space + 1, line.rfind(' ') - space - 1);
    const bool tunnel = method == "CONNECT";
    const Outcome<net::HttpUrl> url = net::ParseHttpUrl(tunnel ? "http://" + target + "/" : target);
    const int server = url ? ConnectTo(url.Value()) : -1;
    if (server < 0) return SendAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    // The origin server gets a plain request as a client would have sent it directly.
    SendAll(client, tunnel ? "HTTP/1.1 200 Connection established\r\n\r\n" : "");
    SendAll(server, tunnel ? "" : method + " " + url->target + head.substr(line.rfind(' ')));
    SendAll(server, rest);
    Relay(client, server);
    ::close(server);
}

}  // namespace

TestServerOptions ProxyOptions() {
    TestServerOptions options;
    options.raw = Serve;
    return options;
}

}  // namespace lumar::test
