#include "net/tls_stream.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "shell/file_io.h"

namespace lumar::net {
namespace {

// Larger than any bundle of CA certificates.
constexpr size_t kMaxCaFileBytes = 4u * 1024u * 1024u;

// Adds the certificates of a PEM file to the context's store. The file is read as Lumar reads
// its own files (regular files only, never waiting for a writer), so a FIFO named as the CA
// file fails instead of holding the upload past every time-out.
bool AddCaFile(SSL_CTX* ctx, const std::string& caFile) {
    const std::optional<std::string> pem = ReadFileBytesUpTo(caFile, kMaxCaFileBytes, nullptr);
    if (!pem || pem->empty()) return false;
    BIO* bio = BIO_new_mem_buf(pem->data(), static_cast<int>(pem->size()));
    if (!bio) return false;
    STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!infos) return false;
    X509_STORE* store = SSL_CTX_get_cert_store(ctx);
    int added = 0;
    for (int i = 0; i < sk_X509_INFO_num(infos); ++i) {
        const X509_INFO* info = sk_X509_INFO_value(infos, i);
        if (info->x509 && X509_STORE_add_cert(store, info->x509) == 1) ++added;
        if (info->crl) X509_STORE_add_crl(store, info->crl);
    }
    sk_X509_INFO_pop_free(infos, X509_INFO_free);
    return added > 0;
}

// A certificate file read the first time a chain needs an issuer the store does not hold:
// parsing a system bundle of some 150 certificates takes longer than ten uploads on a fast
// line, and a host whose issuer is the extra CA, or in the hashed folder, never needs it.
struct LazyFile {
    std::string path;
    std::once_flag read;
};

int LazyFileBySubject(X509_LOOKUP* lookup, X509_LOOKUP_TYPE type, const X509_NAME* name,
                      X509_OBJECT* found) {
    auto* file = static_cast<LazyFile*>(X509_LOOKUP_get_method_data(lookup));
    if (!file) return 0;
    std::call_once(file->read, [&] {
        // A bundle that is missing or broken adds nothing, as it would have added nothing
        // at the start; the chain then fails with the issuer it lacks.
        X509_load_cert_crl_file(lookup, file->path.c_str(), X509_FILETYPE_PEM);
        ERR_clear_error();
    });
    X509_STORE* store = X509_LOOKUP_get_store(lookup);
    if (X509_STORE_lock(store) != 1) return 0;
    const X509_OBJECT* held =
        X509_OBJECT_retrieve_by_subject(X509_STORE_get0_objects(store), type, name);
    // The caller takes a reference of its own to what a lookup finds, as the store keeps
    // it: `found` borrows the store's, so the one set1 adds is given back.
    int ok = 0;
    if (X509* cert = held && type == X509_LU_X509 ? X509_OBJECT_get0_X509(held) : nullptr) {
        ok = X509_OBJECT_set1_X509(found, cert);
        if (ok) X509_free(cert);
    } else if (X509_CRL* crl =
                   held && type == X509_LU_CRL ? X509_OBJECT_get0_X509_CRL(held) : nullptr) {
        ok = X509_OBJECT_set1_X509_CRL(found, crl);
        if (ok) X509_CRL_free(crl);
    }
    X509_STORE_unlock(store);
    return ok;
}

void FreeLazyFile(X509_LOOKUP* lookup) {
    delete static_cast<LazyFile*>(X509_LOOKUP_get_method_data(lookup));
}

X509_LOOKUP_METHOD* LazyFileMethod() {
    static X509_LOOKUP_METHOD* const method = [] {
        X509_LOOKUP_METHOD* m = X509_LOOKUP_meth_new("lumar certificate file on demand");
        X509_LOOKUP_meth_set_get_by_subject(m, LazyFileBySubject);
        X509_LOOKUP_meth_set_free(m, FreeLazyFile);
        return m;
    }();
    return method;
}

// The system's certificates where OpenSSL's defaults have them (SSL_CERT_FILE and
// SSL_CERT_DIR, else the library's own places): the folder of hashed names is looked up one
// issuer at a time, as the defaults do; the bundle file is read only once a chain needs it.
bool TrustSystemCertificates(SSL_CTX* ctx) {
    X509_STORE* store = SSL_CTX_get_cert_store(ctx);
    const char* dirEnv = std::getenv(X509_get_default_cert_dir_env());
    const char* fileEnv = std::getenv(X509_get_default_cert_file_env());
    X509_LOOKUP* byDir = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir());
    X509_LOOKUP* byFile = X509_STORE_add_lookup(store, LazyFileMethod());
    if (!byDir || !byFile) return false;
    X509_LOOKUP_add_dir(byDir, dirEnv ? dirEnv : X509_get_default_cert_dir(), X509_FILETYPE_PEM);
    auto* file = new LazyFile;
    file->path = fileEnv ? fileEnv : X509_get_default_cert_file();
    X509_LOOKUP_set_method_data(byFile, file);
    ERR_clear_error();
    return true;
}

// The socket's own BIO sends with MSG_NOSIGNAL: a peer that went away must give an error,
// not a SIGPIPE that ends the program.
int SocketOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

int BioWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(SocketOf(bio), data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(SocketOf(bio), data, static_cast<size_t>(length), 0);
    if (n == 0) BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long BioControl(BIO* bio, int command, long, void*) {
    if (command == BIO_CTRL_FLUSH) return 1;
    // OpenSSL tells a close without close-notify from a short read by this.
    if (command == BIO_CTRL_EOF) return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
    return 0;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "lumar socket");
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_ctrl(m, BioControl);
        return m;
    }();
    return method;
}

bool IsIpAddress(const std::string& name) {
    unsigned char address[16];
    return inet_pton(AF_INET, name.c_str(), address) == 1 ||
           inet_pton(AF_INET6, name.c_str(), address) == 1;
}

}  // namespace

// One SSL_CTX per extra CA file, shared by every stream that trusts it, together with the
// last session of each server name for resumption.
class TlsClientContext {
  public:
    static std::shared_ptr<TlsClientContext> For(const std::string& caFile, std::string& error) {
        static std::mutex mutex;
        static std::map<std::string, std::shared_ptr<TlsClientContext>> contexts;
        const std::lock_guard lock(mutex);
        std::shared_ptr<TlsClientContext>& slot = contexts[caFile];
        if (!slot) {
            auto context = std::shared_ptr<TlsClientContext>(new TlsClientContext());
            if (!context->Load(caFile, error)) return nullptr;
            slot = std::move(context);
        }
        return slot;
    }

    ~TlsClientContext() {
        for (auto& [name, session] : sessions_) SSL_SESSION_free(session);
        SSL_CTX_free(ctx_);
    }

    [[nodiscard]] SSL_CTX* Get() const { return ctx_; }

    SSL_SESSION* SessionFor(const std::string& serverName) {
        const std::lock_guard lock(mutex_);
        const auto it = sessions_.find(serverName);
        return it == sessions_.end() ? nullptr : it->second;
    }

  private:
    TlsClientContext() = default;

    bool Load(const std::string& caFile, std::string& error) {
        ctx_ = SSL_CTX_new(TLS_client_method());
        if (!ctx_) {
            error = "TLS not available";
            return false;
        }
        SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
        if (!TrustSystemCertificates(ctx_)) {
            error = "TLS not available";
            return false;
        }
        if (!caFile.empty() && !AddCaFile(ctx_, caFile)) {
            ERR_clear_error();
            error = "CA file not readable: " + caFile;
            return false;
        }
        SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_session_cache_mode(ctx_,
                                       SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        SSL_CTX_set_app_data(ctx_, this);
        SSL_CTX_sess_set_new_cb(ctx_, &TlsClientContext::OnNewSession);
        return true;
    }

    // Called when the server hands out a session (in TLS 1.3 after the handshake, during a
    // read); the newest one per server name is kept.
    static int OnNewSession(SSL* ssl, SSL_SESSION* session) {
        auto* self = static_cast<TlsClientContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
        const char* name = static_cast<const char*>(SSL_get_app_data(ssl));
        if (!self || !name) return 0;
        const std::lock_guard lock(self->mutex_);
        SSL_SESSION*& slot = self->sessions_[name];
        if (slot) SSL_SESSION_free(slot);
        slot = session;
        return 1;  // the reference is ours now
    }

    SSL_CTX* ctx_ = nullptr;
    std::mutex mutex_;
    std::map<std::string, SSL_SESSION*> sessions_;
};

TlsStream::TlsStream(int socket, std::string serverName, const std::string& caFile) {
    context_ = TlsClientContext::For(caFile, error_);
    if (!context_) return;
    ssl_ = SSL_new(context_->Get());
    BIO* bio = ssl_ ? BIO_new(SocketMethod()) : nullptr;
    if (!bio) {
        error_ = "TLS not available";
        return;
    }
    // The BIO keeps the socket in its one pointer-sized slot, as OpenSSL's own socket BIO does.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(socket)));
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);

    bool named = true;
    if (IsIpAddress(serverName)) {
        // An address is checked against the certificate's IP entries and never sent as SNI.
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), serverName.c_str()) == 1;
    } else {
        // The macro SSL_set_tlsext_host_name hides a C cast; the call it stands for does not.
        void* hostName = const_cast<char*>(serverName.c_str());
        named = SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name, hostName) ==
                    1 &&
                SSL_set1_host(ssl_, serverName.c_str()) == 1;
    }
    if (!named) {
        error_ = "bad server name for TLS";
        return;
    }
    if (SSL_SESSION* session = context_->SessionFor(serverName)) SSL_set_session(ssl_, session);
    serverName_ = std::move(serverName);
    SSL_set_app_data(ssl_, serverName_.data());
    SSL_set_connect_state(ssl_);
}

TlsStream::~TlsStream() {
    if (ssl_) SSL_free(ssl_);
}

TlsStatus TlsStream::Handshake() {
    if (!error_.empty() || !ssl_) return TlsStatus::kFailed;
    ERR_clear_error();
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) return TlsStatus::kDone;
    const TlsStatus status = Map(result, "handshake");
    if (status == TlsStatus::kClosed || status == TlsStatus::kEofWithoutNotify) {
        error_ = "connection closed during the TLS handshake";
        return TlsStatus::kFailed;
    }
    return status;
}

TlsStatus TlsStream::Write(std::span<const char> bytes, size_t& written) {
    written = 0;
    if (!error_.empty() || !ssl_) return TlsStatus::kFailed;
    ERR_clear_error();
    const int result = SSL_write_ex(ssl_, bytes.data(), bytes.size(), &written);
    return result == 1 ? TlsStatus::kDone : Map(result, "write");
}

TlsStatus TlsStream::Read(std::span<char> buffer, size_t& received) {
    received = 0;
    if (!error_.empty() || !ssl_) return TlsStatus::kFailed;
    ERR_clear_error();
    const int result = SSL_read_ex(ssl_, buffer.data(), buffer.size(), &received);
    return result == 1 ? TlsStatus::kDone : Map(result, "read");
}

void TlsStream::Shutdown() {
    if (!ssl_ || !error_.empty()) return;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
}

bool TlsStream::Resumed() const {
    return ssl_ && SSL_session_reused(ssl_) == 1;
}

TlsStatus TlsStream::Map(int result, const char* step) {
    const int savedErrno = errno;
    const int kind = SSL_get_error(ssl_, result);
    switch (kind) {
        case SSL_ERROR_WANT_READ:
            return TlsStatus::kWantRead;
        case SSL_ERROR_WANT_WRITE:
            return TlsStatus::kWantWrite;
        case SSL_ERROR_ZERO_RETURN:
            return TlsStatus::kClosed;
        default:
            break;
    }
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (kind == SSL_ERROR_SSL && ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        error_ = "unexpected eof";
        return TlsStatus::kEofWithoutNotify;
    }
    const long verify = SSL_get_verify_result(ssl_);
    if (verify != X509_V_OK) {
        error_ = X509_verify_cert_error_string(verify);
    } else if (kind == SSL_ERROR_SYSCALL && savedErrno != 0) {
        error_ = std::string("TLS ") + step + ": " + std::strerror(savedErrno);
    } else if (const char* reason = code ? ERR_reason_error_string(code) : nullptr) {
        error_ = reason;
    } else {
        error_ = std::string("TLS ") + step + " failed";
    }
    return TlsStatus::kFailed;
}

}  // namespace lumar::net
