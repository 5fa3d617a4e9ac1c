#include "line_probe.h"

#include "line_status.h"
#include "win_raii.h"

namespace qorwin {
namespace {

class Win32CommPort : public CommPort {
public:
    bool Open(const char* portName) override {
        char path[32];
        PortDevicePath(portName, path, sizeof path);
        port_.reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr));
        return static_cast<bool>(port_);
    }
    bool ApplyLineSettings() override {
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(port_.get(), &dcb)) return false;
        dcb.BaudRate = CBR_2400;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        return SetCommState(port_.get(), &dcb) != FALSE;
    }
    bool Escape(unsigned code) override { return EscapeCommFunction(port_.get(), code) != FALSE; }
    bool ModemStatus(std::uint32_t& status) override {
        DWORD s = 0;
        if (!GetCommModemStatus(port_.get(), &s)) return false;
        status = s;
        return true;
    }

private:
    UniqueHandle port_;
};

}  // namespace

std::int32_t LineProbe(const char* portName, DWORD escapeCode) {
    Win32CommPort port;
    return ProbeLine(port, portName, escapeCode);
}

std::int32_t ProbeUpsLine(const char* portName) { return LineProbe(portName, SETRTS); }

}  // namespace qorwin
