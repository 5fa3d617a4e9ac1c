// Turns the periodic line probe into UPS states and events, counts down
// towards shutdown and halts the machine. One engine serves both editions;
// where they differ the edition decides.
#pragma once

#include <cstdint>

#include <string>

#include "device_identity.h"
#include "engine_io.h"
#include "extra_settings.h"
#include "ups_settings.h"

namespace qor {

constexpr const char* kHaltCommand = "/sbin/halt";
constexpr size_t kMouseLinkSize = 64;

// Minutes from the settings file as seconds, saturated: the file is not
// validated and a wild value must not overflow.
int32_t minutesToSec(int32_t minutes);

// What the desktop window does for the engine.
class DesktopView {
public:
    virtual ~DesktopView() = default;
    virtual void repaint() = 0;
    virtual void setBlinking(bool on) = 0;             // alarm blink timer, 2000 ms
    virtual void ensureCountdownTimer(int32_t periodSec) = 0;  // started once, never stopped
};

// The console's six status-box painters.
class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    virtual void showDetecting() = 0;
    virtual void showNotInstalled() = 0;
    virtual void showInstalled(const char* port) = 0;
    virtual void showBatteryLow() = 0;
    virtual void showAcFail() = 0;
    virtual void showCountDown(int32_t seconds) = 0;
};

class MonitorEngine {
public:
    MonitorEngine(Edition edition, UpsSettings& settings, UpsLine& line, Clock& clock, Shell& shell,
                  EventSink& events, Notifier* notifier);

    // Target text of /dev/mouse, read once at start-up (at most 63 bytes kept).
    void setMouseLink(const char* text);
    const char* mouseLink() const { return mouse_; }

    // The further ports of /etc/Qor.extra, searched after the two standard
    // ones; the settings stay the front-end's (nullptr: none). The mouse, modem
    // and pager exclusions compare these ports as devices, through `ids`, with
    // the device the mouse link `mouseLinkPath` leads to (empty: no mouse).
    void setFurtherPorts(const ExtraSettings* extra, DeviceIdentity* ids, const char* mouseLinkPath);

    // Scans /dev/ttyS0 and /dev/ttyS1 (never the mouse, modem or pager port),
    // then the further ports in their order. 1 when a UPS answers, -1 when not.
    int detectUps();
    void pollLine(DesktopView* view = nullptr);
    void classifyChange(int32_t changeMask, int32_t cur);

    // Desktop: one tick of the 2000 ms timer. True when the machine has been
    // halted and the window must close.
    bool desktopTick(DesktopView& view);
    // Desktop: true when it halted the machine.
    bool checkShutdown();
    // Desktop slot countdown(): steps the displayed count-down.
    void countdown(DesktopView& view);

    // Console: one tick, painting through the view.
    void consoleTick(ConsoleView& view);

    // Machines following this UPS over the network hear of every tick, and
    // of the end of the count-down before this machine halts.
    void setPublisher(StatusPublisher* publisher) { publisher_ = publisher; }
    // Seconds before this machine halts; the whole allowance while on mains.
    int32_t secondsLeft() const;

    int32_t prevState() const { return prevState_; }
    int32_t curBits() const { return curBits_; }
    int32_t prevBits() const { return prevBits_; }
    int32_t changeMask() const { return changeMask_; }
    // On mains, and so at the last tick too, with no change pending: a tick
    // has nothing to do until a line changes.
    bool settledOnMains() const { return s_.upsState == AcOk && prevState_ == AcOk && changeMask_ == 0; }
    int64_t changeTime() const { return changeTime_; }
    int32_t countDownSec() const { return countDownSec_; }
    void setCountDownSec(int32_t s) { countDownSec_ = s; }
    int32_t displayState() const { return displayState_; }
    // The desktop's "Detect UPS" button shows the detecting panel while it scans.
    void setDisplayState(DisplayState s) { displayState_ = s; }
    int32_t tickCount() const { return tickCount_; }
    bool shuttingDown() const { return shuttingDown_; }

private:
    void halt();
    void endOfTick();
    void notifierTick();
    bool tryPort(const char* name);
    bool excludedDevice(const char* path);
    void publishState();

    Edition edition_;
    UpsSettings& s_;
    UpsLine& line_;
    Clock& clock_;
    Shell& shell_;
    EventSink& events_;
    Notifier* notifier_;
    StatusPublisher* publisher_ = nullptr;
    char mouse_[kMouseLinkSize] = {};
    const ExtraSettings* extra_ = nullptr;
    DeviceIdentity* ids_ = nullptr;
    std::string mouseLinkPath_;

    int32_t prevState_ = 0;
    int32_t curBits_ = 0;
    int32_t prevBits_ = 0;
    int32_t changeMask_ = 0;
    int64_t changeTime_ = 0;
    int32_t countDownSec_ = 0;
    int32_t displayState_ = DisplayDetecting;
    int32_t tickCount_ = 0;
    bool shuttingDown_ = false;
};

}  // namespace qor
