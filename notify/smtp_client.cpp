#include "smtp_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace qor {

namespace {

using namespace common;

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ResolveFailure resolverFailure(int gaiError) {
    switch (gaiError) {
    case EAI_NONAME: return ResolveFailure::HostNotFound;
    case EAI_AGAIN: return ResolveFailure::TryAgain;
    case EAI_FAIL: return ResolveFailure::NoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA: return ResolveFailure::NoData;
#endif
    default: return ResolveFailure::Other;
    }
}

NetError netError(int err) {
    switch (err) {
    case ETIMEDOUT: return NetError::TimedOut;
    case ECONNREFUSED: return NetError::Refused;
    case ENETUNREACH: return NetError::Unreachable;
    case ENFILE:
    case EMFILE: return NetError::TooManyFiles;
    case ENOBUFS: return NetError::NoBuffers;
    default: return NetError::Other;
    }
}

// The connected socket as the reply reader's byte stream. Reads never block
// longer than asked; negotiation answers are sent best effort, so a flood of
// negotiation cannot block us on answers the server never reads.
class SocketSource : public ByteSource {
public:
    explicit SocketSource(int fd) : fd_(fd) {}

    int read(unsigned char* buf, size_t cap, int timeoutMs) override {
        long long deadline = nowMs() + timeoutMs;
        for (;;) {
            ssize_t n = ::recv(fd_, buf, cap, MSG_DONTWAIT);
            if (n > 0) return static_cast<int>(n);
            if (n == 0) return kEndOfStream;
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return failed(errno);
            long long left = deadline - nowMs();
            if (left <= 0) return kTimedOut;
            struct pollfd p {fd_, POLLIN, 0};
            int r = ::poll(&p, 1, static_cast<int>(left > 60000 ? 60000 : left));
            if (r < 0 && errno != EINTR) return failed(errno);
        }
    }
    bool write(const unsigned char* data, size_t len) override {
        ssize_t n = ::send(fd_, data, len, MSG_NOSIGNAL | MSG_DONTWAIT);
        return n == static_cast<ssize_t>(len);
    }
    int error() const { return err_; }

private:
    int failed(int err) {
        err_ = err;
        return kReadFailed;
    }
    int fd_;
    int err_ = 0;
};

// The TLS channel as the reply reader's byte stream. Telnet negotiation is
// not answered inside TLS (nothing there speaks it).
class TlsSource : public ByteSource {
public:
    explicit TlsSource(TlsChannel& t) : t_(t) {}
    int read(unsigned char* buf, size_t cap, int timeoutMs) override { return t_.read(buf, cap, timeoutMs); }

private:
    TlsChannel& t_;
};

// More lines in one reply than any server sends: the reply is cut off there.
constexpr int kMaxReplyLines = 100;

}  // namespace

std::string smtpErrorText(int32_t code) {
    if (const char* own = smtpCodeText(code)) return own;
    char buf[256];
    buf[0] = '\0';
    // GNU strerror_r returns the text, thread-safely.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text != nullptr ? text : "Unknown error";
}

SmtpClient::SmtpClient(NotifyLog* log) : log_(log) {}

SmtpClient::~SmtpClient() { dropConnection(); }

void SmtpClient::dropConnection() {
    tls_.reset();
    fd_.reset();
    open_ = 0;
}

void SmtpClient::clearError() {
    errClass_ = SmtpClassNone;
    errClassText_ = "";
    setCode(SmtpNoError);
}

void SmtpClient::setCode(int32_t code) {
    errCode_ = code;
    errCodeText_ = smtpErrorText(code);
}

void SmtpClient::logLine(const char* text) {
    if (log_ != nullptr && log_->console()) log_->sys(text);
}

void SmtpClient::handleError(int err, Step step) {
    setCode(err);
    SmtpClass k = smtpClassify(step, netError(err), err);
    errClass_ = k.cls;
    errClassText_ = k.text;
}

void SmtpClient::setReceiveTimeout(int seconds) {
    if (seconds < 0) seconds = 0;
    if (seconds > 86400) seconds = 86400;
    receiveTimeoutMs_ = seconds * 1000;
}

void SmtpClient::setAddress(const char* address) {
    clearError();
    address_ = address != nullptr ? address : "";
    logLine(address_.c_str());
}

int SmtpClient::open(const char* server, int port) {
    clearError();
    if (open_) {
        setCode(SmtpBadUsage);
        return -1;
    }
    if (server == nullptr || server[0] == '\0') {
        setCode(SmtpBadParameter);
        return -1;
    }
    server_ = server;
    port_ = port;
    tlsFailure_.clear();
    logLine(server);
    peerClosed_ = false;

    struct sockaddr_in direct {};
    direct.sin_family = AF_INET;
    direct.sin_port = htons(static_cast<uint16_t>(port));
    bool dotted = inet_pton(AF_INET, server, &direct.sin_addr) == 1;

    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        handleError(errno, Step::Socket);
        return -1;
    }
    logLine("smtp socket success");
    int connectError = 0;
    bool connected = false;
    if (dotted) {
        connected = ::connect(fd.get(), reinterpret_cast<sockaddr*>(&direct), sizeof direct) == 0;
        if (!connected) connectError = errno;
    } else {
        std::string line = std::string("name addr ") + server;
        logLine(line.c_str());
        struct addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        struct addrinfo* list = nullptr;
        int g = getaddrinfo(server, nullptr, &hints, &list);
        if (g != 0) {
            fd.reset();
            handleError(smtpResolverCode(resolverFailure(g)), Step::Resolve);
            logLine(errClassText_);
            return -1;
        }
        for (struct addrinfo* a = list; a != nullptr; a = a->ai_next) {
            struct sockaddr_in to {};
            std::memcpy(&to, a->ai_addr, sizeof to);
            to.sin_port = htons(static_cast<uint16_t>(port));
            if (!fd) fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            if (fd && ::connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
                connected = true;
                break;
            }
            connectError = errno;
            if (log_ != nullptr) log_->sys("list");
            // A socket whose connect failed is not reused for the next address.
            fd.reset();
        }
        freeaddrinfo(list);
        logLine("name addr success");
    }
    if (!connected) {
        fd.reset();
        handleError(connectError, Step::Connect);
        return -1;
    }
    fd_ = std::move(fd);
    open_ = 1;
    if (implicitTls_ && !startTlsOn(implicitCaFile_)) {
        dropConnection();
        return -1;
    }
    long long start = nowMs();
    // The last line that refused us stays in reply() for the caller to show.
    char refusal[kBufferLen] = {};
    int32_t refusalCode = 0;
    for (;;) {
        if (readAnswer() == 220) return 0;
        if (replyCode_ > 0) {
            std::memcpy(refusal, reply_, sizeof refusal);
            refusalCode = replyCode_;
        }
        // A closed connection will not greet later: give up now rather than
        // spin through the rest of the window.
        if (peerClosed_ || nowMs() - start > greetingWindowMs_) {
            dropConnection();
            if (refusalCode > 0) {
                std::memcpy(reply_, refusal, sizeof reply_);
                replyCode_ = refusalCode;
            }
            return -1;
        }
    }
}

// Sends everything unless the server takes nothing for a whole receive
// time-out: a server that stops reading cannot hold the worker for ever.
int SmtpClient::sendBytes(const char* data, size_t len, bool bestEffort) {
    if (tls_) {
        if (tls_->write(data, len, receiveTimeoutMs_)) return static_cast<int>(len);
        handleError(tls_->error(), Step::Send);
        return 0;
    }
    size_t sent = 0;
    long long deadline = nowMs() + receiveTimeoutMs_;
    while (sent < len) {
        ssize_t n = ::send(fd_.get(), data + sent, len - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            deadline = nowMs() + receiveTimeoutMs_;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            long long left = deadline - nowMs();
            if (bestEffort) break;
            if (left <= 0) {
                handleError(ETIMEDOUT, Step::Send);
                break;
            }
            struct pollfd p {fd_.get(), POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(left > 60000 ? 60000 : left));
            continue;
        }
        handleError(n < 0 ? errno : EPIPE, Step::Send);
        break;
    }
    return static_cast<int>(sent);
}

// Reads one reply line and its code. The whole line, not only its first
// byte, must arrive within the receive time-out: a server that sends an
// endless line, a flood of negotiation or nothing at all is cut off there.
// Bytes past the buffer are dropped. Multi-line replies are not joined: the
// next read takes the next line.
int SmtpClient::readReply() {
    std::memset(reply_, 0, sizeof reply_);
    if (!open_) {
        setCode(SmtpBadUsage);
        replyCode_ = -1;
        return replyCode_;
    }
    ReadResult how{};
    int sourceError = 0;
    if (tls_) {
        TlsSource src(*tls_);
        replyCode_ = readSmtpReply(src, reply_, sizeof reply_, {receiveTimeoutMs_, true}, false, &how);
        sourceError = tls_->error();
    } else {
        SocketSource src(fd_.get());
        replyCode_ = readSmtpReply(src, reply_, sizeof reply_, {receiveTimeoutMs_, true}, false, &how);
        sourceError = src.error();
    }
    if (how.end == ReadEnd::TimedOut) handleError(ETIMEDOUT, Step::Wait);
    if (how.end == ReadEnd::Failed) handleError(sourceError, Step::Read);
    if (how.end == ReadEnd::EndOfStream) peerClosed_ = true;
    hideSecrets();
    if (replyCode_ >= 0) logLine(reply_);
    return replyCode_;
}

// With whole replies on, the continuation lines are read too (what EHLO
// offers is noted from each) and reply() keeps the last line.
int SmtpClient::readAnswer(SmtpOffers* offers) {
    int code = readReply();
    if (!wholeReplies_) return code;
    for (int lines = 1; code > 0 && smtpReplyContinues(reply_); ++lines) {
        if (offers != nullptr) noteEhloLine(reply_, *offers);
        if (lines == kMaxReplyLines) {
            setCode(SmtpUnknownError);
            replyCode_ = -1;
            return replyCode_;
        }
        code = readReply();
    }
    if (offers != nullptr && code > 0) noteEhloLine(reply_, *offers);
    return code;
}

void SmtpClient::hideSecrets() {
    for (const std::string& secret : secrets_) {
        if (secret.empty()) continue;
        for (char* p = std::strstr(reply_, secret.c_str()); p != nullptr; p = std::strstr(p, secret.c_str()))
            std::memset(p, '*', secret.size());
    }
}

int SmtpClient::command(int32_t code, const char* verb, const char* arg, SmtpOffers* offers) {
    clearError();
    if (!open_) {
        setCode(SmtpBadUsage);
        return 0;
    }
    replyCode_ = 0;
    lastCommand_ = code;
    size_t n = 0;
    auto put = [&](char c) {
        if (n < sizeof command_ - 1) command_[n++] = c;
    };
    for (const char* p = verb; *p; ++p) put(*p);
    if (arg != nullptr) {
        size_t used = 0;
        for (const char* p = arg; *p && used < kMaxArgument; ++p, ++used) {
            // A line end inside a setting would start a command of its own.
            if (*p == '\r' || *p == '\n') continue;
            put(*p);
        }
    }
    put('\r');
    put('\n');
    command_[n] = '\0';
    if (sendBytes(command_, n) != static_cast<int>(n)) return replyCode_;
    return readAnswer(offers);
}

int SmtpClient::helo() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return command(SmtpHelo, "HELO ", host);
}

int SmtpClient::mailFrom(const char* address) { return command(SmtpMailFrom, "MAIL FROM:", address); }

int SmtpClient::rcptTo(const char* address) {
    logLine(address != nullptr ? address : "");
    return command(SmtpRcptTo, "RCPT TO:", address);
}

int SmtpClient::data() { return command(SmtpData, "DATA", nullptr); }
int SmtpClient::rset() { return command(SmtpRset, "RSET", nullptr); }
int SmtpClient::sendFrom(const char* address) { return command(SmtpSend, "SEND FROM:", address); }
int SmtpClient::somlFrom(const char* address) { return command(SmtpSoml, "SOML FROM:", address); }
int SmtpClient::samlFrom(const char* address) { return command(SmtpSaml, "SAML FROM:", address); }
int SmtpClient::vrfy(const char* name) { return command(SmtpVrfy, "VRFY ", name); }
int SmtpClient::expn(const char* list) { return command(SmtpExpn, "EXPN ", list); }

int SmtpClient::help(const char* topic) {
    if (topic != nullptr && topic[0] != '\0') return command(SmtpHelp, "HELP ", topic);
    return command(SmtpHelp, "HELP", nullptr);
}

int SmtpClient::noop() { return command(SmtpNoop, "NOOP", nullptr); }
int SmtpClient::quit() { return command(SmtpQuit, "QUIT", nullptr); }
int SmtpClient::turn() { return command(SmtpTurn, "TURN", nullptr); }

int SmtpClient::sendMessage() {
    clearError();
    if (!open_) {
        setCode(SmtpBadUsage);
        return 0;
    }
    replyCode_ = 0;
    lastCommand_ = SmtpMessage;
    // Sent from its own storage: the message may be longer than any buffer.
    if (sendBytes(message_.data(), message_.size()) != static_cast<int>(message_.size())) return replyCode_;
    return readAnswer();
}

void SmtpClient::setImplicitTls(bool on, std::string caFile) {
    implicitTls_ = on;
    implicitCaFile_ = std::move(caFile);
}

bool SmtpClient::startTlsOn(const std::string& caFile) {
    tlsFailure_.clear();
    std::string why;
    tls_ = TlsChannel::start(fd_.get(), server_, caFile, receiveTimeoutMs_, why);
    if (tls_) return true;
    tlsFailure_ = why;
    setCode(EPROTO);
    return false;
}

int SmtpClient::ehlo(SmtpOffers& offers) {
    offers = SmtpOffers{};
    wholeReplies_ = true;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return command(SmtpEhlo, "EHLO ", host, &offers);
}

int SmtpClient::startTls(const std::string& caFile) {
    int code = command(SmtpStartTls, "STARTTLS", nullptr);
    if (code != 220) return code;
    // The reader takes nothing past the 220 line, so nothing the server sent
    // before the handshake can pass for what it says under TLS.
    if (!startTlsOn(caFile)) {
        dropConnection();
        replyCode_ = -1;
        return replyCode_;
    }
    return code;
}

int SmtpClient::secretCommand(const char* verb, std::string secret) {
    int code = command(SmtpAuth, verb, secret.c_str());
    wipe(secret);
    explicit_bzero(command_, sizeof command_);
    std::snprintf(command_, sizeof command_, "%s***\r\n", verb);
    return code;
}

int SmtpClient::auth(SaslMechanism mechanism, const std::string& user, const std::string& password) {
    secrets_ = {password, base64(password), plainCredentials(user, password)};
    int code = 0;
    if (mechanism == SaslMechanism::Plain) {
        code = secretCommand("AUTH PLAIN ", plainCredentials(user, password));
    } else if (mechanism == SaslMechanism::Login) {
        code = command(SmtpAuth, "AUTH LOGIN", nullptr);
        if (code == 334) code = command(SmtpAuth, "", base64(user).c_str());
        if (code == 334) code = secretCommand("", base64(password));
    }
    for (std::string& s : secrets_) wipe(s);
    secrets_.clear();
    return code;
}

int SmtpClient::close() {
    clearError();
    if (!open_) {
        setCode(SmtpBadUsage);
        return -1;
    }
    if (tls_) tls_->close();
    tls_.reset();
    int fd = fd_.release();
    open_ = 0;
    if (::close(fd) != 0) {
        handleError(errno, Step::Close);
        return -1;
    }
    return 0;
}

}  // namespace qor
