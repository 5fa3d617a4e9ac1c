// The byte-stream seam under the line readers: the operating-system layer
// (a socket, a serial port, a pipe) implements it; everything above it is
// plain C++ and is tested with scripted sources.
//
// Contract: read() waits at most `timeoutMs` (0: only what is already
// waiting) and returns the count read (1..cap), kEndOfStream when the peer
// closed, kTimedOut when nothing arrived in time, kReadFailed on an error the
// OS layer keeps for its own report. write() is best effort and short: it is
// used for protocol answers (telnet negotiation) that must never block the
// reader. nowMs() is a monotonic clock in milliseconds; a scripted source may
// run its own.
#pragma once

#include <cstddef>

namespace qor::common {

constexpr int kEndOfStream = 0;
constexpr int kReadFailed = -1;
constexpr int kTimedOut = -2;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int read(unsigned char* buf, std::size_t cap, int timeoutMs) = 0;
    // False when not all of it went (or the source cannot write).
    virtual bool write(const unsigned char* data, std::size_t len);
    virtual long long nowMs() const;
};

}  // namespace qor::common
