#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "event_log.h"

namespace {

// An INI file in memory, with the profile functions' way of listing.
class MemoryIni : public qorwin::IniFile {
public:
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> sections;
    std::vector<std::string> rawSection;  // when set: what Section() lists

    std::map<std::string, std::string>* Find(const std::string& name) {
        for (auto& s : sections)
            if (s.first == name) return &s.second;
        return nullptr;
    }
    void GetString(const char* section, const char* key, const char* def, char* out, std::size_t size) override {
        auto* s = Find(section);
        std::string v = def;
        if (s && s->count(key)) v = (*s)[key];
        std::size_t n = v.size() < size ? v.size() : size - 1;
        std::memcpy(out, v.data(), n);
        out[n] = '\0';
    }
    bool WriteString(const char* section, const char* key, const char* value) override {
        auto* s = Find(section);
        if (!s) {
            sections.push_back({section, {}});
            s = &sections.back().second;
        }
        (*s)[key] = value;
        return true;
    }
    bool DeleteSection(const char* section) override {
        for (auto it = sections.begin(); it != sections.end(); ++it)
            if (it->first == section) {
                sections.erase(it);
                return true;
            }
        return false;
    }
    static std::size_t List(const std::vector<std::string>& items, char* out, std::size_t size) {
        std::string all;
        for (const auto& i : items) all += i + '\0';
        std::size_t n = all.size() < size - 1 ? all.size() : size - 2;
        std::memcpy(out, all.data(), n);
        out[n] = out[n + 1] = '\0';
        return n;
    }
    std::size_t SectionNames(char* out, std::size_t size) override {
        std::vector<std::string> names;
        for (auto& s : sections) names.push_back(s.first);
        return List(names, out, size);
    }
    std::size_t Section(const char* section, char* out, std::size_t size) override {
        if (!rawSection.empty()) return List(rawSection, out, size);
        std::vector<std::string> items;
        if (auto* s = Find(section))
            for (auto& kv : *s) items.push_back(kv.first + "=" + kv.second);
        return List(items, out, size);
    }
};

const qorwin::LogTime kTime{2026, 12, 8, 7, 5};

}  // namespace

TEST(HalvoraLog, EntryFormatIsBoundedAndKeepsTheFileLines) {
    char out[qorwin::kLogEntryMax];
    qorwin::FormatLogEntry(kTime, "AC power failure", out, sizeof out);
    EXPECT_STREQ(out, "12/08/2026  07:05  :AC power failure");
    qorwin::FormatLogEntry({2027, 1, 31, 23, 59}, "%s%n\r\nX", out, sizeof out);
    EXPECT_STREQ(out, "01/31/2027  23:59  :%s%n  X");  // the text is data, never a format
    std::string longText(400, 'x');
    qorwin::FormatLogEntry(kTime, longText.c_str(), out, sizeof out);
    EXPECT_EQ(std::strlen(out), sizeof out - 1);
    char tiny[8];
    qorwin::FormatLogEntry(kTime, "x", tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "12/08/2");
}

TEST(HalvoraLog, RingOfFiveHundred) {
    MemoryIni ini;
    EXPECT_EQ(qorwin::AppendLogEntry(ini, kTime, "first"), 1);
    EXPECT_EQ((*ini.Find("Log Count"))["Count"], "1");
    EXPECT_EQ((*ini.Find("Log Status"))["1"], "12/08/2026  07:05  :first");
    for (int i = 2; i <= 500; ++i) qorwin::AppendLogEntry(ini, kTime, ("e" + std::to_string(i)).c_str());
    EXPECT_EQ((*ini.Find("Log Count"))["Count"], "500");
    EXPECT_EQ((*ini.Find("Log Status"))["500"], "12/08/2026  07:05  :e500");
    EXPECT_EQ(qorwin::AppendLogEntry(ini, kTime, "wrapped"), 1);
    EXPECT_EQ((*ini.Find("Log Count"))["Count"], "1");
    EXPECT_EQ((*ini.Find("Log Status"))["1"], "12/08/2026  07:05  :wrapped");
    EXPECT_EQ((*ini.Find("Log Status"))["2"], "12/08/2026  07:05  :e2");
    // Review History then shows the one entry up to Count.
    EXPECT_EQ(qorwin::HistoryText(ini), "12/08/2026  07:05  :wrapped");

    // Counts that are not 0..499 start the ring again.
    for (const char* bad : {"-3", "abc", "", "99999999", "500", "+7"}) EXPECT_EQ(qorwin::NextLogIndex(bad), 1) << bad;
    EXPECT_EQ(qorwin::NextLogIndex("499"), 500);
    EXPECT_EQ(qorwin::NextLogIndex("0"), 1);
}

TEST(HalvoraLog, ReviewHistoryTextAndClear) {
    MemoryIni ini;
    EXPECT_EQ(qorwin::HistoryText(ini), "");
    qorwin::AppendLogEntry(ini, kTime, "one");
    qorwin::AppendLogEntry(ini, kTime, "two");
    qorwin::AppendLogEntry(ini, kTime, std::string(300, 'y').c_str());
    ini.Find("Log Status")->erase("2");
    std::string text = qorwin::HistoryText(ini);
    EXPECT_EQ(text, "12/08/2026  07:05  :one\r\nNo Value\r\n12/08/2026  07:05  :" + std::string(199 - 20, 'y'));
    // A Count beyond the ring shows at most 500 lines.
    ini.WriteString("Log Count", "Count", "123456789");
    std::string many = qorwin::HistoryText(ini);
    std::size_t lines = 1;
    for (std::size_t p = 0; (p = many.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 500u);

    qorwin::ClearHistory(ini);
    EXPECT_TRUE(ini.sections.empty());
    EXPECT_EQ(qorwin::HistoryText(ini), "");
    EXPECT_EQ(qorwin::AppendLogEntry(ini, kTime, "after"), 1);
}

TEST(HalvoraLog, ShutdownStatusTextFromEitherFamilyAndClear) {
    MemoryIni ini;
    EXPECT_EQ(qorwin::ShutdownStatusText(ini), "");
    ini.WriteString("Untitled - Notepad", "Tue Dec  8 07:00:01 2026", "C:\\WINDOWS\\Brantel\\BT123.TXT");
    ini.WriteString("Report.doc - Writer", "Tue Dec  8 07:00:09 2026", "C:\\WINDOWS\\Brantel\\BT9.DOC");
    const std::string expected =
        "[Tue Dec  8 07:00:01 2026]\r\nUntitled - Notepad=C:\\WINDOWS\\Brantel\\BT123.TXT\r\n"
        "[Tue Dec  8 07:00:09 2026]\r\nReport.doc - Writer=C:\\WINDOWS\\Brantel\\BT9.DOC";
    EXPECT_EQ(qorwin::ShutdownStatusText(ini), expected);

    // The key's line feed splits it in two strings: time, then "=path".
    MemoryIni nt;
    nt.WriteString("Untitled - Notepad", "x", "y");
    nt.rawSection = {"Tue Dec  8 07:00:01 2026", "=C:\\WINDOWS\\Brantel\\BT123.TXT", "Tue Dec  8 07:00:05 2026\n",
                     "=C:\\B\\BT2.TXT"};
    EXPECT_EQ(qorwin::ShutdownStatusText(nt),
              "[Tue Dec  8 07:00:01 2026]\r\nUntitled - Notepad=C:\\WINDOWS\\Brantel\\BT123.TXT\r\n"
              "[Tue Dec  8 07:00:05 2026]\r\nUntitled - Notepad=C:\\B\\BT2.TXT");

    // Section names beyond 200 bytes are not shown; Clear removes them all.
    MemoryIni big;
    for (int i = 0; i < 30; ++i)
        big.WriteString(("Application window number " + std::to_string(i)).c_str(), "t", "p");
    std::string shown = qorwin::ShutdownStatusText(big);
    EXPECT_NE(shown.find("number 0=p"), std::string::npos);
    EXPECT_EQ(shown.find("number 29=p"), std::string::npos);
    qorwin::ClearShutdownStatus(big);
    EXPECT_TRUE(big.sections.empty());
}
