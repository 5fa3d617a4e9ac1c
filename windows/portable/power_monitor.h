// The power state machine of the main dialog's line poll (timer 1) and the
// shutdown countdown (timer 2), apart from Win32: the line comes in through
// the host's probe, the settings through a SettingsStore read on every tick,
// and everything the monitor does goes out through the host.
#pragma once

#include <cstdint>

#include "registry_values.h"
#include "settings_store.h"
#include "string_ids.h"

namespace qorwin {

// Countdown seconds before one is armed, and after a shutdown was started.
inline constexpr std::uint32_t kCountdownUnarmed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kCountdownSpent = 9999;

// The three status lines by text number; the countdown line with 1028 also
// carries the seconds left.
struct DisplayTexts {
    unsigned ac;
    unsigned battery;
    unsigned countdown;
    std::uint32_t seconds;
};

class MonitorHost {
public:
    virtual ~MonitorHost() = default;
    // LineProbe with SETRTS: the modem status word, or -1.
    virtual std::int32_t Probe(const char* portName) = 0;
    virtual void ShowTexts(const DisplayTexts& texts) = 0;
    virtual void Log(unsigned textId) = 0;
    virtual void ShowWarning(int kind, std::uint32_t seconds) = 0;
    virtual void PostPager(int code) = 0;
    virtual void PostMail(int kind) = 0;
    virtual void Repaint() = 0;  // with erase: the animation changes its set
    // Timer 2: (re)started with 1000 ms, or stopped.
    virtual void StartCountdown() = 0;
    virtual void StopCountdown() = 0;
    virtual void ClosePopup() = 0;
    virtual void RunShutdown() = 0;
    // A monotonic clock in milliseconds: the countdown is measured against
    // it, so a late or skipped tick never stretches it.
    virtual std::uint64_t NowMs() = 0;
};

// What a countdown setting stands for before the configuration dialog has
// stored it: the value that dialog starts from.
inline constexpr std::uint32_t kUnsetSettingValue = 1;

// Minutes (or seconds, for "Interval") of a countdown setting; missing: 1.
std::uint32_t ReadCountdownSetting(SettingsStore& store, const char* name);
// The reminder rule: W x 60 >= remaining, remaining != 0 and the difference a
// multiple of the interval (an interval of 0 counts as 1).
bool ReminderDue(std::uint32_t warningMinutes, std::uint32_t intervalSeconds, std::uint32_t remaining);
// ReminderDue for any of the counts from `before` - 1 down to `now`: the
// counts a tick passed over (one when the ticks come on time).
bool ReminderDueBetween(std::uint32_t warningMinutes, std::uint32_t intervalSeconds, std::uint32_t now,
                        std::uint32_t before);
// Minutes to seconds, saturated below kCountdownUnarmed.
std::uint32_t MinutesToSeconds(std::uint32_t minutes);

// Channels an event is raised on, from its registry value and "Enable
// Notification" (bit 0 lets e-mail through, bit 1 the pager).
struct Channels {
    bool popup = false;
    bool mail = false;
    bool pager = false;
};
Channels EventChannelsOf(SettingsStore& store, const char* eventValue, std::uint32_t enableNotification);

class PowerMonitor {
public:
    explicit PowerMonitor(MonitorHost& host) : host_(host) {}

    // Timer 1: one look at the line of the stored "Port".
    void OnLineTick(SettingsStore& store, int portNumber);
    // Timer 2: the running countdown, brought up to the clock.
    void OnCountdownTick(SettingsStore& store);
    // The pop-up's cancel. The answer: 1 when a countdown was stopped, 0 when
    // none was running (nothing is logged then).
    int Cancel();

    std::uint32_t acFailSeconds() const { return acFailSeconds_; }
    std::uint32_t batteryLowSeconds() const { return batteryLowSeconds_; }
    int acFailSeen() const { return acFailSeen_; }
    int batteryLowSeen() const { return batteryLowSeen_; }
    int acOk() const { return acOk_; }
    bool countdownRunning() const { return countdownRunning_; }
    // The last port whose probe answered: while a countdown runs and the
    // chosen port gives no answer (NONE, not found, failing), its line is the
    // one watched, so a power return there still ends the countdown.
    const char* watchedPort() const { return watched_; }
    const DisplayTexts& texts() const { return texts_; }

private:
    void Refresh() { host_.ShowTexts(texts_); }
    // Timer 2 (re)started for the counter that counts from now on.
    void Restart(std::uint32_t& counter);
    void Stop();
    void Step(std::uint32_t& remaining, int reminderKind, SettingsStore& store);

    MonitorHost& host_;
    std::uint32_t acFailSeconds_ = kCountdownUnarmed;
    std::uint32_t batteryLowSeconds_ = kCountdownUnarmed;
    int acFailSeen_ = 0;
    int batteryLowSeen_ = 0;
    int acOk_ = 1;
    bool countdownRunning_ = false;
    char watched_[kPortBufferSize] = {};
    // The counter that counts, and its value at the clock's baseMs_.
    const std::uint32_t* baseCounter_ = nullptr;
    std::uint32_t baseSeconds_ = 0;
    std::uint64_t baseMs_ = 0;
    // The captions the dialog starts with.
    DisplayTexts texts_{text::kAcFailure, text::kBatteryLow, text::kCountdownCancelled, 0};
};

}  // namespace qorwin
