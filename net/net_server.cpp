#include "net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <syslog.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace qor::net {

namespace {

// Answers wait here only while the socket does not take them; a command is
// read only while its answer is sure to fit. Only the list of clients can be
// longer: the buffer grows for it while it waits, and shrinks back after.
constexpr size_t kOutCap = 2 * kMaxReply;
constexpr size_t kKeyLen = 9;  // family, then the IPv4 address or the IPv6 /64
constexpr uint64_t kListenTag = 1ull << 62;
constexpr uint64_t kWakeTag = 1ull << 63;
constexpr int kBacklog = 128;
constexpr int kEventsPerRound = 64;
constexpr int kAcceptsPerRound = 16;
constexpr int kSpareDescriptors = 64;  // the program's own files, pipes and the port

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void logLine(int priority, const char* text) { syslog(priority, "%s", text); }

uint64_t clientTag(uint32_t index, uint32_t generation) {
    return (static_cast<uint64_t>(generation & 0x3fffffffu) << 32) | index;
}

// One more connection per client needs one more descriptor: the soft limit
// (1024 on most systems) is raised toward the hard one as far as needed.
void raiseDescriptorLimit(int clients, int listeners) {
    rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return;
    rlim_t want = static_cast<rlim_t>(clients + listeners + kSpareDescriptors);
    if (rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur >= want) return;
    if (rl.rlim_cur == RLIM_INFINITY) return;
    rlim_t before = rl.rlim_cur;
    rl.rlim_cur = rl.rlim_max == RLIM_INFINITY ? want : std::min(want, rl.rlim_max);
    if (rl.rlim_cur > before && ::setrlimit(RLIMIT_NOFILE, &rl) != 0) rl.rlim_cur = before;
    if (rl.rlim_cur < want) {
        char line[160];
        std::snprintf(line, sizeof line, "network server: at most %ld open files allowed, fewer than %d clients fit",
                      static_cast<long>(rl.rlim_cur), clients);
        logLine(LOG_WARNING, line);
    }
}

}  // namespace

struct NetServer::Client {
    UniqueFd fd;
    Session session;
    uint32_t index = 0;
    uint8_t key[kKeyLen] = {};
    char in[kMaxLine];
    size_t inLen = 0;
    std::unique_ptr<char[]> out;  // only while answers wait for the client to read
    uint32_t outCap = 0;
    uint32_t outLen = 0;
    uint32_t outOff = 0;
    int64_t lastMs = 0;          // last activity
    int64_t stalledSinceMs = -1; // answers waiting and none taken since
    bool closeAfterFlush = false;
    bool queued = false;         // on the ready list
    uint32_t events = 0;         // what the epoll set watches for it now

    size_t pending() const { return outLen - outOff; }
    bool roomForAnswer() const { return pending() + kMaxReply <= kOutCap; }
    bool hasLine() const { return std::memchr(in, '\n', inLen) != nullptr; }
};

NetServer::NetServer(const NetConfig& config, const NetLimits& limits)
    : config_(config), limits_(limits), protocol_(config_) {
    limits_.maxClients = std::max(limits_.maxClients, 1);
    limits_.perAddress = std::max(limits_.perAddress, 1);
    limits_.linesPerRound = std::max(limits_.linesPerRound, 1);
}

NetServer::~NetServer() {
    for (auto& c : slots_)
        if (c && c->fd) protocol_.detach(&c->session);
}

std::unique_ptr<NetServer> NetServer::create(const NetConfig& config, const NetLimits& limits) {
    std::unique_ptr<NetServer> s(new NetServer(config, limits));
    s->epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
    s->wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeTag;
    if (!s->epoll_ || !s->wake_ || ::epoll_ctl(s->epoll_.get(), EPOLL_CTL_ADD, s->wake_.get(), &ev) != 0) {
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
    raiseDescriptorLimit(s->limits_.maxClients, s->listenCount_);
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
    // Set on the listener, the buffer sizes hold for every connection it
    // accepts: a client that never reads pins no more kernel memory than this.
    int buf = limits_.socketBufferBytes;
    bool ok = static_cast<bool>(fd) && ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
              (ss.ss_family != AF_INET6 || ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one) == 0) &&
              (buf <= 0 || (::setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf) == 0 &&
                            ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf) == 0)) &&
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

void NetServer::serve() {
    resumeAcceptingIfDue();
    if (msUntilDue() == 0) dropIdle();
    serveReady();
    epoll_event ev[kEventsPerRound];
    int n = ::epoll_wait(epoll_.get(), ev, kEventsPerRound, 0);
    for (int i = 0; i < n; ++i) {
        uint64_t tag = ev[i].data.u64;
        if (tag == kWakeTag) {
            // Served above; still readable only when its clients have all gone.
            if (ready_.empty()) clearWake();
            continue;
        }
        if (tag & kListenTag) {
            acceptSome(listen_[tag & 0xff].get());
            continue;
        }
        auto index = static_cast<uint32_t>(tag & 0xffffffffu);
        if (index >= slots_.size() || !slots_[index] || clientTag(index, generation_[index]) != tag) continue;
        Client& c = *slots_[index];  // (dropped earlier in this round: skipped above)
        if (ev[i].events & (EPOLLHUP | EPOLLERR)) {
            drop(c);  // reset or gone both ways: nobody left to answer
            continue;
        }
        if (ev[i].events & EPOLLOUT) flush(c);
        if (c.fd && (ev[i].events & EPOLLIN)) readFrom(c);
        if (c.fd) watch(c);
    }
    reclaim();
}

void NetServer::acceptSome(int listenFd) {
    // A bounded number per round, so a flood cannot hold the tick up.
    for (int round = 0; round < kAcceptsPerRound; ++round) {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        UniqueFd fd(::accept4(listenFd, reinterpret_cast<sockaddr*>(&ss), &len, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) pauseAccepting();
            return;
        }
        admit(std::move(fd), ss);
    }
}

// The listener stays readable while its queue is full: unwatched for a while,
// it cannot keep the loop busy with accepts that fail.
void NetServer::pauseAccepting() {
    int err = errno;
    int64_t now = nowMs();
    acceptPausedUntilMs_ = now + std::max(limits_.acceptPauseMs, 1);
    for (int i = 0; i < listenCount_; ++i) {
        epoll_event ev{};
        ev.data.u64 = kListenTag | static_cast<uint64_t>(i);
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, listen_[i].get(), &ev);
    }
    if (acceptWarnedMs_ < 0 || now - acceptWarnedMs_ >= 60000) {
        acceptWarnedMs_ = now;
        char line[160];
        std::snprintf(line, sizeof line, "network server: cannot accept a connection: %s; new ones wait",
                      std::strerror(err));
        logLine(LOG_WARNING, line);
    }
}

void NetServer::resumeAcceptingIfDue() {
    if (acceptPausedUntilMs_ < 0 || nowMs() < acceptPausedUntilMs_) return;
    acceptPausedUntilMs_ = -1;
    for (int i = 0; i < listenCount_; ++i) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = kListenTag | static_cast<uint64_t>(i);
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, listen_[i].get(), &ev);
    }
}

// The client not logged in that has been silent longest, among those from the
// address `key` when it is over its share, else among all once the server is
// full; nullptr when the newcomer fits (or nobody may make room for it).
NetServer::Client* NetServer::evictionCandidate(const uint8_t* key) const {
    Client* oldestSame = nullptr;
    Client* oldestAny = nullptr;
    int sameAddress = 0;
    for (const auto& slot : slots_) {
        Client* c = slot.get();
        if (c == nullptr || !c->fd || c->session.loggedIn) continue;
        bool same = std::memcmp(c->key, key, kKeyLen) == 0;
        if (same) ++sameAddress;
        if (same && (oldestSame == nullptr || c->lastMs < oldestSame->lastMs)) oldestSame = c;
        if (oldestAny == nullptr || c->lastMs < oldestAny->lastMs) oldestAny = c;
    }
    if (sameAddress >= limits_.perAddress) return oldestSame;
    if (clientCount_ >= limits_.maxClients) return oldestAny;
    return nullptr;
}

void NetServer::admit(UniqueFd fd, const sockaddr_storage& ss) {
    uint8_t key[kKeyLen] = {};
    char peer[sizeof Session::peer] = {};
    if (ss.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(ss).sin_addr;
        key[0] = 4;
        std::memcpy(key + 1, &a, 4);
        inet_ntop(AF_INET, &a, peer, sizeof peer);
    } else if (ss.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(ss).sin6_addr;
        key[0] = 6;
        std::memcpy(key + 1, &a, 8);  // one site's machines share a /64
        inet_ntop(AF_INET6, &a, peer, sizeof peer);
    }
    // Logged-in followers are never made to go; a newcomer takes the place of
    // the longest silent one that has not logged in.
    if (Client* victim = evictionCandidate(key)) drop(*victim);
    if (clientCount_ >= limits_.maxClients) return;  // all logged in: closed at once

    uint32_t index;
    if (!freeSlots_.empty()) {
        index = freeSlots_.back();
    } else {
        index = static_cast<uint32_t>(slots_.size());
        try {
            freeSlots_.reserve(slots_.size() + 1);  // so that every slot can be free at once
            generation_.push_back(0);
            slots_.emplace_back();
        } catch (const std::bad_alloc&) {
            generation_.resize(slots_.size());
            return;
        }
        freeSlots_.push_back(index);
    }
    std::unique_ptr<Client> c(new (std::nothrow) Client);
    if (!c) return;
    c->index = index;
    std::memcpy(c->key, key, kKeyLen);
    std::memcpy(c->session.peer, peer, sizeof peer);
    c->lastMs = nowMs();
    c->events = EPOLLIN;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = clientTag(index, generation_[index]);
    if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &ev) != 0) return;
    c->fd = std::move(fd);
    if (!protocol_.attach(&c->session)) return;  // (c's descriptor closes with it)
    freeSlots_.pop_back();
    slots_[index] = std::move(c);
    ++clientCount_;
}

void NetServer::readFrom(Client& c) {
    if (c.closeAfterFlush || !c.roomForAnswer() || c.inLen == sizeof c.in) return;
    ssize_t n = ::recv(c.fd.get(), c.in + c.inLen, sizeof c.in - c.inLen, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        // The client is gone or has stopped sending: answer what it asked
        // (bounded by the room for answers), then close.
        answerLines(c, static_cast<int>(kMaxLine));
        if (c.fd) flush(c);
        drop(c);
        return;
    }
    c.inLen += static_cast<size_t>(n);
    answerLines(c, limits_.linesPerRound);
    // A full buffer without a line end holds a line longer than any command: cut off.
    if (c.fd && c.inLen == sizeof c.in && !c.hasLine()) drop(c);
}

void NetServer::answerLines(Client& c, int budget) {
    char answer[kMaxReply];
    size_t start = 0;
    // After LOGOUT the lines already received are still answered, as upsd does.
    while (c.fd && c.roomForAnswer()) {
        auto* nl = static_cast<char*>(std::memchr(c.in + start, '\n', c.inLen - start));
        if (nl == nullptr) break;
        if (budget-- <= 0) {
            markReady(c);  // the others' turn first
            break;
        }
        size_t len = static_cast<size_t>(nl - (c.in + start));
        if (len > 0 && c.in[start + len - 1] == '\r') --len;
        Reply reply(answer, sizeof answer);
        if (protocol_.handle(c.session, c.in + start, len, reply) == After::Close) c.closeAfterFlush = true;
        // A client not logged in keeps its place only by asking what it may:
        // lines answered with an error do not count.
        if (c.session.loggedIn || std::strncmp(reply.data(), "ERR ", 4) != 0) c.lastMs = nowMs();
        start = static_cast<size_t>(nl - c.in) + 1;
        queueOutput(c, reply.data(), reply.size());
    }
    if (!c.fd) return;
    std::memmove(c.in, c.in + start, c.inLen - start);
    c.inLen -= start;
    if (c.closeAfterFlush && c.pending() == 0 && !c.hasLine()) drop(c);
}

void NetServer::queueOutput(Client& c, const char* data, size_t len) {
    size_t sent = 0;
    if (c.pending() == 0) {
        // Most answers go straight to the socket and are never stored.
        while (sent < len) {
            ssize_t n = ::send(c.fd.get(), data + sent, len - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n <= 0) return drop(c);
            sent += static_cast<size_t>(n);
        }
        if (sent == len) return;
    }
    size_t need = c.pending() + (len - sent);
    if (need > UINT32_MAX) return drop(c);
    // An answer longer than the usual room (the list of clients) gets a buffer its size.
    if (!c.out || need > c.outCap) {
        if (!resizeOutput(c, std::max(need, kOutCap))) return drop(c);
    } else if (c.outOff > 0) {
        std::memmove(c.out.get(), c.out.get() + c.outOff, c.pending());
        c.outLen -= c.outOff;
        c.outOff = 0;
    }
    std::memcpy(c.out.get() + c.outLen, data + sent, len - sent);
    c.outLen += static_cast<uint32_t>(len - sent);
    if (c.stalledSinceMs < 0) c.stalledSinceMs = nowMs();
}

bool NetServer::resizeOutput(Client& c, size_t cap) {
    std::unique_ptr<char[]> out(new (std::nothrow) char[cap]);
    if (!out) return false;
    if (c.out) std::memcpy(out.get(), c.out.get() + c.outOff, c.pending());
    c.outLen = static_cast<uint32_t>(c.pending());
    c.outOff = 0;
    c.outCap = static_cast<uint32_t>(cap);
    c.out = std::move(out);
    return true;
}

void NetServer::flush(Client& c) {
    bool moved = false;
    while (c.fd && c.pending() > 0) {
        ssize_t n = ::send(c.fd.get(), c.out.get() + c.outOff, c.pending(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) return drop(c);
        c.outOff += static_cast<uint32_t>(n);
        moved = true;
    }
    if (c.pending() == 0) {
        c.out.reset();  // a reader that keeps up holds no buffer
        c.outCap = c.outLen = c.outOff = 0;
        c.stalledSinceMs = -1;
        if (c.closeAfterFlush && !c.hasLine()) return drop(c);
    } else if (moved) {
        c.stalledSinceMs = nowMs();
        // A long answer mostly taken: what is left goes back to the usual size
        // (kept as it is when that memory is lacking).
        if (c.outCap > kOutCap && c.pending() <= kOutCap) resizeOutput(c, kOutCap);
    }
}

void NetServer::watch(Client& c) {
    // Lines that waited for room are answered once the client has read.
    if (c.hasLine() && c.roomForAnswer() && !c.queued) answerLines(c, limits_.linesPerRound);
    if (!c.fd) return;
    uint32_t want = 0;
    // More is read only once what was read is answered.
    if (!c.closeAfterFlush && c.roomForAnswer() && !c.queued && c.inLen < sizeof c.in) want |= EPOLLIN;
    if (c.pending() > 0) want |= EPOLLOUT;
    if (want == c.events) return;
    epoll_event ev{};
    ev.events = want;
    ev.data.u64 = clientTag(c.index, generation_[c.index]);
    if (::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, c.fd.get(), &ev) == 0) c.events = want;
}

void NetServer::markReady(Client& c) {
    if (c.queued) return;
    c.queued = true;
    if (ready_.empty()) {
        uint64_t one = 1;
        ssize_t n = ::write(wake_.get(), &one, sizeof one);  // the front-end's wait ends for the next round
        (void)n;
    }
    ready_.push_back(clientTag(c.index, generation_[c.index]));
}

void NetServer::clearWake() {
    uint64_t count;
    ssize_t n = ::read(wake_.get(), &count, sizeof count);
    (void)n;  // nothing to read: already clear
}

void NetServer::serveReady() {
    if (ready_.empty()) return;
    std::vector<uint64_t> round;
    round.swap(ready_);
    clearWake();
    for (uint64_t tag : round) {
        auto index = static_cast<uint32_t>(tag & 0xffffffffu);
        if (index >= slots_.size() || !slots_[index] || clientTag(index, generation_[index]) != tag) continue;
        Client& c = *slots_[index];
        c.queued = false;  // (a dropped one is stale above)
        answerLines(c, limits_.linesPerRound);
        if (c.fd) watch(c);
    }
    if (ready_.empty()) ready_.shrink_to_fit();
}

void NetServer::drop(Client& c) {
    if (!c.fd) return;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, c.fd.get(), nullptr);
    protocol_.detach(&c.session);
    c.fd.reset();
    c.out.reset();
    ++generation_[c.index];  // events still queued for it are stale now
    --clientCount_;
    ++deadCount_;            // freed by reclaim(), once nothing in this round refers to it
}

void NetServer::reclaim() {
    if (deadCount_ == 0) return;
    deadCount_ = 0;
    for (uint32_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i] || slots_[i]->fd) continue;
        slots_[i].reset();
        freeSlots_.push_back(i);  // fits: reserved when the slot was made
    }
    if (clientCount_ == 0) {
        // After a crowd has gone, its memory goes too.
        std::vector<std::unique_ptr<Client>>().swap(slots_);
        std::vector<uint32_t>().swap(generation_);
        std::vector<uint32_t>().swap(freeSlots_);
        std::vector<uint64_t>().swap(ready_);
    }
}

void NetServer::dropIdle() {
    int64_t now = nowMs();
    int64_t limit = static_cast<int64_t>(limits_.idleSec) * 1000;
    for (auto& slot : slots_) {
        Client* c = slot.get();
        if (c == nullptr || !c->fd) continue;
        bool stalled = c->stalledSinceMs >= 0 && now - c->stalledSinceMs > limits_.stallMs;
        if (stalled || now - c->lastMs > limit) drop(*c);
    }
    reclaim();
}

int NetServer::msUntilDue() const {
    int64_t due = acceptPausedUntilMs_;
    auto consider = [&due](int64_t at) {
        if (due < 0 || at < due) due = at;
    };
    int64_t limit = static_cast<int64_t>(limits_.idleSec) * 1000;
    for (const auto& slot : slots_) {
        const Client* c = slot.get();
        if (c == nullptr || !c->fd) continue;
        consider(c->lastMs + limit + 1);
        if (c->stalledSinceMs >= 0) consider(c->stalledSinceMs + limits_.stallMs + 1);
    }
    if (due < 0) return -1;
    return static_cast<int>(std::clamp<int64_t>(due - nowMs(), 0, 24 * 3600 * 1000));
}

void NetServer::publish(const ServedState& state) {
    protocol_.setState(state.upsState, state.secondsLeft, state.port != nullptr ? state.port : "");
    resumeAcceptingIfDue();
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
        // Woken at least every second: paused listeners and stalled clients
        // are looked at meanwhile as on a tick.
        waitForWork(static_cast<int>(std::min<int64_t>(until - now, 1000)));
        serve();
        dropIdle();
    }
}

std::unique_ptr<NetServer> startNetServer(const char* path, const NetLimits& limits) {
    NetConfig config;
    if (loadNetConfig(path, config) != NetConfigResult::Loaded) return nullptr;
    return NetServer::create(config, limits);
}

}  // namespace qor::net
