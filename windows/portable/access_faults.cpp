#include "access_faults.h"

namespace qorwin {

AccessFaults& ProcessAccessFaults() {
    static AccessFaults faults;
    return faults;
}

std::string FaultLine(unsigned faults) {
    std::string line;
    if (faults & kFaultSettingsKey)
        line = "NOT PROTECTED: no full access to the settings key HKLM\\Software\\Brantel\\Halvora\\Qor "
               "(run Halvora as administrator).";
    if (faults & kFaultEventLog) {
        if (!line.empty()) line += ' ';
        line += "Halvora.log in the Windows folder cannot be written: events are not logged.";
    }
    return line;
}

std::string FaultNoticeText(unsigned faults) {
    std::string text;
    if (faults & kFaultSettingsKey) text = "No full access to its settings key: run Halvora as administrator.";
    if (faults & kFaultEventLog) {
        if (!text.empty()) text += ' ';
        text += "Halvora.log cannot be written.";
    }
    return text;
}

}  // namespace qorwin
