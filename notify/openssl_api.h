// OpenSSL, loaded the first time a secure mail needs it. Linking it would map
// and initialise libcrypto in every process that might send mail, for good
// (it cannot be unloaded): most installations never turn secure mail on.
#pragma once

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace qor {

// Every OpenSSL function the mail client calls, typed from the headers.
#define QOR_OPENSSL_FUNCTIONS(X)                                                                          \
    X(TLS_client_method) X(SSL_CTX_new) X(SSL_CTX_free) X(SSL_CTX_ctrl) X(SSL_CTX_set_verify)             \
    X(SSL_CTX_set_default_verify_paths) X(SSL_CTX_get_cert_store) X(SSL_new) X(SSL_free) X(SSL_ctrl)      \
    X(SSL_set_bio) X(SSL_get0_param) X(SSL_set1_host) X(SSL_set_connect_state) X(SSL_do_handshake)        \
    X(SSL_get_verify_result) X(SSL_get_error) X(SSL_read) X(SSL_write) X(SSL_shutdown) X(ERR_clear_error) \
    X(ERR_peek_last_error) X(ERR_reason_error_string) X(BIO_new) X(BIO_s_mem) X(BIO_free)                 \
    X(BIO_new_mem_buf) X(BIO_read) X(BIO_write) X(PEM_read_bio_X509) X(X509_free) X(X509_STORE_add_cert)  \
    X(X509_VERIFY_PARAM_set1_ip_asc) X(X509_verify_cert_error_string)

struct OpenSslApi {
#define QOR_OPENSSL_MEMBER(name) decltype(&::name) name = nullptr;
    QOR_OPENSSL_FUNCTIONS(QOR_OPENSSL_MEMBER)
#undef QOR_OPENSSL_MEMBER

    // What the headers spell as macros over the functions above.
    long setMinProtoVersion(SSL_CTX* ctx, long version) const {
        return SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, version, nullptr);
    }
    long setHostName(SSL* ssl, const char* name) const {
        return SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                        const_cast<char*>(name));
    }
};

// The soname asked for: the one the headers were built for.
static_assert(OPENSSL_VERSION_MAJOR == 3, "the table is typed from OpenSSL 3's headers");
constexpr const char* kOpenSslLibrary = "libssl.so.3";

// Opens `soname` and resolves every function: false when it or one of them
// is missing.
bool loadOpenSsl(const char* soname, OpenSslApi& api);

// The library with every function resolved, loaded once per process (any
// thread may ask first). Null when it or one of its functions is missing;
// the same answer ever after.
const OpenSslApi* openSsl();

}  // namespace qor
