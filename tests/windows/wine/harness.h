// Helpers of the tests that run the Windows programs under Wine.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wt {

// Folder of the programs and of the test artifacts (Windows paths, trailing '\').
extern std::string g_bin;
extern std::string g_artifacts;

std::string UnixToWindows(const std::string& unixPath);
// A file of the Unix side read whole ("" when missing), and an environment
// variable ("" when unset).
std::string ReadUnixFile(const std::string& unixPath);
std::string EnvText(const char* name);
// A whole file ("" when it cannot be read), and the Windows folder with its '\'.
std::string ReadFileText(const std::string& path);
std::string WindowsFolder();

// Polls pred every 20 ms (serving this thread's messages meanwhile).
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs);
void Pump(DWORD ms);

// Top-level windows by class and/or title (nullptr: any).
std::vector<HWND> TopWindows(const char* cls, const char* title);
HWND TopWindow(const char* cls, const char* title);
std::string WindowText(HWND w);
std::string ClassOf(HWND w);
std::string ItemText(HWND dlg, int id);

class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // exeName: a program in g_bin, or a full path ("Z:\\...", see TestProgram).
    bool Start(const std::string& exeName, const std::string& args = std::string());
    bool WaitExit(DWORD ms);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Id() const { return pi_.dwProcessId; }
    HANDLE Handle() const { return pi_.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION pi_ = {};
};

// The Halvora key, read and written directly.
void DeleteQorKey();
struct RegValue {
    DWORD type = 0;
    std::vector<unsigned char> bytes;
};
std::vector<std::string> QorValueNames();
bool ReadQorValue(const char* name, RegValue& out);
// The bytes of a Qor value as a string ("<missing>" when it cannot be read).
std::string QorValueBytes(const char* name, DWORD* type = nullptr);
// text with NULs up to n: a fixed-size text value as stored.
std::string Padded(const std::string& s, std::size_t n);
bool ReadQorDword(const char* name, DWORD& out);
std::string ReadQorString(const char* name);
void WriteQorDword(const char* name, DWORD v);
void WriteQorString(const char* name, const char* text);
// An event's value ("name,mask" in 256 bytes), as the notification dialog stores it.
void WriteEventValue(const char* name, int mask);

// The texts of "Halvora.log" entries 1..Count (after their "  :").
std::vector<std::string> HalvoraLogTexts();
// Removes "Halvora.log" and Wine's cached copy of it.
void ResetHalvoraLog();

// Pixels of a window as the screen shows it (0x00RRGGBB).
struct Shot {
    int w = 0;
    int h = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t At(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
    int Count(std::uint32_t rgb, int x0, int y0, int x1, int y1) const;
};
Shot Capture(HWND w);
Shot CaptureRect(const RECT& screenRect);
bool SaveBmp(const Shot& s, const std::string& fileName);  // into g_artifacts

// Simulated serial line inputs of the sandbox (SIMSERIAL_DIR/NAME/lines).
bool SetLines(const char* portName, bool dcd, bool cts);
// The sandbox's record of RTS/DTR changes of a port.
std::string ControlLog(const char* portName);

// Full path of a test program built beside the test runner (closeme.exe, ...).
std::string TestProgram(const char* exeName);

// ---- The end of the Windows session
// ExitWindowsEx ends nothing in the test prefix. Wine's ExitWindowsEx runs
// "wineboot.exe --end-session [--force] [--shutdown]" (or "--kill"); run_wine.sh
// setup puts a stand-in for wineboot.exe into the prefix (wineboot_standin.c,
// with a DLL override to prefer it) that records such a call as the line
// "wineboot ARGS" in the sandbox's exitwindows.log and passes every other use
// (--init at each session start) on to Wine's own wineboot. run_wine.sh
// refuses to run a test in a prefix without the stand-in.
// That way Wine passes on only EWX_FORCE, EWX_FORCEIFHUNG and EWX_REBOOT
// (EWX_LOGOFF and EWX_SHUTDOWN look alike). A test that asserts the flags
// loads the recorder (exit_recorder.c) into the process that will call
// ExitWindowsEx: it replaces ExitWindowsEx there, records
// "ExitWindowsEx flags=0x%08X reason=0x%08X pid=N" and returns TRUE.
bool RecordExitWindows();                        // in this process
bool RecordExitWindows(const Process& process);  // injected into a running one
std::vector<std::string> ExitWindowsLog();       // every line so far
void ClearExitWindowsLog();
// Flags of the recorder's lines for process pid, in call order.
std::vector<UINT> RecordedExitFlags(DWORD pid);

}  // namespace wt
