#include "serial_source.h"

namespace qorwin {
namespace {

constexpr DWORD kPollMs = 10;

}  // namespace

SerialSource::SerialSource(HANDLE port, DWORD writeTimeoutMs)
    : port_(port), writeTimeoutMs_(writeTimeoutMs), event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool SerialSource::Transfer(bool write, unsigned char* buf, DWORD size, DWORD timeoutMs, DWORD& done) {
    done = 0;
    if (!event_) return false;
    OVERLAPPED ov = {};
    ov.hEvent = event_.get();
    ResetEvent(ov.hEvent);
    BOOL ok = write ? WriteFile(port_, buf, size, nullptr, &ov) : ReadFile(port_, buf, size, nullptr, &ov);
    if (!ok && GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) CancelIo(port_);
    // Waits for a cancelled transfer too: ov and buf must outlive it. A
    // cancelled one has moved what it moved.
    return GetOverlappedResult(port_, &ov, &done, TRUE) != FALSE || GetLastError() == ERROR_OPERATION_ABORTED;
}

int SerialSource::read(unsigned char* buf, std::size_t cap, int timeoutMs) {
    long long deadline = nowMs() + (timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        DWORD got = 0;
        if (!Transfer(false, buf, static_cast<DWORD>(cap), kPollMs, got)) return qor::common::kReadFailed;
        if (got > 0) return static_cast<int>(got);
        if (nowMs() >= deadline) return qor::common::kTimedOut;
        Sleep(kPollMs);
    }
}

bool SerialSource::write(const unsigned char* data, std::size_t len) {
    DWORD done = 0;
    return Transfer(true, const_cast<unsigned char*>(data), static_cast<DWORD>(len), writeTimeoutMs_, done) &&
           done == len;
}

long long SerialSource::nowMs() const { return static_cast<long long>(GetTickCount64()); }

}  // namespace qorwin
