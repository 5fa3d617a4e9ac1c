// Hand-driven stand-ins for the engine's outside world.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine_io.h"
#include "monitor_engine.h"
#include "serial_line.h"

namespace qor::test {

// Ports a test plugs a UPS into; each port shows the status word set for it.
class FakeLine : public UpsLine {
public:
    std::map<std::string, int> status;  // path -> modem-status word (absent: cannot open)
    std::vector<std::string> opened;    // every successful open, in order
    std::vector<std::string> tried;     // every open, successful or not
    std::vector<int> lineWrites;        // every setLines mode
    int openCount = 0;                  // currently open descriptors
    std::string current;
    int descriptor = 3;                 // what a successful open returns

    void plug(const std::string& path, bool dcd, bool cts) {
        status[path] = (dcd ? kLineCar : 0) | (cts ? kLineCts : 0);
    }
    // Pulled out: the port no longer opens and its open descriptor reads nothing.
    void unplug(const std::string& path) { status.erase(path); }
    int open(const char* path) override {
        tried.push_back(path);
        if (status.count(path) == 0) return -1;
        current = path;
        opened.push_back(path);
        ++openCount;
        return descriptor;
    }
    bool isOpen() const override { return !current.empty(); }
    int setLines(int mode) override {
        if (!isOpen()) return 0;
        lineWrites.push_back(mode);
        return 0;
    }
    int readStatus() override {
        auto it = status.find(current);
        return isOpen() && it != status.end() ? it->second : 0;
    }
    void close() override {
        if (!current.empty()) --openCount;
        current.clear();
    }
};

// Paths as devices: each path names the device it leads to (absent: nothing there).
class FakeIdentity : public DeviceIdentity {
public:
    std::map<std::string, uint64_t> devices;
    DeviceId identify(const char* path) override {
        DeviceId id;
        auto it = devices.find(path);
        if (it == devices.end()) return id;
        id.found = id.device = true;
        id.a = it->second;
        return id;
    }
};

class FakeClock : public Clock {
public:
    int64_t t = 1'000'000;
    long slept = 0;
    int64_t now() override { return t; }
    void sleepMicros(long usec) override { slept += usec; }
};

class FakeShell : public Shell {
public:
    std::vector<std::string> commands;
    int run(const char* command) override {
        commands.push_back(command);
        return 0;
    }
};

class RecordingEvents : public EventSink {
public:
    std::vector<int32_t> kinds;
    int flushes = 0;
    void recordEvent(int32_t kind) override { kinds.push_back(kind); }
    void flush() override { ++flushes; }
};

class RecordingNotifier : public Notifier {
public:
    std::vector<int32_t> queued;
    int starts = 0;
    unsigned wanted = 0;                 // kinds wanted whatever the flags (bits)
    std::vector<int32_t> ticks;          // seconds left of each tick
    std::vector<int32_t> leftAtQueue;    // the last tick's value at each queueing
    void queueEvent(int32_t kind) override {
        queued.push_back(kind);
        leftAtQueue.push_back(ticks.empty() ? -2 : ticks.back());
    }
    bool wantsEvent(int32_t kind) const override { return (wanted & (1u << kind)) != 0; }
    void tick(int32_t secondsLeft) override { ticks.push_back(secondsLeft); }
    void startWorkerIfIdle() override {
        if (!queued.empty()) ++starts;
    }
};

class RecordingPublisher : public StatusPublisher {
public:
    std::vector<ServedState> states;
    std::vector<std::string> ports;
    int shutdowns = 0;
    std::function<void()> onShutdown;
    void publish(const ServedState& state) override {
        states.push_back(state);
        ports.push_back(state.port);
    }
    void shutdownFollowers() override {
        ++shutdowns;
        if (onShutdown) onShutdown();
    }
};

class FakeDesktopView : public DesktopView {
public:
    int repaints = 0;
    bool blinking = false;
    int countdownPeriod = 0;
    void repaint() override { ++repaints; }
    void setBlinking(bool on) override { blinking = on; }
    void ensureCountdownTimer(int32_t periodSec) override {
        if (countdownPeriod == 0) countdownPeriod = periodSec;
    }
};

class FakeConsoleView : public ConsoleView {
public:
    std::vector<std::string> painted;
    void showDetecting() override { painted.push_back("detecting"); }
    void showNotInstalled() override { painted.push_back("not installed"); }
    void showInstalled(const char* port) override { painted.push_back(std::string("installed ") + port); }
    void showBatteryLow() override { painted.push_back("battery low"); }
    void showAcFail() override { painted.push_back("ac fail"); }
    void showCountDown(int32_t s) override { painted.push_back("count " + std::to_string(s)); }
};

// An engine of either edition wired to all the fakes above, with the
// edition's default settings and a UPS with mains present on /dev/ttyS0.
struct EngineRig {
    explicit EngineRig(Edition e) : edition(e), engine(e, s, line, clock, shell, events, &notifier) {
        std::memset(&s, 0, sizeof s);
        storeDefaults(s, e);
        s.pagerPort = kPortNone;  // keep both candidate ports available
        line.plug("/dev/ttyS0", true, true);
    }

    Edition edition;
    UpsSettings s{};
    FakeLine line;
    FakeClock clock;
    FakeShell shell;
    RecordingEvents events;
    RecordingNotifier notifier;
    FakeDesktopView view;
    FakeConsoleView console;
    MonitorEngine engine;
};

}  // namespace qor::test
