#pragma once
// The address parts of one upload: host, path, port and a proxy prefix.
#include <cstdint>
#include <string>

namespace lumar {

class CURL {
  public:
    [[nodiscard]] const std::string& Host() const { return host_; }
    void Host(std::string value) { host_ = std::move(value); }
    [[nodiscard]] const std::string& Path() const { return path_; }
    void Path(std::string value) { path_ = std::move(value); }
    [[nodiscard]] std::int16_t Port() const { return port_; }
    void Port(std::int16_t value) { port_ = value; }
    // Written in front of the path in the request line; nothing sets it.
    [[nodiscard]] const std::string& Proxy() const { return proxy_; }
    void Proxy(std::string value) { proxy_ = std::move(value); }

    // Takes the path of `strURL` and sets Host to `strProxy`, whatever host the URL names;
    // Port becomes 80 (a port in the URL is not recognised). A URL of fewer than 6
    // characters (after trimming blanks) changes nothing.
    void ParseURL(const std::string& strURL, std::string strProxy);

  private:
    std::string host_;
    std::string path_;
    std::int16_t port_ = 80;
    std::string proxy_;
};

}  // namespace lumar
