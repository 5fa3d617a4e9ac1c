// Fakes and little servers shared by the notification tests and benchmarks.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_io.h"
#include "notify_log.h"
#include "unique_fd.h"

namespace qor::test {

// "Sat, 07 Dec 2024 21:00:00 +0800": the shape of a mail date.
inline bool looksLikeMailDate(const std::string& d) {
    const std::string shape = "AAA, 00 AAA 0000 00:00:00 +0000";
    if (d.size() != shape.size()) return false;
    for (size_t i = 0; i < d.size(); ++i) {
        char c = d[i], k = shape[i];
        bool ok = k == 'A' ? (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
                : k == '0' ? c >= '0' && c <= '9'
                : k == '+' ? c == '+' || c == '-'
                           : c == k;
        if (!ok) return false;
    }
    return true;
}

// True when `mail` is `head`, a mail date, then `tail`.
inline bool mailMatches(const std::string& mail, const std::string& head, const std::string& tail) {
    const size_t dateLen = 31;
    if (mail.size() != head.size() + dateLen + tail.size()) return false;
    return mail.compare(0, head.size(), head) == 0 && looksLikeMailDate(mail.substr(head.size(), dateLen)) &&
           mail.compare(head.size() + dateLen, tail.size(), tail) == 0;
}

inline std::string hostName() {
    char h[256] = {};
    gethostname(h, sizeof h - 1);
    return h;
}

// Sleeps are recorded, not slept.
class FakeClock : public Clock {
public:
    int64_t now() override { return t_.load(); }
    void sleepMicros(long usec) override {
        {
            std::lock_guard<std::mutex> g(m_);
            sleeps_.push_back(usec / 1000);
        }
        t_ += usec / 1000000;
    }
    std::vector<long> sleepsMs() const {
        std::lock_guard<std::mutex> g(m_);
        return sleeps_;
    }
    long totalMs() const {
        long t = 0;
        for (long s : sleepsMs()) t += s;
        return t;
    }

private:
    mutable std::mutex m_;
    std::vector<long> sleeps_;
    std::atomic<int64_t> t_{1000};
};

class CaptureLog : public NotifyLog {
public:
    explicit CaptureLog(Edition e = Edition::Desktop) : e_(e) {}
    void out(const char* t) override {
        std::lock_guard<std::mutex> g(m_);
        if (e_ == Edition::Desktop) out_ += t;
    }
    void err(const char* t) override {
        std::lock_guard<std::mutex> g(m_);
        err_ += t;
    }
    void sys(const char* t) override {
        std::lock_guard<std::mutex> g(m_);
        sys_.emplace_back(t);
    }
    Edition edition() const override { return e_; }
    std::string outText() const {
        std::lock_guard<std::mutex> g(m_);
        return out_;
    }
    std::vector<std::string> sysLines() const {
        std::lock_guard<std::mutex> g(m_);
        return sys_;
    }
    bool hasSys(const std::string& line) const {
        for (auto& l : sysLines())
            if (l == line) return true;
        return false;
    }

private:
    Edition e_;
    mutable std::mutex m_;
    std::string out_, err_;
    std::vector<std::string> sys_;
};

// A pty of our own: the test holds the master, the code under test opens the slave.
struct TestPty {
    UniqueFd master;
    std::string slave;
    TestPty() {
        master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!master) return;
        if (grantpt(master.get()) != 0 || unlockpt(master.get()) != 0) {
            master.reset();
            return;
        }
        char name[128];
        if (ptsname_r(master.get(), name, sizeof name) == 0) slave = name;
    }
    bool ok() const { return master && !slave.empty(); }
    // Everything the slave side wrote within `ms` of quiet.
    std::string readAvailable(int ms = 200) {
        std::string out;
        for (;;) {
            struct pollfd p {master.get(), POLLIN, 0};
            if (poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) return out;
            char buf[512];
            ssize_t n = ::read(master.get(), buf, sizeof buf);
            if (n <= 0) return out;
            out.append(buf, static_cast<size_t>(n));
        }
    }
    void write(const std::string& s) {
        size_t off = 0;
        while (off < s.size()) {
            ssize_t n = ::write(master.get(), s.data() + off, s.size() - off);
            if (n <= 0) return;
            off += static_cast<size_t>(n);
        }
    }
};

inline bool sendAll(int fd, const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
        ssize_t n = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

// Reads one CR LF line (or what came before end of stream / `ms` of quiet).
inline bool recvLine(int fd, std::string& line, int ms = 2000) {
    line.clear();
    for (;;) {
        struct pollfd p {fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char c;
        ssize_t n = ::recv(fd, &c, 1, 0);
        if (n <= 0) return !line.empty();
        line += c;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return true;
    }
}

// Listens on 127.0.0.1 (a free port) and runs `session` for each accepted
// connection on a thread of its own.
class LoopbackServer {
public:
    using Session = std::function<void(int fd)>;
    explicit LoopbackServer(Session session) : session_(std::move(session)) {
        listen_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        int one = 1;
        setsockopt(listen_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        struct sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
        socklen_t len = sizeof a;
        getsockname(listen_.get(), reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        ::listen(listen_.get(), 16);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackServer() { stop(); }
    void stop() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        std::vector<std::thread> s;
        {
            std::lock_guard<std::mutex> g(m_);
            s.swap(sessions_);
        }
        for (auto& t : s) t.join();
    }
    int port() const { return port_; }
    int accepted() const { return accepted_.load(); }
    bool stopping() const { return stop_.load(); }

private:
    void acceptLoop() {
        while (!stop_) {
            struct pollfd p {listen_.get(), POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int fd = ::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++accepted_;
            std::lock_guard<std::mutex> g(m_);
            sessions_.emplace_back([this, fd] {
                session_(fd);
                ::close(fd);
            });
        }
    }
    Session session_;
    UniqueFd listen_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    std::mutex m_;
    std::vector<std::thread> sessions_;
};

// A well-behaved SMTP server: records each session's commands and DATA.
class MiniSmtpServer {
public:
    struct Mail {
        std::vector<std::string> commands;  // without CR LF
        std::string data;                   // up to and including the "." line
    };
    explicit MiniSmtpServer(std::string heloReply = "250 hello\r\n")
        : helo_(std::move(heloReply)), server_([this](int fd) { session(fd); }) {}
    int port() const { return server_.port(); }
    std::vector<Mail> mails() const {
        std::lock_guard<std::mutex> g(m_);
        return mails_;
    }
    int sessions() const { return server_.accepted(); }
    // Mails whose DATA got its 250.
    int accepted() const { return accepted_.load(); }
    // Waits until `n` sessions have ended.
    bool waitSessions(int n, int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (static_cast<int>(mails().size()) >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    void session(int fd) {
        Mail mail;
        sendAll(fd, "220 mini ready\r\n");
        std::string line;
        while (!server_.stopping() && recvLine(fd, line, 5000)) {
            std::string cmd = line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
            mail.commands.push_back(cmd);
            if (cmd.compare(0, 4, "HELO") == 0) {
                sendAll(fd, helo_);
                if (helo_.compare(0, 3, "250") != 0) continue;
            } else if (cmd == "DATA") {
                sendAll(fd, "354 go ahead\r\n");
                std::string data;
                while (data.size() < 5 || data.compare(data.size() - 5, 5, "\r\n.\r\n") != 0) {
                    char buf[256];
                    struct pollfd p {fd, POLLIN, 0};
                    if (poll(&p, 1, 5000) <= 0) break;
                    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                    if (n <= 0) break;
                    data.append(buf, static_cast<size_t>(n));
                }
                mail.data = data;
                sendAll(fd, "250 queued\r\n");
                ++accepted_;
            } else if (cmd == "QUIT") {
                sendAll(fd, "221 bye\r\n");
                break;
            } else {
                sendAll(fd, "250 ok\r\n");
            }
        }
        std::lock_guard<std::mutex> g(m_);
        mails_.push_back(mail);
    }
    std::string helo_;
    mutable std::mutex m_;
    std::vector<Mail> mails_;
    std::atomic<int> accepted_{0};
    LoopbackServer server_;
};

}  // namespace qor::test
