#include "smtp_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace qor {

namespace {

constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251;

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int32_t resolverCode(int gaiError) {
    switch (gaiError) {
    case EAI_NONAME: return SmtpHostNotFound;
    case EAI_AGAIN: return SmtpTryAgain;
    case EAI_FAIL: return SmtpNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA: return SmtpNoData;
#endif
    default: return SmtpUnknownError;
    }
}

const char* kClassNotFound = "The server was not found";
const char* kClassNoResources = "Cannot get required system resources";
const char* kClassConnectTimedOut = "The connection attempt to the server timed out";
const char* kClassRefused = "The connection was refused by the server";
const char* kClassUnreachable = "The network is unreachable";
const char* kClassWaitTimedOut = "Timed out while waiting for the server";

}  // namespace

std::string smtpErrorText(int32_t code) {
    switch (code) {
    case SmtpNoError: return "No error";
    case SmtpUnknownError: return "Unknown error";
    case SmtpBadParameter: return "(MIME++) bad parameter passed to function";
    case SmtpBadUsage: return "(MIME++) bad library usage";
    case SmtpBadWinsock: return "(MIME++) incompatible Winsock version";
    case SmtpHostNotFound: return "Host not found";
    case SmtpTryAgain: return "Nonauthoritative host not found";
    case SmtpNoRecovery: return "Nonrecoverable errors: FORMERR, REFUSED, NOTIMP";
    case SmtpNoData: return "Valid name, no data record of requested type";
    case SmtpNoAddress: return "No address, look for MX record";
    default: break;
    }
    char buf[256];
    buf[0] = '\0';
    // GNU strerror_r returns the text, thread-safely.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text != nullptr ? text : "Unknown error";
}

SmtpClient::SmtpClient(NotifyLog* log) : log_(log) {}

SmtpClient::~SmtpClient() { dropConnection(); }

void SmtpClient::dropConnection() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
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
    switch (step) {
    case Step::Resolve:
        if (err >= SmtpHostNotFound && err <= SmtpNoData) {
            errClass_ = SmtpClassNotFound;
            errClassText_ = kClassNotFound;
        }
        break;
    case Step::Socket:
        if (err == ENFILE || err == EMFILE || err == ENOBUFS) {
            errClass_ = SmtpClassNoResources;
            errClassText_ = kClassNoResources;
        }
        break;
    case Step::Connect:
        if (err == ETIMEDOUT) {
            errClass_ = SmtpClassTimedOut;
            errClassText_ = kClassConnectTimedOut;
        } else if (err == ECONNREFUSED) {
            errClass_ = SmtpClassRefused;
            errClassText_ = kClassRefused;
        } else if (err == ENETUNREACH) {
            errClass_ = SmtpClassUnreachable;
            errClassText_ = kClassUnreachable;
        }
        break;
    case Step::Send:
        if (err == ENOBUFS) {
            errClass_ = SmtpClassNoResources;
            errClassText_ = kClassNoResources;
        }
        break;
    case Step::Wait:
        if (err == ETIMEDOUT) {
            errClass_ = SmtpClassTimedOut;
            errClassText_ = kClassWaitTimedOut;
        }
        break;
    case Step::Read:
    case Step::Close: break;
    }
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
    logLine(server);
    peerClosed_ = false;

    struct sockaddr_in direct {};
    direct.sin_family = AF_INET;
    direct.sin_port = htons(static_cast<uint16_t>(port));
    bool dotted = inet_pton(AF_INET, server, &direct.sin_addr) == 1;

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        handleError(errno, Step::Socket);
        return -1;
    }
    logLine("smtp socket success");
    int connectError = 0;
    bool connected = false;
    if (dotted) {
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&direct), sizeof direct) == 0;
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
            ::close(fd);
            handleError(resolverCode(g), Step::Resolve);
            logLine(errClassText_);
            return -1;
        }
        for (struct addrinfo* a = list; a != nullptr; a = a->ai_next) {
            struct sockaddr_in to {};
            std::memcpy(&to, a->ai_addr, sizeof to);
            to.sin_port = htons(static_cast<uint16_t>(port));
            if (fd < 0) fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
                connected = true;
                break;
            }
            connectError = errno;
            if (log_ != nullptr) log_->sys("list");
            // A socket whose connect failed is not reused for the next address.
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
        freeaddrinfo(list);
        logLine("name addr success");
    }
    if (!connected) {
        if (fd >= 0) ::close(fd);
        handleError(connectError, Step::Connect);
        return -1;
    }
    fd_ = fd;
    open_ = 1;
    long long start = nowMs();
    for (;;) {
        if (readReply() == 220) return 0;
        // A closed connection will not greet later: give up now rather than
        // spin through the rest of the window.
        if (peerClosed_ || nowMs() - start > greetingWindowMs_) {
            dropConnection();
            return -1;
        }
    }
}

// Sends everything unless the server takes nothing for a whole receive
// time-out: a server that stops reading cannot hold the worker for ever.
int SmtpClient::sendBytes(const char* data, size_t len, bool bestEffort) {
    size_t sent = 0;
    long long deadline = nowMs() + receiveTimeoutMs_;
    while (sent < len) {
        ssize_t n = ::send(fd_, data + sent, len - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
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
            struct pollfd p {fd_, POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(left > 60000 ? 60000 : left));
            continue;
        }
        handleError(n < 0 ? errno : EPIPE, Step::Send);
        break;
    }
    return static_cast<int>(sent);
}

// One byte before the deadline: 1, 0 at end of stream, -1 on a failed read,
// -2 when the deadline passed.
int SmtpClient::readByte(unsigned char& c, long long deadlineMs) {
    for (;;) {
        // Checked before every byte: a server that never stops sending
        // must not keep us past the deadline either.
        if (nowMs() >= deadlineMs) return -2;
        ssize_t n = ::recv(fd_, &c, 1, MSG_DONTWAIT);
        if (n == 1) return 1;
        if (n == 0) {
            peerClosed_ = true;
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            handleError(errno, Step::Read);
            return -1;
        }
        long long left = deadlineMs - nowMs();
        if (left <= 0) return -2;
        struct pollfd p {fd_, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left > 60000 ? 60000 : left));
        if (r < 0 && errno != EINTR) {
            handleError(errno, Step::Wait);
            return -1;
        }
    }
}

// Reads one reply line. The whole line, not only its first byte, must arrive
// within the receive time-out: a server that sends an endless line, a flood
// of negotiation or nothing at all is cut off there. Bytes past the buffer
// are dropped.
int SmtpClient::receiveLine() {
    if (!open_) {
        setCode(SmtpBadUsage);
        return 0;
    }
    std::memset(reply_, 0, sizeof reply_);
    size_t stored = 0;
    long long deadline = nowMs() + receiveTimeoutMs_;
    auto store = [&](unsigned char c) {
        if (stored < sizeof reply_ - 1) reply_[stored++] = static_cast<char>(c);
    };
    auto timedOut = [&]() {
        handleError(ETIMEDOUT, Step::Wait);
        reply_[0] = '\0';
        return -1;
    };

    // The first wait: nothing at all within the time-out.
    {
        struct pollfd p {fd_, POLLIN, 0};
        int r;
        do {
            long long left = deadline - nowMs();
            r = ::poll(&p, 1, static_cast<int>(left < 0 ? 0 : left));
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            handleError(errno, Step::Wait);
            return -1;
        }
        if (r == 0) return timedOut();
    }

    for (;;) {
        unsigned char c;
        int r = readByte(c, deadline);
        if (r == -2) return timedOut();
        if (r <= 0) break;
        if (c == kIac) {
            unsigned char cmd;
            r = readByte(cmd, deadline);
            if (r == -2) return timedOut();
            if (r <= 0) break;
            if (cmd == kWill || cmd == kWont || cmd == kDo || cmd == kDont) {
                unsigned char opt;
                r = readByte(opt, deadline);
                if (r == -2) return timedOut();
                if (r <= 0) break;
                unsigned char answer[3] = {kIac, (cmd == kWill || cmd == kWont) ? kDont : kWont, opt};
                // Best effort: a flood of negotiation must not block us on
                // answers the server never reads.
                sendBytes(reinterpret_cast<const char*>(answer), sizeof answer, true);
            }
            continue;
        }
        store(c);
        if (c == '\r') {
            r = readByte(c, deadline);
            if (r == -2) return timedOut();
            if (r <= 0) break;
            store(c);
            if (c == '\n') break;
        }
    }
    reply_[stored] = '\0';
    return static_cast<int>(stored);
}

int SmtpClient::readReply() {
    std::memset(reply_, 0, sizeof reply_);
    int n = receiveLine();
    if (n <= 0) {
        replyCode_ = -1;
        return replyCode_;
    }
    logLine(reply_);
    int32_t code = 0;
    for (const char* p = reply_; *p >= '0' && *p <= '9'; ++p) {
        if (code > 100000) break;  // a wild number must not overflow
        code = code * 10 + (*p - '0');
    }
    replyCode_ = code;
    return replyCode_;
}

int SmtpClient::command(int32_t code, const char* verb, const char* arg) {
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
    return readReply();
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
    return readReply();
}

int SmtpClient::close() {
    clearError();
    if (!open_) {
        setCode(SmtpBadUsage);
        return -1;
    }
    int fd = fd_;
    fd_ = -1;
    open_ = 0;
    if (::close(fd) != 0) {
        handleError(errno, Step::Close);
        return -1;
    }
    return 0;
}

}  // namespace qor
