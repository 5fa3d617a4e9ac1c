#include "hayes_emulator.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace qor::test {

bool parseDial(const std::string& w, HayesOptions::Dial& d) {
    using D = HayesOptions::Dial;
    if (w == "connect") d = D::Connect;
    else if (w == "busy") d = D::Busy;
    else if (w == "nodialtone") d = D::NoDialtone;
    else if (w == "ok") d = D::Ok;
    else if (w == "silent") d = D::Silent;
    else return false;
    return true;
}

HayesEmulator::HayesEmulator(int in, int out, HayesOptions options) : in_(in), out_(out), o_(std::move(options)) {}

HayesEmulator::~HayesEmulator() { stop(); }

void HayesEmulator::start() { thread_ = std::thread([this] { run(); }); }

void HayesEmulator::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::vector<std::string> HayesEmulator::commands() const {
    std::lock_guard<std::mutex> g(m_);
    return commands_;
}

bool HayesEmulator::waitForCommand(const std::string& suffix, int ms, size_t after) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        auto c = commands();
        for (size_t i = after; i < c.size(); ++i)
            if (c[i].size() >= suffix.size() && c[i].compare(c[i].size() - suffix.size(), suffix.size(), suffix) == 0)
                return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string HayesEmulator::raw() const {
    std::lock_guard<std::mutex> g(m_);
    return raw_;
}

void HayesEmulator::send(const std::string& text) {
    size_t off = 0;
    while (off < text.size()) {
        ssize_t n = ::write(out_, text.data() + off, text.size() - off);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        off += static_cast<size_t>(n);
    }
}

void HayesEmulator::line(const std::string& text) {
    // A modem acts only on what starts with AT (or is the escape); anything
    // else, such as its own answers echoed back by a cooked line, is ignored.
    std::string at = text;
    while (at.compare(0, 1, "+") == 0) at.erase(0, 1);
    bool command = at.empty() || at.compare(0, 2, "AT") == 0 || at.compare(0, 2, "at") == 0;
    if (!command) return;
    {
        std::lock_guard<std::mutex> g(m_);
        commands_.push_back(text);
    }
    if (!o_.recordPath.empty()) {
        if (FILE* f = std::fopen(o_.recordPath.c_str(), "a")) {
            std::fprintf(f, "%s\n", text.c_str());
            std::fclose(f);
        }
        // The same with the wall-clock time of arrival, for ordering checks.
        if (FILE* f = std::fopen((o_.recordPath + ".times").c_str(), "a")) {
            auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
            std::fprintf(f, "%lld.%06lld %s\n", static_cast<long long>(us / 1000000),
                         static_cast<long long>(us % 1000000), text.c_str());
            std::fclose(f);
        }
    }
    if (!o_.answerInit) return;
    if (o_.echo) send(text + "\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(o_.delayMs));
    // "+++ATH" is an escape and a command in one line; the AT part counts.
    if (at.empty()) {
        send("\r\nOK\r\n");
        return;
    }
    if (at.size() >= 3 && (at.compare(0, 3, "ATD") == 0 || at.compare(0, 3, "atd") == 0)) {
        using D = HayesOptions::Dial;
        switch (o_.dial) {
        case D::Connect: send("\r\nCONNECT 115200\r\n"); break;
        case D::Busy: send("\r\nBUSY\r\n"); break;
        case D::NoDialtone: send("\r\nNO DIALTONE\r\n"); break;
        case D::Ok: send("\r\nOK\r\n"); break;
        case D::Silent: break;
        }
        return;
    }
    send("\r\nOK\r\n");
}

void HayesEmulator::run() {
    std::string buf;
    while (!stop_) {
        struct pollfd p {in_, POLLIN, 0};
        int wait = buf == "+++" || (buf.size() > 3 && buf.compare(buf.size() - 3, 3, "+++") == 0) ? o_.guardMs : 50;
        int r = ::poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) {
            if (!buf.empty() && buf.size() >= 3 && buf.compare(buf.size() - 3, 3, "+++") == 0 && wait == o_.guardMs) {
                line(buf);
                buf.clear();
            }
            continue;
        }
        if (r < 0) return;
        if (!(p.revents & POLLIN)) {
            // The program has closed its side for now; it may open it again.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        char chunk[512];
        ssize_t n = ::read(in_, chunk, sizeof chunk);
        if (n == 0) return;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EIO) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            return;
        }
        {
            std::lock_guard<std::mutex> g(m_);
            raw_.append(chunk, static_cast<size_t>(n));
        }
        for (ssize_t i = 0; i < n; ++i) {
            char c = chunk[i];
            if (c == '\r' || c == '\n') {
                if (!buf.empty()) line(buf);
                buf.clear();
            } else {
                buf += c;
            }
        }
    }
}

}  // namespace qor::test
