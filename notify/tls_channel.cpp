#include "tls_channel.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <climits>

#include "byte_source.h"
#include "openssl_api.h"
#include "trusted_file.h"

namespace qor {

namespace {

using common::kEndOfStream;
using common::kReadFailed;
using common::kTimedOut;

// Loaded by start() before any object of the library exists, so never null
// where it is used.
const OpenSslApi& lib() { return *openSsl(); }

struct CtxFree {
    void operator()(SSL_CTX* c) const { lib().SSL_CTX_free(c); }
};
struct BioFree {
    void operator()(BIO* b) const { lib().BIO_free(b); }
};
struct X509Free {
    void operator()(X509* x) const { lib().X509_free(x); }
};

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int pollMs(long long left) { return static_cast<int>(left > 60000 ? 60000 : left); }

// The authorities the server's certificate must lead to. A file of the
// settings is read like every file that decides what root does: a file
// someone else could change could send the password anywhere.
bool loadAuthorities(SSL_CTX* ctx, const std::string& caFile, std::string& why) {
    if (caFile.empty()) {
        if (lib().SSL_CTX_set_default_verify_paths(ctx) == 1) return true;
        why = "the system's trusted authorities could not be loaded";
        return false;
    }
    std::string text;
    char reason[256] = {};
    switch (readTrustedFile(caFile.c_str(), kMaxCaFileBytes, text, reason, sizeof reason)) {
    case TrustedRead::Absent:
        why = caFile + " does not exist";
        return false;
    case TrustedRead::Refused:
        why = caFile + " " + reason;
        return false;
    case TrustedRead::Loaded:
        break;
    }
    std::unique_ptr<BIO, BioFree> bio(lib().BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    X509_STORE* store = lib().SSL_CTX_get_cert_store(ctx);
    int added = 0;
    while (bio) {
        std::unique_ptr<X509, X509Free> cert(lib().PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!cert) break;
        if (lib().X509_STORE_add_cert(store, cert.get()) == 1) ++added;
    }
    lib().ERR_clear_error();  // the end of the file reads as an error
    if (added > 0) return true;
    why = caFile + " holds no certificate";
    return false;
}

bool isAddress(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

}  // namespace

void TlsChannel::SslFree::operator()(SSL* s) const { lib().SSL_free(s); }

std::unique_ptr<TlsChannel> TlsChannel::start(int fd, const std::string& host, const std::string& caFile,
                                              int timeoutMs, std::string& why) {
    if (openSsl() == nullptr) {
        why = std::string("TLS library ") + kOpenSslLibrary + " not available";
        return nullptr;
    }
    lib().ERR_clear_error();
    std::unique_ptr<SSL_CTX, CtxFree> ctx(lib().SSL_CTX_new(lib().TLS_client_method()));
    if (!ctx) {
        why = "TLS could not be set up";
        return nullptr;
    }
    lib().setMinProtoVersion(ctx.get(), TLS1_2_VERSION);
    lib().SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    if (!loadAuthorities(ctx.get(), caFile, why)) return nullptr;

    std::unique_ptr<TlsChannel> ch(new TlsChannel(fd));
    ch->ssl_.reset(lib().SSL_new(ctx.get()));  // holds its own reference to ctx
    BIO* in = lib().BIO_new(lib().BIO_s_mem());
    BIO* out = lib().BIO_new(lib().BIO_s_mem());
    if (!ch->ssl_ || in == nullptr || out == nullptr) {
        lib().BIO_free(in);
        lib().BIO_free(out);
        why = "TLS could not be set up";
        return nullptr;
    }
    lib().SSL_set_bio(ch->ssl_.get(), in, out);
    ch->in_ = in;
    ch->out_ = out;
    SSL* ssl = ch->ssl_.get();
    bool named = true;
    if (isAddress(host)) {
        named = lib().X509_VERIFY_PARAM_set1_ip_asc(lib().SSL_get0_param(ssl), host.c_str()) == 1;
    } else {
        named = lib().setHostName(ssl, host.c_str()) == 1 && lib().SSL_set1_host(ssl, host.c_str()) == 1;
    }
    if (!named) {
        why = "the server name cannot be checked against a certificate";
        return nullptr;
    }
    lib().SSL_set_connect_state(ssl);

    int done = 0;
    int r = ch->drive([ssl] { return lib().SSL_do_handshake(ssl); }, nowMs() + timeoutMs, done);
    if (r == 1) return ch;
    long verified = lib().SSL_get_verify_result(ssl);
    if (verified != X509_V_OK) {
        why = std::string("certificate not accepted: ") + lib().X509_verify_cert_error_string(verified);
    } else if (r == kTimedOut) {
        why = "no answer during the TLS handshake";
    } else if (r == kEndOfStream) {
        why = "the server closed the connection during the TLS handshake";
    } else {
        unsigned long e = lib().ERR_peek_last_error();
        const char* text = e != 0 ? lib().ERR_reason_error_string(e) : nullptr;
        why = std::string("TLS handshake failed: ") + (text != nullptr ? text : "connection lost");
    }
    lib().ERR_clear_error();
    return nullptr;
}

// Runs one step of the library until it completes, carrying its bytes to and
// from the socket. 1 with the step's result, or what the byte-source
// contract says for an end, a time-out or a failure.
template <class Op>
int TlsChannel::drive(Op op, long long deadline, int& result) {
    if (broken_) return kReadFailed;
    for (;;) {
        lib().ERR_clear_error();
        int r = op();
        int e = lib().SSL_get_error(ssl_.get(), r);
        if (!flush(deadline, 0)) return err_ == ETIMEDOUT ? kTimedOut : kReadFailed;
        if (r > 0) {
            result = r;
            return 1;
        }
        if (e == SSL_ERROR_WANT_READ) {
            int f = fill(deadline);
            if (f != 1) return f;
            continue;
        }
        if (e == SSL_ERROR_WANT_WRITE) continue;  // flushed above
        if (e == SSL_ERROR_ZERO_RETURN) return kEndOfStream;
        broken_ = true;
        err_ = EPROTO;
        return kReadFailed;
    }
}

// Sends what the library has written. With `progressMs`, each piece the
// server takes moves the deadline on by that much.
bool TlsChannel::flush(long long deadline, int progressMs) {
    char buf[16384];
    int n;
    while ((n = lib().BIO_read(out_, buf, sizeof buf)) > 0) {
        int sent = 0;
        while (sent < n) {
            ssize_t k = ::send(fd_, buf + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (k > 0) {
                sent += static_cast<int>(k);
                if (progressMs > 0) deadline = nowMs() + progressMs;
                continue;
            }
            if (k < 0 && errno == EINTR) continue;
            // Part of a record lost: the stream is of no further use.
            if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                long long left = deadline - nowMs();
                if (left <= 0) {
                    err_ = ETIMEDOUT;
                    broken_ = true;
                    return false;
                }
                struct pollfd p {fd_, POLLOUT, 0};
                ::poll(&p, 1, pollMs(left));
                continue;
            }
            err_ = k < 0 ? errno : EPIPE;
            broken_ = true;
            return false;
        }
    }
    return true;
}

// Waits for bytes from the server until the deadline and hands them to the
// library: 1, or an end, a time-out or a failure.
int TlsChannel::fill(long long deadline) {
    unsigned char buf[16384];
    for (;;) {
        ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            lib().BIO_write(in_, buf, static_cast<int>(n));
            return 1;
        }
        if (n == 0) return kEndOfStream;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            err_ = errno;
            return kReadFailed;
        }
        long long left = deadline - nowMs();
        if (left <= 0) return kTimedOut;
        struct pollfd p {fd_, POLLIN, 0};
        if (::poll(&p, 1, pollMs(left)) < 0 && errno != EINTR) {
            err_ = errno;
            return kReadFailed;
        }
    }
}

int TlsChannel::read(unsigned char* buf, size_t cap, int timeoutMs) {
    if (cap == 0) return kReadFailed;
    int n = 0;
    int capped = cap > INT_MAX ? INT_MAX : static_cast<int>(cap);
    SSL* ssl = ssl_.get();
    int r = drive([&] { return lib().SSL_read(ssl, buf, capped); }, nowMs() + timeoutMs, n);
    if (r == kTimedOut) err_ = ETIMEDOUT;
    return r == 1 ? n : r;
}

bool TlsChannel::write(const char* data, size_t len, int timeoutMs) {
    if (broken_) return false;
    size_t done = 0;
    SSL* ssl = ssl_.get();
    while (done < len) {
        int piece = len - done > 16384 ? 16384 : static_cast<int>(len - done);
        lib().ERR_clear_error();
        // Into memory: it takes the whole piece, or the stream is broken.
        int r = lib().SSL_write(ssl, data + done, piece);
        if (r <= 0) {
            broken_ = true;
            err_ = EPROTO;
            return false;
        }
        done += static_cast<size_t>(r);
        if (!flush(nowMs() + timeoutMs, timeoutMs)) return false;
    }
    return true;
}

void TlsChannel::close() {
    if (broken_) return;
    lib().ERR_clear_error();
    lib().SSL_shutdown(ssl_.get());
    flush(nowMs(), 0);
    lib().ERR_clear_error();
}

}  // namespace qor
