// A byte source that plays a script: pieces of input, each available from
// its own moment on, and a clock that only moves when the reader waits. The
// portable layer's tests and its fuzz targets read through it.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "byte_source.h"

namespace qor::common {

// A piece with `fail` set reports a failed read. After the script: end of
// stream when `closes`, else silence.
class Script : public ByteSource {
public:
    struct Piece {
        long long at;
        std::string bytes;
        bool fail = false;
    };
    explicit Script(std::deque<Piece> p, bool closes = false) : pieces_(std::move(p)), closes_(closes) {}

    int read(unsigned char* buf, std::size_t cap, int timeoutMs) override {
        if (pieces_.empty()) {
            if (closes_) return kEndOfStream;
            now_ += timeoutMs;
            return kTimedOut;
        }
        Piece& p = pieces_.front();
        if (p.at > now_ + timeoutMs) {
            now_ += timeoutMs;
            return kTimedOut;
        }
        if (p.at > now_) now_ = p.at;
        if (p.fail) {
            pieces_.pop_front();
            return kReadFailed;
        }
        now_ += costMs;
        std::size_t n = std::min(cap, p.bytes.size());
        std::memcpy(buf, p.bytes.data(), n);
        p.bytes.erase(0, n);
        if (p.bytes.empty()) pieces_.pop_front();
        return static_cast<int>(n);
    }
    bool write(const unsigned char* d, std::size_t n) override {
        written.append(reinterpret_cast<const char*>(d), n);
        return true;
    }
    long long nowMs() const override { return now_; }

    std::string written;
    int costMs = 0;  // time each delivering read takes

private:
    std::deque<Piece> pieces_;
    bool closes_;
    long long now_ = 0;
};

}  // namespace qor::common
