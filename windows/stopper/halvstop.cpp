// halvstop: ends a running halvora. On the NT family it also stops the service
// halvora may run under. Shows nothing; always exits with 1.
#include <windows.h>

namespace {

const char kMonitorName[] = "HalvoraQor";  // the service and the hidden window

bool IsNtFamily() {
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The command line is not used. A missing service or window is skipped.
    if (IsNtFamily()) WinExec("NET STOP HalvoraQor", SW_HIDE);  // not waited for
    if (HWND monitor = FindWindowA(nullptr, kMonitorName)) PostMessageA(monitor, WM_CLOSE, 0, 0);
    return 1;
}
