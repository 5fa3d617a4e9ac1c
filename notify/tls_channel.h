// TLS over a connected socket, as a mail client (OpenSSL, loaded on the first
// handshake). The library only sees memory buffers: every wait is our own
// poll with a deadline, as on the plain socket, and no write can raise
// SIGPIPE in the worker.
#pragma once

#include <openssl/ssl.h>

#include <cstddef>
#include <memory>
#include <string>

namespace qor {

// A file of trusted authorities is believed at most this long.
constexpr size_t kMaxCaFileBytes = 1u << 20;

class TlsChannel {
public:
    // The handshake with `host` (a name or a dotted address) on `fd`, which
    // stays the caller's. The certificate must lead to an authority in
    // `caFile` (empty: the system's trusted authorities) and name `host`.
    // Null, with the reason in `why`, when that fails or the library cannot
    // be loaded.
    static std::unique_ptr<TlsChannel> start(int fd, const std::string& host, const std::string& caFile,
                                             int timeoutMs, std::string& why);

    // The byte-source contract (common/byte_source.h).
    int read(unsigned char* buf, size_t cap, int timeoutMs);
    // All of it, unless the server takes nothing for `timeoutMs`.
    bool write(const char* data, size_t len, int timeoutMs);
    // Says goodbye (close_notify) without waiting.
    void close();
    // The system error number of the last failure (EPROTO: the TLS layer's).
    int error() const { return err_; }

private:
    struct SslFree {
        void operator()(SSL* s) const;
    };
    explicit TlsChannel(int fd) : fd_(fd) {}
    template <class Op>
    int drive(Op op, long long deadline, int& result);
    bool flush(long long deadline, int progressMs);
    int fill(long long deadline);

    int fd_;
    std::unique_ptr<SSL, SslFree> ssl_;
    BIO* in_ = nullptr;   // owned by ssl_
    BIO* out_ = nullptr;  // owned by ssl_
    int err_ = 0;
    bool broken_ = false;
};

}  // namespace qor
