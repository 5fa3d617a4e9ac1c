#include "net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <syslog.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace qor::net {

namespace {

constexpr size_t kOutCap = 2 * kMaxReply;
constexpr uint64_t kListenTag = 1ull << 32;
constexpr int kBacklog = 16;

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void logLine(int priority, const char* text) { syslog(priority, "%s", text); }

}  // namespace

struct NetServer::Client {
    UniqueFd fd;
    Session session;
    char in[kMaxLine];
    size_t inLen = 0;
    char out[kOutCap];
    size_t outLen = 0;
    size_t outOff = 0;
    int64_t lastMs = 0;
    bool closeAfterFlush = false;
    uint32_t events = 0;  // what the epoll set watches for it now

    // Commands are read only while their answer is sure to fit.
    bool roomForAnswer() const { return kOutCap - (outLen - outOff) >= kMaxReply; }
};

NetServer::NetServer(const NetConfig& config, const NetLimits& limits)
    : config_(config), limits_(limits), protocol_(config_) {
    limits_.maxClients = std::clamp(limits_.maxClients, 1, kMaxClients);
    clients_ = std::make_unique<Client[]>(static_cast<size_t>(limits_.maxClients));
}

NetServer::~NetServer() {
    for (int i = 0; i < limits_.maxClients; ++i) protocol_.detach(&clients_[i].session);
}

std::unique_ptr<NetServer> NetServer::create(const NetConfig& config, const NetLimits& limits) {
    std::unique_ptr<NetServer> s(new NetServer(config, limits));
    s->epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
    if (!s->epoll_) {
        char line[160];
        std::snprintf(line, sizeof line, "network server off: epoll: %s", std::strerror(errno));
        logLine(LOG_ERR, line);
        return nullptr;
    }
    for (int i = 0; i < config.listenCount; ++i) s->listenOn(config.listen[i]);
    if (s->listenCount_ == 0) {
        logLine(LOG_ERR, "network server off: no address to listen on");
        return nullptr;
    }
    return s;
}

bool NetServer::listenOn(const ListenAddress& a) {
    sockaddr_storage ss{};
    socklen_t len = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&ss);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&ss);
    if (inet_pton(AF_INET, a.address, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(a.port));
        len = sizeof *v4;
    } else if (inet_pton(AF_INET6, a.address, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(a.port));
        len = sizeof *v6;
    }
    UniqueFd fd(len ? ::socket(ss.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1);
    int one = 1;
    bool ok = static_cast<bool>(fd) && ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
              (ss.ss_family != AF_INET6 || ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one) == 0) &&
              ::bind(fd.get(), reinterpret_cast<sockaddr*>(&ss), len) == 0 && ::listen(fd.get(), kBacklog) == 0;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kListenTag | static_cast<uint64_t>(listenCount_);
    if (ok) ok = ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &ev) == 0;
    if (!ok) {
        char line[200];
        std::snprintf(line, sizeof line, "network server: cannot listen on %s port %d: %s", a.address, a.port,
                      std::strerror(errno));
        logLine(LOG_ERR, line);
        return false;
    }
    listen_[listenCount_++] = std::move(fd);
    return true;
}

int NetServer::clientCount() const {
    int n = 0;
    for (int i = 0; i < limits_.maxClients; ++i)
        if (clients_[i].fd) ++n;
    return n;
}

void NetServer::serve() {
    epoll_event ev[32];
    int n = ::epoll_wait(epoll_.get(), ev, 32, 0);
    for (int i = 0; i < n; ++i) {
        uint64_t tag = ev[i].data.u64;
        if (tag & kListenTag) {
            acceptAll(listen_[tag & 0xff].get());
            continue;
        }
        Client& c = clients_[tag];
        if (!c.fd) continue;  // dropped earlier in this round
        if (ev[i].events & (EPOLLHUP | EPOLLERR)) {
            drop(c);  // reset or gone both ways: nobody left to answer
            continue;
        }
        if (ev[i].events & EPOLLOUT) flush(c);
        if (c.fd && (ev[i].events & EPOLLIN)) readFrom(c);
        if (c.fd) watch(c);
    }
    dropIdle();
}

void NetServer::acceptAll(int listenFd) {
    // A bounded number per round, so a flood cannot hold the tick up.
    for (int round = 0; round < 64; ++round) {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        UniqueFd fd(::accept4(listenFd, reinterpret_cast<sockaddr*>(&ss), &len, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) return;
        Client* slot = nullptr;
        for (int i = 0; i < limits_.maxClients && slot == nullptr; ++i)
            if (!clients_[i].fd) slot = &clients_[i];
        if (slot == nullptr) continue;  // full: closed at once, so the backlog does not fill
        Client& c = *slot;
        c.session = Session{};
        if (ss.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&ss)->sin_addr, c.session.peer, sizeof c.session.peer);
        else if (ss.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&ss)->sin6_addr, c.session.peer,
                      sizeof c.session.peer);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = static_cast<uint64_t>(&c - clients_.get());
        if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &ev) != 0) continue;
        c.fd = std::move(fd);
        c.inLen = c.outLen = c.outOff = 0;
        c.closeAfterFlush = false;
        c.events = EPOLLIN;
        c.lastMs = nowMs();
        protocol_.attach(&c.session);
    }
}

void NetServer::readFrom(Client& c) {
    if (c.closeAfterFlush || !c.roomForAnswer()) return;
    if (c.inLen == sizeof c.in) {
        answerLines(c);  // lines that waited for room first: a read of 0 bytes would look like the end
        if (!c.fd || c.inLen == sizeof c.in) return;
    }
    ssize_t n = ::recv(c.fd.get(), c.in + c.inLen, sizeof c.in - c.inLen, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        // The client is gone or has stopped sending: answer what it asked, then close.
        answerLines(c);
        flush(c);
        drop(c);
        return;
    }
    c.inLen += static_cast<size_t>(n);
    answerLines(c);
    // A full buffer without a line end holds a line longer than any command: cut off.
    if (c.fd && c.inLen == sizeof c.in && std::memchr(c.in, '\n', c.inLen) == nullptr) drop(c);
}

void NetServer::answerLines(Client& c) {
    size_t start = 0;
    // After LOGOUT the lines already received are still answered, as upsd does.
    for (;;) {
        if (!c.roomForAnswer()) {
            flush(c);  // what the socket takes now makes room for the next answers
            if (!c.fd) return;
            if (!c.roomForAnswer()) break;  // the rest waits until the client reads
        }
        if (c.outOff > 0) {
            std::memmove(c.out, c.out + c.outOff, c.outLen - c.outOff);
            c.outLen -= c.outOff;
            c.outOff = 0;
        }
        auto* nl = static_cast<char*>(std::memchr(c.in + start, '\n', c.inLen - start));
        if (nl == nullptr) break;
        size_t len = static_cast<size_t>(nl - (c.in + start));
        if (len > 0 && c.in[start + len - 1] == '\r') --len;
        Reply reply(c.out + c.outLen, kOutCap - c.outLen);
        if (protocol_.handle(c.session, c.in + start, len, reply) == After::Close) c.closeAfterFlush = true;
        c.outLen += reply.size();
        c.lastMs = nowMs();
        start = static_cast<size_t>(nl - c.in) + 1;
    }
    std::memmove(c.in, c.in + start, c.inLen - start);
    c.inLen -= start;
    flush(c);
}

void NetServer::flush(Client& c) {
    while (c.fd && c.outOff < c.outLen) {
        ssize_t n = ::send(c.fd.get(), c.out + c.outOff, c.outLen - c.outOff, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) return drop(c);
        c.outOff += static_cast<size_t>(n);
    }
    if (c.fd && c.closeAfterFlush) drop(c);
}

void NetServer::watch(Client& c) {
    // Lines that waited for room are answered once the client has read.
    if (c.inLen > 0) answerLines(c);
    if (!c.fd) return;
    uint32_t want = 0;
    if (!c.closeAfterFlush && c.roomForAnswer()) want |= EPOLLIN;
    if (c.outOff < c.outLen) want |= EPOLLOUT;
    if (want == c.events) return;
    epoll_event ev{};
    ev.events = want;
    ev.data.u64 = static_cast<uint64_t>(&c - clients_.get());
    if (::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, c.fd.get(), &ev) == 0) c.events = want;
}

void NetServer::drop(Client& c) {
    if (!c.fd) return;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, c.fd.get(), nullptr);
    protocol_.detach(&c.session);
    c.session = Session{};
    c.fd.reset();
    c.inLen = c.outLen = c.outOff = 0;
    c.closeAfterFlush = false;
}

void NetServer::dropIdle() {
    int64_t now = nowMs();
    int64_t limit = static_cast<int64_t>(limits_.idleSec) * 1000;
    for (int i = 0; i < limits_.maxClients; ++i)
        if (clients_[i].fd && now - clients_[i].lastMs > limit) drop(clients_[i]);
}

void NetServer::publish(const ServedState& state) {
    protocol_.setState(state.upsState, state.secondsLeft, state.port != nullptr ? state.port : "");
    dropIdle();
}

void NetServer::waitForWork(int timeoutMs) {
    pollfd p{epoll_.get(), POLLIN, 0};
    ::poll(&p, 1, std::max(timeoutMs, 0));
}

void NetServer::shutdownFollowers() {
    protocol_.setForcedShutdown();
    int64_t now = nowMs();
    if (waitDeadlineMs_ < 0) waitDeadlineMs_ = now + limits_.followerWaitMs;
    if (protocol_.loginCount() == 0) return;  // nobody follows, or they have gone already
    int64_t graceEnd = -1;
    while ((now = nowMs()) < waitDeadlineMs_) {
        if (protocol_.loginCount() == 0) {
            if (graceEnd < 0) graceEnd = std::min(now + limits_.followerGraceMs, waitDeadlineMs_);
            if (now >= graceEnd) break;
        }
        int64_t until = graceEnd >= 0 ? graceEnd : waitDeadlineMs_;
        waitForWork(static_cast<int>(until - now));
        serve();
    }
}

std::unique_ptr<NetServer> startNetServer(const char* path, const NetLimits& limits) {
    NetConfig config;
    if (loadNetConfig(path, config) != NetConfigResult::Loaded) return nullptr;
    return NetServer::create(config, limits);
}

}  // namespace qor::net
