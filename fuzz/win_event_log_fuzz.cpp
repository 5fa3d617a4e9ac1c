// "Halvora.log" and "BTUPSSAV.LOG" of any content, read the way the profile
// functions read an INI file: the Review History text, the ShutDown Status
// text, the ring of 500 entries written on top, and the two Clear buttons.
#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "event_log.h"
#include "fuzz_support.h"

using namespace qorwin;

namespace {

bool sameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

// Sections of lines, names and keys without regard to case, values trimmed,
// lists NUL-separated and cut with a double NUL as the profile functions cut
// them. A NUL in the file ends its line there, as it ends a C string.
class TextIni : public IniFile {
public:
    explicit TextIni(const std::string& text) {
        std::size_t i = 0;
        while (i <= text.size()) {
            std::size_t end = text.find('\n', i);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(i, end - i);
            line = trim(line.substr(0, line.find('\0')));
            i = end + 1;
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                std::size_t close = line.find(']');
                sections_.push_back({trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            } else if (!sections_.empty()) {
                sections_.back().second.push_back(line);
            }
        }
    }

    void GetString(const char* section, const char* key, const char* def, char* out, std::size_t size) override {
        std::string v = def;
        if (auto* s = find(section))
            for (const std::string& line : *s) {
                std::size_t eq = line.find('=');
                if (eq != std::string::npos && sameName(trim(line.substr(0, eq)), key)) {
                    v = trim(line.substr(eq + 1));
                    break;
                }
            }
        copyOut(v, out, size);
    }
    bool WriteString(const char* section, const char* key, const char* value) override {
        auto* s = find(section);
        if (s == nullptr) {
            sections_.push_back({section, {}});
            s = &sections_.back().second;
        }
        std::string line = std::string(key) + "=" + value;
        for (std::string& l : *s) {
            std::size_t eq = l.find('=');
            if (eq != std::string::npos && sameName(trim(l.substr(0, eq)), key)) {
                l = line;
                return true;
            }
        }
        s->push_back(line);
        return true;
    }
    // Every section of the name goes (a file edited by hand may repeat one).
    bool DeleteSection(const char* section) override {
        std::size_t before = sections_.size();
        for (auto it = sections_.begin(); it != sections_.end();)
            it = sameName(it->first, section) ? sections_.erase(it) : it + 1;
        return sections_.size() != before;
    }
    std::size_t SectionNames(char* out, std::size_t size) override {
        std::vector<std::string> names;
        for (auto& s : sections_) names.push_back(s.first);
        return list(names, out, size);
    }
    std::size_t Section(const char* section, char* out, std::size_t size) override {
        auto* s = find(section);
        return list(s ? *s : std::vector<std::string>(), out, size);
    }
    // Whether SectionNames can list every section: none has an empty name
    // (it would end the list) and all fit the buffer.
    bool listable(std::size_t size) const {
        std::size_t used = 1;
        for (auto& s : sections_) {
            if (s.first.empty()) return false;
            used += s.first.size() + 1;
        }
        return sections_.size() <= 260 && used < size;
    }

private:
    std::vector<std::string>* find(const char* name) {
        for (auto& s : sections_)
            if (sameName(s.first, name)) return &s.second;
        return nullptr;
    }
    static void copyOut(const std::string& v, char* out, std::size_t size) {
        if (size == 0) return;
        std::size_t n = v.size() < size ? v.size() : size - 1;
        std::memcpy(out, v.data(), n);
        out[n] = '\0';
    }
    static std::size_t list(const std::vector<std::string>& items, char* out, std::size_t size) {
        if (size < 2) return 0;
        std::string all;
        for (const auto& i : items) all += i + '\0';
        std::size_t n = all.size() < size - 1 ? all.size() : size - 2;
        std::memcpy(out, all.data(), n);
        out[n] = out[n + 1] = '\0';
        return n;
    }

    std::vector<std::pair<std::string, std::vector<std::string>>> sections_;
};

std::size_t lines(const std::string& text) {
    if (text.empty()) return 0;
    std::size_t n = 1;
    for (std::size_t i = 0; (i = text.find("\r\n", i)) != std::string::npos; i += 2) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    qor::fuzz::Cursor in(data, size);
    LogTime t{in.u16() - 1000, in.byte() - 100, in.byte() - 100, in.byte() - 100, in.byte() - 100};
    std::string eventText = in.piece(400);
    TextIni log(in.rest());

    char count[10];  // what the log reads Count into: 9 characters
    log.GetString(kLogCountSection, kLogCountKey, "0", count, sizeof count);
    std::string history = HistoryText(log);
    FUZZ_CHECK(lines(history) <= static_cast<std::size_t>(kLogRingSize));
    for (std::size_t i = 0, end; i < history.size(); i = end + 2) {
        end = history.find("\r\n", i);
        if (end == std::string::npos) end = history.size();
        FUZZ_CHECK(end - i <= kHistoryEntryMax);
    }

    std::string status = ShutdownStatusText(log);
    FUZZ_CHECK(status.size() <= 200 * 2048 * 4);

    char entry[kLogEntryMax];
    FormatLogEntry(t, eventText.c_str(), entry, sizeof entry);
    FUZZ_CHECK(std::strlen(entry) < kLogEntryMax);
    for (const char* p = entry; *p; ++p) FUZZ_CHECK(static_cast<unsigned char>(*p) >= 0x20);

    int expected = NextLogIndex(count);
    FUZZ_CHECK(expected >= 1 && expected <= kLogRingSize);
    int n = AppendLogEntry(log, t, eventText.c_str());
    FUZZ_CHECK(n == expected);
    char back[kLogEntryMax + 1];
    log.GetString(kLogStatusSection, std::to_string(n).c_str(), "", back, sizeof back);
    FUZZ_CHECK(back == trim(entry));
    log.GetString(kLogCountSection, kLogCountKey, "0", count, sizeof count);
    FUZZ_CHECK(std::atoi(count) == n);
    FUZZ_CHECK(lines(HistoryText(log)) == static_cast<std::size_t>(n));

    ClearHistory(log);
    FUZZ_CHECK(HistoryText(log).empty());
    bool all = log.listable(260 * 201);
    ClearShutdownStatus(log);
    if (all) FUZZ_CHECK(ShutdownStatusText(log).empty());
    return 0;
}
