// A Hayes-style modem on a serial device: raw line set-up, AT commands with
// the configured line ending, answers read with a time-out, dialling, paging
// and a hang-up that never waits for ever.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>

#include "engine_io.h"
#include "notify_log.h"
#include "unique_fd.h"
#include "ups_settings.h"

namespace qor {

struct ModemParams {
    int32_t carrierCheck;  // non-zero: refuse a line whose DCD is off
    int32_t flowControl;   // 0 RTS/CTS, 1 XON/XOFF, 2 none
    int32_t lineEnding;    // 0 CR LF, 1 LF, 2 CR, else nothing
    int32_t speed;         // bit/s
    int32_t responseTimeoutSec;
};

constexpr size_t kModemCommandLen = 128;  // 127 characters and the NUL
constexpr size_t kModemBufferLen = 1024;

struct ModemCommands {
    char init[kModemCommandLen];
    char dial[kModemCommandLen];
    char hangup[kModemCommandLen];
    char escape[kModemCommandLen];

    // Each text cut to 127 characters.
    static ModemCommands fromSettings(const UpsSettings& s);
    // "ATZ", "ATDT", "+++ATH", "+++".
    static ModemCommands defaults();
};

// Terminal speed code for a bit rate; rates outside the table give 38400.
speed_t modemSpeedCode(int32_t bps);

// Termios flags the set-up applies to the attributes found on the device.
void makeRawModemLine(struct termios& t, int32_t flowControl, int32_t bps);

class CModem {
public:
    // Both pointers may be null: then nothing is printed and the real clock sleeps.
    explicit CModem(NotifyLog* log = nullptr, Clock* clock = nullptr);
    ~CModem();
    CModem(const CModem&) = delete;
    CModem& operator=(const CModem&) = delete;

    void setParams(const ModemParams* params) { params_ = params; }
    void setCommands(const ModemCommands& commands) { commands_ = commands; }

    // Read/write, not as controlling terminal, non-blocking, close-on-exec.
    bool open(const char* path);
    // Takes `fd` (which it then owns) unless it is -1, which keeps the current
    // descriptor. A failed set-up closes the descriptor.
    bool setUp(int fd = -1);
    // Restores the saved attributes and closes; true when nothing was open.
    bool close();

    bool sendCommand(const char* text);
    int readAnswer();
    void drainInput();

    bool initialise();
    bool connect(const char* phone);
    bool dial(const char* phone);
    bool page(const char* number, int32_t code);
    void escape();
    bool hangUp();
    void setOnline(bool on) { online_ = on ? 1 : 0; }

    int descriptor() const { return fd_.get(); }
    bool online() const { return online_ != 0; }
    const char* status() const { return status_; }
    const char* answer() const { return rx_; }

    // How long a hang-up waits for the line to take the break.
    static constexpr int kBreakBoundMs = 3000;

private:
    void setStatus(const char* text);
    void print(const char* text);
    void sleepMs(long ms);
    int timeoutMs() const;
    bool waitOutputDrained(int boundMs);
    bool applyDrained(const struct termios& t, bool flushInput);
    void writeAll(const char* data, size_t len);
    void closeDescriptor();
    // Reads answers until `stop` says so or a read fails; a modem that keeps
    // talking is given up after a few response time-outs. True when `stop` held.
    template <class Stop>
    bool readAnswersUntil(Stop stop);

    UniqueFd fd_;
    const ModemParams* params_ = nullptr;
    uint8_t online_ = 0;
    char status_[128] = {};
    char rx_[kModemBufferLen] = {};
    struct termios saved_ {};
    struct termios working_ {};
    bool haveSaved_ = false;
    ModemCommands commands_{};
    NotifyLog* log_;
    Clock* clock_;
};

}  // namespace qor
