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
    bool Start(const std::string& exeName, const std::string& args = std::string());
    bool WaitExit(DWORD ms);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Id() const { return pi_.dwProcessId; }
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
bool ReadQorDword(const char* name, DWORD& out);
std::string ReadQorString(const char* name);
void WriteQorDword(const char* name, DWORD v);
void WriteQorString(const char* name, const char* text);

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

}  // namespace wt
