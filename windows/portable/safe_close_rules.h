// Decisions of the safe-close library that need no window system: which
// windows it closes, the name it types into a save dialog, where it logs the
// saves, and how each build ends the Windows session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace qorwin {

// Fields of a close job and of the process-wide paths: 199 characters + NUL.
inline constexpr std::size_t kCloseTextSize = 200;
inline constexpr char kSafeCloseLogName[] = "BTUPSSAV.LOG";
inline constexpr std::uint32_t kWsCaption = 0x00C00000;     // WS_BORDER | WS_DLGFRAME
inline constexpr std::uint32_t kWsExToolWindow = 0x00000080;

// What the filter looks at of a top-level window.
struct WindowFacts {
    bool ownThread = false;  // created by the thread that runs SafeClose
    bool hasOwner = false;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    bool visible = false;
};

// Only visible, unowned, non-tool windows of other threads with a border or
// dialog frame are asked to close.
bool ShouldCloseWindow(const WindowFacts& w);

// "<windowsDir>\Brantel\" and that folder + "BTUPSSAV.LOG". False (out empty)
// when the result does not fit kCloseTextSize or out.
bool SafeCloseLogFolder(const char* windowsDir, char* out, std::size_t size);
bool SafeCloseLogPath(const char* logFolder, char* out, std::size_t size);

// The log folder, "BT" and the first five characters of the decimal text of
// randomValue, all upper-cased. False (out empty) when it would not fit in
// kCloseTextSize: a cut-off name would save the document somewhere else.
bool MakeSaveName(const char* logFolder, int randomValue, char* out, std::size_t size);

// The key of a recorded save: local time as asctime writes it
// ("Www Mmm dd hh:mm:ss yyyy\n", 25 characters). False for a time asctime
// cannot write in that form (out empty).
bool FormatSaveTime(const std::tm& t, char* out, std::size_t size);

// The lParam of a WM_CHAR typed into the save dialog: repeat count 1 and the
// scan code from OemKeyScan (0 when the character has no key).
std::uint32_t TypedCharKeyData(std::uint32_t oemKeyScan);

// Windows version as GetVersionEx gives it.
struct WinVersion {
    std::uint32_t platformId = 0;  // 1: 9x family, 2: NT family
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

enum class SafeCloseBuild { Win9x, WinNt };

// clozwin9 tells the UPS to switch off only on Windows 98 (9x, 4.1 to 4.89).
bool SignalsUpsOff(SafeCloseBuild build, const WinVersion& v);

// ExitWindowsEx flags of each build: clozwin9 shuts down; clozwinnt logs off
// on Windows 2000 and later (the monitor's end-of-session handler then shuts
// down after signalling the UPS) and shuts down on older NT.
std::uint32_t EndOfWindowsFlags(SafeCloseBuild build, const WinVersion& v);

}  // namespace qorwin
