#include "line_reader.h"

#include <climits>
#include <cstring>

namespace qor::common {

namespace {

constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251;

int clampMs(long long ms) {
    if (ms < 0) return 0;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// One byte before the deadline: 1, or what the source said instead.
int nextByte(ByteSource& src, long long deadline, unsigned char& c) {
    // Checked before every byte: a peer that never stops sending must not
    // keep the reader past its bound either.
    long long left = deadline - src.nowMs();
    if (left <= 0) return kTimedOut;
    int n = src.read(&c, 1, clampMs(left));
    return n > 0 ? 1 : n;
}

ReadEnd endOf(int r) {
    if (r == kEndOfStream) return ReadEnd::EndOfStream;
    if (r == kTimedOut) return ReadEnd::TimedOut;
    return ReadEnd::Failed;
}

}  // namespace

ReadResult readLine(ByteSource& src, char* buf, std::size_t cap, const LineOptions& opt) {
    if (buf == nullptr || cap == 0) return {ReadEnd::Failed, 0};
    std::memset(buf, 0, cap);
    std::size_t stored = 0;
    auto store = [&](unsigned char c) {
        if (stored < cap - 1) buf[stored++] = static_cast<char>(c);
    };
    long long deadline = src.nowMs() + (opt.timeoutMs > 0 ? opt.timeoutMs : 0);
    ReadEnd end = ReadEnd::Complete;
    for (;;) {
        unsigned char c;
        int r = nextByte(src, deadline, c);
        if (r != 1) {
            end = endOf(r);
            break;
        }
        if (opt.telnet && c == kIac) {
            unsigned char cmd, option;
            r = nextByte(src, deadline, cmd);
            if (r != 1) {
                end = endOf(r);
                break;
            }
            if (cmd == kWill || cmd == kWont || cmd == kDo || cmd == kDont) {
                r = nextByte(src, deadline, option);
                if (r != 1) {
                    end = endOf(r);
                    break;
                }
                const unsigned char answer[3] = {kIac, (cmd == kWill || cmd == kWont) ? kDont : kWont, option};
                src.write(answer, sizeof answer);
            }
            continue;
        }
        store(c);
        if (c == '\r') {
            r = nextByte(src, deadline, c);
            if (r != 1) {
                end = endOf(r);
                break;
            }
            store(c);
            if (c == '\n') break;
        }
    }
    if (end == ReadEnd::TimedOut) {
        buf[0] = '\0';
        return {end, 0};
    }
    buf[stored] = '\0';
    return {end, stored};
}

ReadResult readChunk(ByteSource& src, char* buf, std::size_t cap, const ChunkOptions& opt) {
    if (buf == nullptr || cap == 0) return {ReadEnd::Failed, 0};
    std::memset(buf, 0, cap);
    std::size_t stored = 0;
    unsigned char block[64];
    int n = src.read(block, sizeof block, opt.firstWaitMs > 0 ? opt.firstWaitMs : 0);
    if (n <= 0) return {endOf(n), 0};
    long long deadline = src.nowMs() + (opt.totalMs > 0 ? opt.totalMs : 0);
    ReadEnd end = ReadEnd::Complete;
    for (;;) {
        for (int i = 0; i < n; ++i) {
            unsigned char c = block[i] & 0x7f;
            // A NUL (line noise) would end the text the answer checks search.
            if (c == '\r' || c == '\n' || c == ' ' || c == '\0') continue;
            if (stored < cap - 1) buf[stored++] = static_cast<char>(c);
        }
        // A line that never falls quiet ends the chunk at the bound.
        if (src.nowMs() >= deadline) break;
        n = src.read(block, sizeof block, 0);
        if (n == kTimedOut) break;  // nothing more waiting
        if (n <= 0) {
            end = endOf(n);
            break;
        }
    }
    buf[stored] = '\0';
    return {end, stored};
}

}  // namespace qor::common
