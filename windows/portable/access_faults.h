// Faults that leave the machine unprotected without anything failing loudly:
// the settings key cannot be opened with full access (no administrator
// rights), or the event log cannot be written. Each access reports its
// outcome; the main dialog shows a line and the tray a notice while one lasts.
#pragma once

#include <atomic>
#include <string>

namespace qorwin {

enum AccessFault : unsigned {
    kFaultSettingsKey = 1u << 0,  // HKLM key: open, create or write refused
    kFaultEventLog = 1u << 1,     // Halvora.log in the Windows folder not writable
};

// The outcomes so far: a fault lasts from a failed access to the next one of
// the same kind that succeeds. Any thread may report.
class AccessFaults {
public:
    void Report(AccessFault kind, bool ok) {
        if (ok)
            faults_.fetch_and(~static_cast<unsigned>(kind));
        else
            faults_.fetch_or(kind);
    }
    unsigned Current() const { return faults_.load(); }

private:
    std::atomic<unsigned> faults_{0};
};

// The one record of the process.
AccessFaults& ProcessAccessFaults();

// The main dialog's fault line for a set of faults ("" when none).
std::string FaultLine(unsigned faults);
// The same, short, for the tray's notice.
std::string FaultNoticeText(unsigned faults);

// The tray's notice: shown once when a fault appears (a fault that clears and
// comes back is shown again), never repeated while it lasts.
class FaultNotice {
public:
    // True when the current set holds a fault not yet shown.
    bool Due(unsigned faults) {
        const bool due = (faults & ~shown_) != 0;
        shown_ = faults;
        return due;
    }

private:
    unsigned shown_ = 0;
};

inline constexpr char kFaultNoticeTitle[] = "Halvora: the UPS does not protect this machine";
// The tray tip while a fault lasts.
inline constexpr char kFaultTip[] = "Halvora: NOT PROTECTED - open the main window";

}  // namespace qorwin
