#pragma once
// A forward proxy for the transport's tests, served by a TestHttpServer: CONNECT tunnels and
// plain requests with an absolute URL. Its Requests() are the heads it was sent.
#include "support/test_http_server.h"

namespace lumar::test {

TestServerOptions ProxyOptions();

}  // namespace lumar::test
