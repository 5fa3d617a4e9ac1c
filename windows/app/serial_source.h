// The byte-stream seam over an overlapped serial port handle whose reads
// return at once (read interval MAXDWORD, no totals).
#pragma once

#include <windows.h>

#include "byte_source.h"
#include "win_raii.h"

namespace qorwin {

class SerialSource : public qor::common::ByteSource {
public:
    SerialSource(HANDLE port, DWORD writeTimeoutMs);
    int read(unsigned char* buf, std::size_t cap, int timeoutMs) override;
    // Every byte within the write time-out, or false.
    bool write(const unsigned char* data, std::size_t len) override;
    long long nowMs() const override;

private:
    // One overlapped transfer, cancelled when it takes longer than timeoutMs.
    bool Transfer(bool write, unsigned char* buf, DWORD size, DWORD timeoutMs, DWORD& done);

    HANDLE port_;
    DWORD writeTimeoutMs_;
    UniqueHandle event_;
};

}  // namespace qorwin
