#include "pager_caller.h"

#include <windows.h>

#include <string>

#include "pager_dialogue.h"
#include "registry_store.h"
#include "serial_source.h"
#include "win_raii.h"

namespace qorwin {
namespace {

// A modem that takes no data (flow control held, cable pulled) must not hold
// the thread: each transfer is bounded.
constexpr DWORD kWriteTimeoutMs = 5000;

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
    explicit SerialPagerLine(HANDLE port) : source_(port, kWriteTimeoutMs) {}
    bool Write(const std::string& text) override {
        return source_.write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }
    void ReadByte() override {
        unsigned char c = 0;
        source_.read(&c, 1, 0);
    }
    void Pause(unsigned ms) override { Sleep(ms); }

private:
    SerialSource source_;
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
