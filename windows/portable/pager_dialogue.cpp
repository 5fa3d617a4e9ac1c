#include "pager_dialogue.h"

#include "entry_lists.h"
#include "pager_digits.h"
#include "registry_values.h"

namespace qorwin {
namespace {

// A modem takes a command up to CR: a line end inside a stored text would
// split it into commands nobody typed.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::string OwnValue(SettingsStore& store, const char* name) {
    char buf[kModemStringSize] = {};
    return ReadText(store, name, buf, sizeof buf) ? OneLine(buf) : std::string();
}

}  // namespace

std::string PagerNumberOf(const std::string& entry) {
    std::size_t blank = entry.find(' ');
    return OneLine(blank == std::string::npos ? entry : entry.substr(0, blank));
}

std::string PagerDialLine(const std::string& prefix, const std::string& number, int code) {
    std::string p = OneLine(prefix);
    std::string head = p.empty() ? std::string("ATDT") : "ATDT" + p + ",";
    return qor::common::pagerDialText(head.c_str(), OneLine(number).c_str(), ",,,,,", code) + "\r\n";
}

int DataBitsOf(int index) { return index + 4; }

PagerPlan BuildPagerPlan(SettingsStore& store, const unsigned char* list, std::size_t size, int code) {
    PagerPlan plan;
    unsigned char setting[kModemSettingSize] = {};
    if (ReadBlock(store, value::kModemSetting, setting, sizeof setting))
        plan.fields = ParseDialerSetting(setting, sizeof setting, plan.line);
    std::string init = OwnValue(store, value::kSpecialInitString);
    std::string prefix = OwnValue(store, value::kDialingPrefix);
    if (init.empty()) init = plan.line.initString;
    if (prefix.empty()) prefix = plan.line.dialPrefix;
    // The page offers no way to type a line end, and without one the modem
    // would take the text and the dial command that follows as one command.
    if (!init.empty()) plan.init = init + "\r\n";
    for (const std::string& entry : ParseEntryList(list, size)) {
        std::string number = PagerNumberOf(entry);
        if (!number.empty()) plan.dialLines.push_back(PagerDialLine(prefix, number, code));
    }
    return plan;
}

void RunPagerCalls(PagerLine& line, const PagerPlan& plan) {
    line.Write(kPagerResetLine);
    line.Pause(kPagerResetWaitMs);
    if (!plan.init.empty()) {
        line.Write(plan.init);
        line.Pause(kPagerInitWaitMs);
        line.ReadByte();
    }
    for (const std::string& dial : plan.dialLines) {
        line.Write(dial);
        line.Pause(kPagerCallWaitMs);
        line.Write(kPagerHangupLine);
        line.Pause(kPagerHangupWaitMs);
    }
}

}  // namespace qorwin
