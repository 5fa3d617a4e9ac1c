#include "event_log.h"

#include <cstdio>
#include <vector>

namespace qorwin {
namespace {

constexpr std::size_t kCountTextMax = 10;         // 9 characters and the NUL
constexpr std::size_t kSectionNamesSize = 200;
constexpr std::size_t kSectionSize = 2048;
constexpr std::size_t kClearNamesSize = 260 * 201;
constexpr int kClearMaxSections = 260;

// The strings of a NUL-separated list ended by an empty one (or by the buffer).
std::vector<std::string> SplitList(const char* buf, std::size_t size) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < size && buf[i] != '\0') {
        std::size_t start = i;
        while (i < size && buf[i] != '\0') ++i;
        out.emplace_back(buf + start, i - start);
        ++i;
    }
    return out;
}

std::string TrimEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

void AppendEntry(std::string& text, const std::string& time, const std::string& title, const std::string& path) {
    if (!text.empty()) text += "\r\n";
    text += "[" + time + "]\r\n" + title + "=" + path;
}

// The Count text as a number; anything but digits (a sign too) counts as 0.
int StoredCount(const char* countText) {
    long v = 0;
    for (const char* p = countText; p && *p >= '0' && *p <= '9'; ++p)
        if (v <= kLogRingSize) v = v * 10 + (*p - '0');
    return static_cast<int>(v);
}

}  // namespace

void FormatLogEntry(const LogTime& t, const char* text, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    int n = std::snprintf(out, size, "%02d/%02d/%04d  %02d:%02d  :%s", t.month, t.day, t.year, t.hour, t.minute,
                          text ? text : "");
    std::size_t len = n < 0 ? 0 : static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : size - 1;
    for (std::size_t i = 0; i < len; ++i)
        if (static_cast<unsigned char>(out[i]) < 0x20) out[i] = ' ';
}

int NextLogIndex(const char* countText) {
    int v = StoredCount(countText);
    return (v >= kLogRingSize ? 0 : v) + 1;
}

int AppendLogEntry(IniFile& log, const LogTime& t, const char* text) {
    char count[kCountTextMax] = {};
    log.GetString(kLogCountSection, kLogCountKey, "0", count, sizeof count);
    const int n = NextLogIndex(count);
    char key[16];
    std::snprintf(key, sizeof key, "%d", n);
    char entry[kLogEntryMax];
    FormatLogEntry(t, text, entry, sizeof entry);
    log.WriteString(kLogStatusSection, key, entry);
    log.WriteString(kLogCountSection, kLogCountKey, key);
    return n;
}

std::string HistoryText(IniFile& log) {
    char count[kCountTextMax] = {};
    log.GetString(kLogCountSection, kLogCountKey, "0", count, sizeof count);
    int last = StoredCount(count);
    if (last > kLogRingSize) last = kLogRingSize;
    std::string text;
    for (int i = 1; i <= last; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", i);
        char entry[kHistoryEntryMax + 1] = {};
        log.GetString(kLogStatusSection, key, "No Value", entry, sizeof entry);
        if (i > 1) text += "\r\n";
        text += entry;
    }
    return text;
}

void ClearHistory(IniFile& log) {
    log.DeleteSection(kLogCountSection);
    log.DeleteSection(kLogStatusSection);
}

std::string ShutdownStatusText(IniFile& log) {
    char names[kSectionNamesSize] = {};
    log.SectionNames(names, sizeof names);
    std::string text;
    for (const std::string& title : SplitList(names, sizeof names)) {
        std::vector<char> section(kSectionSize, '\0');
        log.Section(title.c_str(), section.data(), section.size());
        // A key with its line feed reads back as two strings, the time and
        // "=path"; a plain line reads back as "time=path".
        std::string pending;
        bool hasPending = false;
        for (const std::string& s : SplitList(section.data(), section.size())) {
            std::size_t eq = s.find('=');
            if (eq == 0 && hasPending) {
                AppendEntry(text, pending, title, s.substr(1));
                hasPending = false;
            } else if (eq != std::string::npos && eq > 0) {
                if (hasPending) AppendEntry(text, pending, title, "");
                AppendEntry(text, TrimEnd(s.substr(0, eq)), title, s.substr(eq + 1));
                hasPending = false;
            } else {
                if (hasPending) AppendEntry(text, pending, title, "");
                pending = TrimEnd(eq == 0 ? std::string() : s);
                hasPending = eq != 0;
            }
        }
        if (hasPending) AppendEntry(text, pending, title, "");
    }
    return text;
}

void ClearShutdownStatus(IniFile& log) {
    std::vector<char> names(kClearNamesSize, '\0');
    log.SectionNames(names.data(), names.size());
    int n = 0;
    for (const std::string& title : SplitList(names.data(), names.size())) {
        if (n++ == kClearMaxSections) break;
        log.DeleteSection(title.c_str());
    }
}

}  // namespace qorwin
