// The byte-stream seam over a connected Winsock socket, and a bounded full
// send for the commands that go the other way.
#pragma once

#include <winsock2.h>

#include <string>

#include "byte_source.h"

namespace qorwin {

class SocketSource : public qor::common::ByteSource {
public:
    SocketSource(SOCKET s, int sendTimeoutMs);
    int read(unsigned char* buf, std::size_t cap, int timeoutMs) override;
    bool write(const unsigned char* data, std::size_t len) override;
    long long nowMs() const override;
    // Every byte, or false (each send bounded by the send time-out).
    bool SendAll(const std::string& text);

private:
    SOCKET s_;
};

}  // namespace qorwin
