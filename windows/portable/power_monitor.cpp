#include "power_monitor.h"

#include <cstring>

#include "event_value.h"
#include "line_status.h"
#include "registry_values.h"
#include "text_format.h"
#include "warning_text.h"

namespace qorwin {

std::uint32_t ReadCountdownSetting(SettingsStore& store, const char* name) {
    std::uint32_t v = kUnsetSettingValue;
    ReadDword(store, name, v);
    return v;
}

bool ReminderDue(std::uint32_t warningMinutes, std::uint32_t intervalSeconds, std::uint32_t remaining) {
    if (remaining == 0) return false;
    const std::uint64_t lead = static_cast<std::uint64_t>(warningMinutes) * 60u;
    if (lead < remaining) return false;
    const std::uint64_t every = intervalSeconds == 0 ? 1u : intervalSeconds;
    return (lead - remaining) % every == 0;
}

bool ReminderDueBetween(std::uint32_t warningMinutes, std::uint32_t intervalSeconds, std::uint32_t now,
                        std::uint32_t before) {
    if (before <= now) return false;
    const std::uint64_t lead = static_cast<std::uint64_t>(warningMinutes) * 60u;
    const std::uint64_t lo = now == 0 ? 1u : now;
    const std::uint64_t hi = before - 1u < lead ? before - 1u : lead;
    if (lo > hi) return false;
    const std::uint64_t every = intervalSeconds == 0 ? 1u : intervalSeconds;
    // The largest count at or below hi that the rule names.
    const std::uint64_t back = (every - (lead - hi) % every) % every;
    return hi >= lo + back;
}

std::uint32_t MinutesToSeconds(std::uint32_t minutes) {
    const std::uint64_t s = static_cast<std::uint64_t>(minutes) * 60u;
    return s >= kCountdownUnarmed ? kCountdownUnarmed - 1 : static_cast<std::uint32_t>(s);
}

Channels EventChannelsOf(SettingsStore& store, const char* eventValue, std::uint32_t enableNotification) {
    Channels c;
    unsigned char bytes[kEventValueMaxSize] = {};
    if (!ReadBlock(store, eventValue, bytes, sizeof bytes)) return c;
    const int mask = ParseEventValue(bytes, sizeof bytes).channels;
    c.popup = (mask & kChannelPopup) != 0;
    c.mail = (mask & kChannelEmail) != 0 && (enableNotification & 1u) != 0;
    c.pager = (mask & kChannelPager) != 0 && (enableNotification & 2u) != 0;
    return c;
}

void PowerMonitor::Restart(std::uint32_t& counter) {
    host_.StopCountdown();
    host_.StartCountdown();
    countdownRunning_ = true;
    baseCounter_ = &counter;
    baseSeconds_ = counter;
    baseMs_ = host_.NowMs();
}

void PowerMonitor::Stop() {
    host_.StopCountdown();
    countdownRunning_ = false;
}

void PowerMonitor::OnLineTick(SettingsStore& store, int portNumber) {
    std::uint32_t enable = 0;
    ReadDword(store, value::kEnableNotification, enable);
    const Channels batteryLow = EventChannelsOf(store, value::kBatteryLow, enable);
    const Channels restored = EventChannelsOf(store, value::kPowerRestored, enable);
    const Channels acFail = EventChannelsOf(store, value::kPowerFailWarning, enable);

    char port[kPortBufferSize] = {};
    ReadText(store, value::kPort, port, sizeof port);
    const bool chosen = portNumber != 0 && std::strcmp(port, "NONE") != 0;
    // A failed probe (also a port that would not raise RTS) says nothing about the UPS.
    std::int32_t status = chosen ? host_.Probe(port) : kProbeFailed;
    if (status != kProbeFailed) {
        CopyText(watched_, sizeof watched_, port);
    } else if (countdownRunning_ && watched_[0] != '\0' && !(chosen && std::strcmp(port, watched_) == 0)) {
        // A new port that gives no answer (a detection during battery low
        // finds none) must not leave the countdown blind: the line it ran on
        // stays watched until the chosen port answers.
        status = host_.Probe(watched_);
    }
    if (status == kProbeFailed) return;

    switch (ClassifyLine(static_cast<std::uint32_t>(status))) {
    case PowerState::Normal:
        if (acFailSeen_ == 1 || batteryLowSeen_ == 1) {
            host_.Log(text::kLogPowerRestored);
            if (restored.popup) host_.ShowWarning(kWarnPowerRestored, 0);
            if (restored.pager) host_.PostPager(2);
            if (restored.mail) host_.PostMail(0);
            acOk_ = 1;
            host_.Repaint();
        }
        acOk_ = 1;
        acFailSeen_ = 0;
        batteryLowSeen_ = 0;
        texts_.ac = text::kAcNormal;
        texts_.battery = text::kBatteryNormal;
        texts_.countdown = text::kCountdownNormal;
        Stop();
        Refresh();
        break;
    case PowerState::AcFail:
        texts_.ac = text::kAcFailure;
        texts_.battery = text::kBatteryNormal;
        Refresh();
        if (acFailSeen_ == 0) {
            acFailSeconds_ = MinutesToSeconds(ReadCountdownSetting(store, value::kBatteryLife));
            // While the battery is low its countdown is the one that counts.
            Restart(batteryLowSeen_ == 1 ? batteryLowSeconds_ : acFailSeconds_);
            host_.Log(text::kLogAcFailure);
            if (acFail.popup) host_.ShowWarning(kWarnAcFailure, acFailSeconds_);
            if (acFail.pager) host_.PostPager(1);
            if (acFail.mail) host_.PostMail(2);
            host_.Repaint();
        }
        acOk_ = 0;
        acFailSeen_ = 1;
        break;
    case PowerState::BatteryLow:
        texts_.ac = text::kAcFailure;
        texts_.battery = text::kBatteryLow;
        Refresh();
        if (batteryLowSeen_ == 0) {
            batteryLowSeconds_ = MinutesToSeconds(ReadCountdownSetting(store, value::kBatteryLowLife));
            Restart(batteryLowSeconds_);
            host_.Log(text::kLogBatteryLow);
            if (batteryLow.popup) host_.ShowWarning(kWarnBatteryLow, batteryLowSeconds_);
            if (batteryLow.pager) host_.PostPager(3);
            if (batteryLow.mail) host_.PostMail(1);
        }
        acOk_ = 0;
        batteryLowSeen_ = 1;
        break;
    }
}

void PowerMonitor::Step(std::uint32_t& remaining, int reminderKind, SettingsStore& store) {
    const std::uint64_t now = host_.NowMs();
    if (baseCounter_ != &remaining) {
        // Not armed through Restart: count this tick as one second.
        baseCounter_ = &remaining;
        baseSeconds_ = remaining;
        baseMs_ = now - 1000u;
    }
    // Whole seconds since the base, to the nearest: a tick a little early or
    // late counts as the second it stands for.
    const std::uint64_t elapsed = (now - baseMs_ + 500u) / 1000u;
    const std::uint32_t before = remaining;
    remaining = elapsed >= baseSeconds_ ? 0u : baseSeconds_ - static_cast<std::uint32_t>(elapsed);
    texts_.countdown = text::kCountdownFormat;
    texts_.seconds = remaining;
    Refresh();
    const std::uint32_t w = ReadCountdownSetting(store, value::kWarningTime);
    const std::uint32_t i = ReadCountdownSetting(store, value::kInterval);
    if (ReminderDueBetween(w, i, remaining, before)) host_.ShowWarning(reminderKind, remaining);
}

void PowerMonitor::OnCountdownTick(SettingsStore& store) {
    if (batteryLowSeen_ == 1)
        Step(batteryLowSeconds_, kWarnBatteryLowReminder, store);
    else if (acFailSeen_ == 1)
        Step(acFailSeconds_, kWarnAcFailureReminder, store);

    // Only a countdown armed in this failure ends it: a counter left at 0 by an
    // earlier one must not shut the machine down at once.
    const bool acEnded = acFailSeen_ == 1 && acFailSeconds_ == 0;
    const bool lowEnded = batteryLowSeen_ == 1 && batteryLowSeconds_ == 0;
    if (!acEnded && !lowEnded) return;
    Stop();
    acFailSeconds_ = kCountdownSpent;
    batteryLowSeconds_ = kCountdownSpent;
    host_.Log(text::kLogShutdownStarted);
    host_.ClosePopup();
    host_.RunShutdown();
}

int PowerMonitor::Cancel() {
    // After the countdown has ended the shutdown is under way: nothing to cancel.
    if (!countdownRunning_) return 0;
    Stop();
    texts_.countdown = text::kCountdownCancelled;
    Refresh();
    host_.Log(text::kLogShutdownCancelled);
    return 1;
}

}  // namespace qorwin
