#include "monitor_engine.h"

#include <cstdint>
#include <cstring>

#include "bounded_text.h"
#include "port_tables.h"

namespace qor {

int32_t minutesToSec(int32_t minutes) {
    int64_t sec = static_cast<int64_t>(minutes) * 60;
    if (sec > INT32_MAX) return INT32_MAX;
    if (sec < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(sec);
}

MonitorEngine::MonitorEngine(Edition edition, UpsSettings& settings, UpsLine& line, Clock& clock,
                             Shell& shell, EventSink& events, Notifier* notifier)
    : edition_(edition), s_(settings), line_(line), clock_(clock), shell_(shell), events_(events),
      notifier_(notifier) {}

void MonitorEngine::setMouseLink(const char* text) {
    copyBounded(mouse_, text);
}

void MonitorEngine::setFurtherPorts(const ExtraSettings* extra, DeviceIdentity* ids, const char* mouseLinkPath) {
    extra_ = extra;
    ids_ = ids;
    mouseLinkPath_ = mouseLinkPath != nullptr ? mouseLinkPath : "";
}

// Opens and probes one candidate; true when a UPS answers, the port then stays open.
bool MonitorEngine::tryPort(const char* name) {
    if (line_.open(name) < 0) return false;
    if (line_.probeLine(clock_) != LineNoUps) {
        s_.upsState = AcOk;
        setText(s_.upsPort, name);
        return true;
    }
    line_.close();
    s_.upsState = NoUps;
    return false;
}

// A further port may be any name for any device (a by-id link to the modem),
// so it is kept from the mouse, modem and pager ports by what it leads to.
// One that leads nowhere is not opened either.
bool MonitorEngine::excludedDevice(const char* path) {
    DeviceId port = ids_->identify(path);
    if (!port.found) return true;
    if (!mouseLinkPath_.empty() && sameDevice(port, ids_->identify(mouseLinkPath_.c_str()))) return true;
    for (int32_t index : {s_.modemDevice, s_.pagerPort}) {
        const char* other = portName(index);
        if (std::strcmp(other, portName(kPortNone)) != 0 && sameDevice(port, ids_->identify(other))) return true;
    }
    return false;
}

int MonitorEngine::detectUps() {
    if (edition_ == Edition::Console) displayState_ = DisplayDetecting;
    if (line_.isOpen()) line_.close();
    for (int i = 0; i < 2; ++i) {
        const char* name = portName(i);
        bool excluded = (mouse_[0] != '\0' && std::strstr(name, mouse_) != nullptr) ||
                        std::strstr(name, portName(s_.modemDevice)) != nullptr ||
                        std::strstr(name, portName(s_.pagerPort)) != nullptr;
        if (excluded) {
            s_.upsState = NoUps;
            continue;
        }
        if (tryPort(name)) return 1;
    }
    if (extra_ == nullptr || ids_ == nullptr) return -1;
    for (const std::string& port : extra_->ports) {
        if (excludedDevice(port.c_str())) {
            s_.upsState = NoUps;
            continue;
        }
        if (tryPort(port.c_str())) return 1;
    }
    return -1;
}

void MonitorEngine::pollLine(DesktopView* view) {
    LineState probe = line_.probeLine(clock_);
    int32_t before = displayState_;
    curBits_ = 0;
    switch (probe) {
    case LineAcFail:
        s_.upsState = AcFail;
        curBits_ = StatusAcFail;
        displayState_ = DisplayAcFail;
        break;
    case LineBatteryLow:
        s_.upsState = BatteryLow;
        curBits_ = StatusBatteryLow;
        displayState_ = DisplayBatteryLow;
        break;
    case LineNoUps:
        s_.upsState = NoUps;
        curBits_ = StatusNoUps;
        displayState_ = DisplayNotInstalled;
        break;
    case LineAcOk:
        s_.upsState = AcOk;
        curBits_ = StatusNormal;
        displayState_ = DisplayNormal;
        break;
    }
    if (view != nullptr) {
        if (displayState_ != before) view->repaint();
        view->setBlinking(displayState_ >= DisplayAcFail);
    }
    // A mains failure present when the UPS is first found becomes a change only
    // on the next tick.
    if (prevState_ != s_.upsState && prevState_ == NoUps) curBits_ &= ~StatusAcFail;

    if (prevBits_ == curBits_) {
        changeMask_ = 0;
    } else {
        changeMask_ |= (prevBits_ ^ curBits_) & kAllStatusBits;
    }

    for (int32_t bit : {StatusAcFail, StatusBatteryLow}) {
        if ((changeMask_ & bit) == 0) continue;
        countDownSec_ = minutesToSec(bit == StatusAcFail ? s_.expBatMin : s_.lowBatMin);
        if (view != nullptr) {
            changeTime_ = clock_.now();
            view->repaint();
            view->ensureCountdownTimer(s_.periodSec);
        }
    }
}

void MonitorEngine::classifyChange(int32_t changeMask, int32_t cur) {
    int32_t kind = EvAcFail;
    if (changeMask & StatusBatteryLow) {
        kind = (cur & StatusBatteryLow) ? EvBatteryLow : EvAcFail;
    } else if (changeMask & StatusAcFail) {
        kind = (cur & StatusAcFail) ? EvAcFail : EvAcRecoveried;
    } else if (edition_ == Edition::Desktop && (changeMask & StatusNoUps)) {
        kind = (cur & StatusNoUps) ? EvConnectFail : EvAcFail;
    } else {
        return;
    }
    if (notifier_ != nullptr &&
        (s_.notifyFlags[2 * kind] != 0 || s_.notifyFlags[2 * kind + 1] != 0 || notifier_->wantsEvent(kind)))
        notifier_->queueEvent(kind);
    events_.recordEvent(kind);
}

void MonitorEngine::notifierTick() {
    if (notifier_ == nullptr) return;
    bool onBattery = s_.upsState == AcFail || s_.upsState == BatteryLow;
    notifier_->tick(onBattery ? secondsLeft() : -1);
}

void MonitorEngine::endOfTick() {
    prevState_ = s_.upsState;
    prevBits_ = curBits_;
    publishState();
}

int32_t MonitorEngine::secondsLeft() const {
    bool onBattery = s_.upsState == AcFail || s_.upsState == BatteryLow;
    if (!onBattery) return minutesToSec(s_.expBatMin);
    if (edition_ == Edition::Console) return countDownSec_;
    // The desktop halts by the time since the change; its displayed count-down
    // only steps with its own timer.
    int32_t allowed = minutesToSec((curBits_ & StatusBatteryLow) ? s_.lowBatMin : s_.expBatMin);
    if (changeTime_ == 0) return allowed;  // found on battery: the count-down starts with the next tick
    int64_t left = static_cast<int64_t>(allowed) - (clock_.now() - changeTime_);
    if (left < 0) return 0;
    return left > INT32_MAX ? INT32_MAX : static_cast<int32_t>(left);
}

void MonitorEngine::publishState() {
    if (publisher_ == nullptr) return;
    ServedState state;
    state.upsState = s_.upsState;
    state.secondsLeft = secondsLeft();
    state.port = s_.upsPort;
    publisher_->publish(state);
}

void MonitorEngine::halt() {
    // The followers shut down first: the shutdown signal may make the UPS cut
    // its output.
    if (publisher_ != nullptr) publisher_->shutdownFollowers();
    line_.signalShutdown();
    // The halt command signals every process on a current system; keep the
    // events of this run before it does.
    events_.flush();
    shell_.run(kHaltCommand);
}

bool MonitorEngine::desktopTick(DesktopView& view) {
    if (s_.upsState == NoUps && detectUps() < 0) {
        displayState_ = DisplayNotInstalled;
        view.repaint();
        notifierTick();
        publishState();
        return false;
    }
    pollLine(&view);
    notifierTick();
    if (changeMask_ != 0) {
        classifyChange(changeMask_, curBits_);
        if (notifier_ != nullptr) notifier_->startWorkerIfIdle();
    }
    endOfTick();
    return checkShutdown();
}

bool MonitorEngine::checkShutdown() {
    if (changeMask_ != 0) return false;
    int64_t elapsed = clock_.now() - changeTime_;
    bool due = false;
    if (curBits_ & StatusBatteryLow)
        due = elapsed >= static_cast<int64_t>(s_.lowBatMin) * 60;
    else if (curBits_ & StatusAcFail)
        due = elapsed >= static_cast<int64_t>(s_.expBatMin) * 60;
    if (due) halt();
    return due;
}

void MonitorEngine::countdown(DesktopView& view) {
    countDownSec_ -= s_.periodSec;
    view.repaint();
}

void MonitorEngine::consoleTick(ConsoleView& view) {
    if (s_.detectRequest != 0) {
        s_.detectRequest = 0;
        view.showDetecting();
        clock_.sleepMicros(1000000);
        if (detectUps() < 0) {
            notifierTick();
            publishState();
            return;
        }
    }
    if (s_.upsState == NoUps) {
        view.showNotInstalled();
        if (detectUps() < 0) {
            notifierTick();
            publishState();
            return;
        }
    }
    pollLine();
    if (s_.upsState == BatteryLow || s_.upsState == AcFail) {
        // A damaged file may hold a period below 1; step by 1 so the count-down
        // still reaches 0 instead of never halting.
        int32_t step = s_.periodSec > 0 ? s_.periodSec : 1;
        if (++tickCount_ >= step) {
            tickCount_ = 0;
            countDownSec_ -= step;
            if (countDownSec_ < 0) countDownSec_ = 0;
            shuttingDown_ = countDownSec_ == 0;
            if (shuttingDown_) halt();
        }
    }
    notifierTick();
    switch (s_.upsState) {
    case AcOk:
        view.showInstalled(s_.upsPort);
        break;
    case NoUps:
        view.showNotInstalled();
        break;
    case BatteryLow:
        view.showBatteryLow();
        view.showCountDown(countDownSec_);
        break;
    case AcFail:
        view.showAcFail();
        view.showCountDown(countDownSec_);
        break;
    default:
        break;
    }
    if (changeMask_ != 0) {
        classifyChange(changeMask_, curBits_);
        if (notifier_ != nullptr) notifier_->startWorkerIfIdle();
    }
    endOfTick();
}

}  // namespace qor
