// The two logs the user sees: the event log "Halvora.log" (a ring of 500
// entries) and the safe-close log "BTUPSSAV.LOG", both INI files, and the
// texts the Review History and ShutDown Status dialogs show of them.
#pragma once

#include <cstddef>
#include <string>

namespace qorwin {

// An INI file as the profile-string functions see it.
class IniFile {
public:
    virtual ~IniFile() = default;
    // Copies the value (or def) into out, always terminated, cut to size.
    virtual void GetString(const char* section, const char* key, const char* def, char* out,
                           std::size_t size) = 0;
    virtual bool WriteString(const char* section, const char* key, const char* value) = 0;
    virtual bool DeleteSection(const char* section) = 0;
    // NUL-separated lists ended by an empty string, cut to size as the
    // profile functions cut them; the length used is returned.
    virtual std::size_t SectionNames(char* out, std::size_t size) = 0;
    virtual std::size_t Section(const char* section, char* out, std::size_t size) = 0;
};

inline constexpr char kEventLogFile[] = "Halvora.log";  // bare: the Windows folder
inline constexpr char kLogCountSection[] = "Log Count";
inline constexpr char kLogCountKey[] = "Count";
inline constexpr char kLogStatusSection[] = "Log Status";
inline constexpr int kLogRingSize = 500;
inline constexpr std::size_t kLogEntryMax = 300;    // date, time and a 259-character text
inline constexpr std::size_t kHistoryEntryMax = 199;  // as Review History shows one

struct LogTime {
    int year, month, day, hour, minute;
};

// "%02d/%02d/%04d  %02d:%02d  :%s" (month, day, year). The text cannot break
// the file's lines: line breaks and other control characters become blanks.
void FormatLogEntry(const LogTime& t, const char* text, char* out, std::size_t size);

// The number the next entry gets from the stored Count text: 1 after 500 and
// after anything that is not a number from 0 to 499.
int NextLogIndex(const char* countText);

// Writes the entry as [Log Status] n and n as [Log Count] Count; returns n.
int AppendLogEntry(IniFile& log, const LogTime& t, const char* text);

// Entries 1..Count (at most 500), "No Value" for a missing one, each cut to
// 199 characters, separated by "\r\n".
std::string HistoryText(IniFile& log);
void ClearHistory(IniFile& log);

// Each saved document as "[" time "]" "\r\n" title "=" path, separated by
// "\r\n": the section names from 200 bytes, each section from 2048.
std::string ShutdownStatusText(IniFile& log);
// Deletes every section (at most 260).
void ClearShutdownStatus(IniFile& log);

}  // namespace qorwin
