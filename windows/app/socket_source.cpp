#include "socket_source.h"

#include <windows.h>

namespace qorwin {

SocketSource::SocketSource(SOCKET s, int sendTimeoutMs) : s_(s) {
    DWORD ms = static_cast<DWORD>(sendTimeoutMs);
    setsockopt(s_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

int SocketSource::read(unsigned char* buf, std::size_t cap, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s_, &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(0, &set, nullptr, nullptr, &tv);
    if (ready == 0) return qor::common::kTimedOut;
    if (ready < 0) return qor::common::kReadFailed;
    int n = recv(s_, reinterpret_cast<char*>(buf), static_cast<int>(cap), 0);
    if (n == 0) return qor::common::kEndOfStream;
    return n > 0 ? n : qor::common::kReadFailed;
}

bool SocketSource::write(const unsigned char* data, std::size_t len) {
    return send(s_, reinterpret_cast<const char*>(data), static_cast<int>(len), 0) == static_cast<int>(len);
}

long long SocketSource::nowMs() const { return static_cast<long long>(GetTickCount64()); }

bool SocketSource::SendAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        int n = send(s_, text.data() + done, static_cast<int>(text.size() - done), 0);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace qorwin
