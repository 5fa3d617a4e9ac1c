// The open UPS port: raises RTS, reads DCD and CTS, raises DTR for shutdown.
#pragma once

#include <chrono>
#include <cstddef>

#include "engine_io.h"
#include "unique_fd.h"
#include "ups_status.h"

namespace qor {

// Modem-line bits as the kernel defines them.
constexpr int kLineDtr = 0x002;
constexpr int kLineRts = 0x004;
constexpr int kLineCts = 0x020;
constexpr int kLineCar = 0x040;

constexpr long kSettleMicros = 100000;
constexpr long kBounceMicros = 20000;

class LineWatch;

class SerialLine : public UpsLine {
public:
    explicit SerialLine(Edition edition) : edition_(edition) {}
    ~SerialLine() override { close(); }
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    int open(const char* path) override;
    // Descriptor 0 is a port like any other (a monitor started with its
    // standard input closed gets it).
    bool isOpen() const override { return static_cast<bool>(fd_); }
    int setLines(int mode) override;
    int readStatus() override;
    void close() override;
    int descriptor() const { return fd_.get(); }
    // A watch waiting on this port is stopped before the port closes or
    // another opens in its place.
    void attachWatch(LineWatch* watch) { watch_ = watch; }
    // The next probe answers a change the watch saw. When RTS has stood
    // raised for the whole settling time already, it only waits out the
    // contacts' bounce before reading.
    void probeSoon() { soon_ = true; }

protected:
    long settleMicros() override;

private:
    void stopWatch();

    Edition edition_;
    LineWatch* watch_ = nullptr;
    bool soon_ = false;
    int lastWord_ = -1;  // outputs last written; -1: unknown (just opened)
    std::chrono::steady_clock::time_point wordSince_{};
    UniqueFd fd_;
};

constexpr const char* kMouseLinkPath = "/dev/mouse";

// Reads the raw target text of the link /dev/mouse into `buf` (zero-filled
// first; empty when it is not a link). At most size-1 bytes, always terminated.
void readMouseLink(char* buf, size_t size, const char* link = kMouseLinkPath);

}  // namespace qor
