#include "safe_close_rules.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace qorwin {
namespace {

constexpr std::uint32_t kEwxLogoff = 0x0;
constexpr std::uint32_t kEwxShutdown = 0x1;

bool Fits(int written, std::size_t size) {
    return written >= 0 && static_cast<std::size_t>(written) < size && static_cast<std::size_t>(written) < kCloseTextSize;
}

bool Fail(char* out, std::size_t size) {
    if (out != nullptr && size > 0) out[0] = '\0';
    return false;
}

}  // namespace

bool ShouldCloseWindow(const WindowFacts& w) {
    if (w.ownThread || w.hasOwner) return false;
    if (w.exStyle & kWsExToolWindow) return false;
    if ((w.style & kWsCaption) == 0) return false;
    return w.visible;
}

bool SafeCloseLogFolder(const char* windowsDir, char* out, std::size_t size) {
    if (out == nullptr || size == 0 || windowsDir == nullptr || windowsDir[0] == '\0') return Fail(out, size);
    std::size_t len = std::strlen(windowsDir);
    // GetWindowsDirectory ends in '\' only for a drive's root ("C:\").
    const char* sep = windowsDir[len - 1] == '\\' ? "" : "\\";
    int n = std::snprintf(out, size, "%s%sBrantel\\", windowsDir, sep);
    return Fits(n, size) || Fail(out, size);
}

bool SafeCloseLogPath(const char* logFolder, char* out, std::size_t size) {
    if (out == nullptr || size == 0 || logFolder == nullptr) return Fail(out, size);
    int n = std::snprintf(out, size, "%s%s", logFolder, kSafeCloseLogName);
    return Fits(n, size) || Fail(out, size);
}

bool MakeSaveName(const char* logFolder, int randomValue, char* out, std::size_t size) {
    if (out == nullptr || size == 0 || logFolder == nullptr) return Fail(out, size);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", randomValue);
    digits[5] = '\0';  // the first five characters (a '-' counts as one)
    // "BT": the first two letters of the log's file name.
    int n = std::snprintf(out, size, "%s%.2s%s", logFolder, kSafeCloseLogName, digits);
    if (!Fits(n, size)) return Fail(out, size);
    for (char* p = out; *p != '\0'; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return true;
}

bool FormatSaveTime(const std::tm& t, char* out, std::size_t size) {
    static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int year = t.tm_year + 1900;
    if (t.tm_wday < 0 || t.tm_wday > 6 || t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_mday > 31 ||
        t.tm_hour < 0 || t.tm_hour > 23 || t.tm_min < 0 || t.tm_min > 59 || t.tm_sec < 0 || t.tm_sec > 60 ||
        year < 1000 || year > 9999)
        return Fail(out, size);
    int n = std::snprintf(out, size, "%s %s%3d %02d:%02d:%02d %d\n", kDays[t.tm_wday], kMonths[t.tm_mon], t.tm_mday,
                          t.tm_hour, t.tm_min, t.tm_sec, year);
    return Fits(n, size) || Fail(out, size);
}

std::uint32_t TypedCharKeyData(std::uint32_t oemKeyScan) {
    std::uint32_t scan = oemKeyScan == 0xFFFFFFFFu ? 0 : (oemKeyScan & 0xFFu);
    return 1u | (scan << 16);
}

bool SignalsUpsOff(SafeCloseBuild build, const WinVersion& v) {
    return build == SafeCloseBuild::Win9x && v.platformId == 1 && v.major == 4 && v.minor >= 1 && v.minor <= 89;
}

std::uint32_t EndOfWindowsFlags(SafeCloseBuild build, const WinVersion& v) {
    if (build == SafeCloseBuild::WinNt && v.platformId == 2 && v.major >= 5) return kEwxLogoff;
    return kEwxShutdown;
}

}  // namespace qorwin
