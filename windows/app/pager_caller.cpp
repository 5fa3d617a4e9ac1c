#include "pager_caller.h"

#include <windows.h>

#include <string>

#include "pager_dialogue.h"
#include "registry_store.h"
#include "win_raii.h"

namespace qorwin {
namespace {

// A modem that takes no data (flow control held, cable pulled) must not hold
// the thread: each transfer is bounded.
constexpr DWORD kWriteTimeoutMs = 5000;
constexpr DWORD kReadTimeoutMs = 100;

// Opens and configures the port for the dialer; an empty handle when the
// port cannot be opened or set up.
UniqueHandle OpenModem(const DialerSetting& s) {
    if (s.parity < 0 || s.parity > 2 || s.stopBits < 0 || s.stopBits > 2 || s.dataBitsIndex < 0 ||
        s.dataBitsIndex > 4 || s.baud <= 0)
        return UniqueHandle();
    UniqueHandle port(CreateFileA(s.port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return port;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port.get(), &dcb)) return UniqueHandle();
    dcb.BaudRate = static_cast<DWORD>(s.baud);
    dcb.Parity = static_cast<BYTE>(s.parity);
    dcb.StopBits = static_cast<BYTE>(s.stopBits);
    dcb.ByteSize = static_cast<BYTE>(DataBitsOf(s.dataBitsIndex));
    if (!SetCommState(port.get(), &dcb)) return UniqueHandle();
    COMMTIMEOUTS t = {};
    if (!GetCommTimeouts(port.get(), &t)) return UniqueHandle();
    // Reads return at once with what is there.
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(port.get(), &t)) return UniqueHandle();
    return port;
}

class SerialPagerLine : public PagerLine {
public:
    explicit SerialPagerLine(HANDLE port) : port_(port), event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    bool Write(const std::string& text) override {
        DWORD done = 0;
        return Transfer(true, const_cast<char*>(text.data()), static_cast<DWORD>(text.size()), kWriteTimeoutMs,
                        done) &&
               done == text.size();
    }
    void ReadByte() override {
        char c = 0;
        DWORD got = 0;
        Transfer(false, &c, 1, kReadTimeoutMs, got);
    }
    void Pause(unsigned ms) override { Sleep(ms); }

private:
    bool Transfer(bool write, char* buf, DWORD size, DWORD timeoutMs, DWORD& done) {
        if (!event_) return false;
        OVERLAPPED ov = {};
        ov.hEvent = event_.get();
        ResetEvent(ov.hEvent);
        BOOL ok = write ? WriteFile(port_, buf, size, nullptr, &ov) : ReadFile(port_, buf, size, nullptr, &ov);
        if (!ok && GetLastError() != ERROR_IO_PENDING) return false;
        if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) CancelIo(port_);
        // Waits for the cancelled transfer too: ov and buf must outlive it.
        return GetOverlappedResult(port_, &ov, &done, TRUE) != FALSE;
    }

    HANDLE port_;
    UniqueHandle event_;
};

}  // namespace

void CallPagers(int code, const unsigned char* list, std::size_t size) {
    if (list == nullptr || size == 0 || list[0] == 0) return;
    RegistryStore store;
    PagerPlan plan = BuildPagerPlan(store, list, size, code);
    if (plan.fields < 5) return;  // no usable port in "Modem Setting"
    UniqueHandle port = OpenModem(plan.line);
    if (!port) return;
    SerialPagerLine line(port.get());
    RunPagerCalls(line, plan);
}

}  // namespace qorwin
