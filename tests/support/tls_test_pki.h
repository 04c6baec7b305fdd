#pragma once
// Certificates made at test time for TLS servers on 127.0.0.1: a CA of the test's own and
// leaf certificates signed by it (or by themselves), with chosen names and validity.
#include <memory>
#include <string>
#include <vector>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace lumar::test {

struct TestCertificate {
    std::string certificatePem;
    std::string keyPem;
    std::shared_ptr<X509> certificate;  // the same two for a server's context
    std::shared_ptr<EVP_PKEY> key;
};

class TestPki {
  public:
    TestPki();  // makes the CA
    const TestCertificate& Ca() const { return ca_; }
    // A server certificate for `names` (DNS names or IP addresses), valid from
    // `notBeforeSeconds` to `notAfterSeconds` around now; signed by the CA unless selfSigned.
    TestCertificate Leaf(const std::vector<std::string>& names, long notBeforeSeconds = -3600,
                         long notAfterSeconds = 86400, bool selfSigned = false) const;

  private:
    TestCertificate ca_;
};

}  // namespace lumar::test
