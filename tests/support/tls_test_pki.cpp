#include "support/tls_test_pki.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <functional>
#include <memory>
#include <stdexcept>

namespace lumar::test {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void Require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test PKI: ") + what);
}

Key NewKey() {
    return Key(EVP_EC_gen("P-256"), EVP_PKEY_free);
}

// The PEM text `write` puts out.
std::string Pem(const std::function<int(BIO*)>& write) {
    BIO* bio = BIO_new(BIO_s_mem());
    Require(write(bio) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(size));
    BIO_free(bio);
    return pem;
}

std::string KeyPem(EVP_PKEY* key) {
    return Pem([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    });
}

std::string CertificatePem(X509* certificate) {
    return Pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate); });
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    Require(extension && X509_add_ext(certificate, extension, -1) == 1, "extension");
    X509_EXTENSION_free(extension);
}

Certificate Make(const std::string& commonName, EVP_PKEY* key, X509* issuer, long notBefore,
                 long notAfter) {
    static long serial = 1;
    Certificate certificate(X509_new(), X509_free);
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), notBefore);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), notAfter);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(certificate.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509_set_pubkey(certificate.get(), key);
    return certificate;
}

}  // namespace

TestPki::TestPki() {
    Key key = NewKey();
    Certificate ca = Make("Lumar Test CA", key.get(), nullptr, -3600, 86400 * 30);
    AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
    Require(X509_sign(ca.get(), key.get(), EVP_sha256()) > 0, "sign CA");
    ca_ = {CertificatePem(ca.get()), KeyPem(key.get()), std::move(ca), std::move(key)};
}

TestCertificate TestPki::Leaf(const std::vector<std::string>& names, long notBeforeSeconds,
                              long notAfterSeconds, bool selfSigned) const {
    Key key = NewKey();
    Certificate leaf =
        Make(names.empty() ? "nobody" : names.front(), key.get(),
             selfSigned ? nullptr : ca_.certificate.get(), notBeforeSeconds, notAfterSeconds);
    X509* issuer = selfSigned ? leaf.get() : ca_.certificate.get();
    std::string alternatives;
    for (const std::string& name : names) {
        unsigned char address[16];
        const bool ip = inet_pton(AF_INET, name.c_str(), address) == 1 ||
                        inet_pton(AF_INET6, name.c_str(), address) == 1;
        alternatives += (alternatives.empty() ? "" : ",") + std::string(ip ? "IP:" : "DNS:") + name;
    }
    if (!alternatives.empty()) AddExtension(leaf.get(), issuer, NID_subject_alt_name, alternatives);
    AddExtension(leaf.get(), issuer, NID_basic_constraints, "CA:FALSE");
    AddExtension(leaf.get(), issuer, NID_ext_key_usage, "serverAuth");
    Require(X509_sign(leaf.get(), selfSigned ? key.get() : ca_.key.get(), EVP_sha256()) > 0,
            "sign");
    return {CertificatePem(leaf.get()), KeyPem(key.get()), std::move(leaf), std::move(key)};
}

}  // namespace lumar::test
