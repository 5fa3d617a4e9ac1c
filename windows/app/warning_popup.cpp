#include "warning_popup.h"

#include <string>

#include "app_state.h"
#include "module_path.h"

namespace qorwin {
namespace {

constexpr int kLookups = 20;
constexpr DWORD kLookupPauseMs = 100;
// A hung pop-up must not stop the monitor.
constexpr UINT kSendTimeoutMs = 5000;

// SetForegroundWindow is refused to a thread that lacks the input focus; for
// the call, share the input state of the thread that has it.
void BringToForeground(HWND dialog) {
    HWND front = GetForegroundWindow();
    DWORD frontThread = front ? GetWindowThreadProcessId(front, nullptr) : 0;
    DWORD mine = GetCurrentThreadId();
    bool attached = frontThread != 0 && frontThread != mine && AttachThreadInput(frontThread, mine, TRUE);
    SetForegroundWindow(dialog);
    if (attached) AttachThreadInput(frontThread, mine, FALSE);
}

}  // namespace

void ShowWarning(HWND dialog, int kind, std::uint32_t seconds) {
    const std::string title = WarningWindowTitle();
    HWND popup = FindWindowA(nullptr, title.c_str());
    if (!popup) {
        BringToForeground(dialog);
        std::string command = "\"" + ExecutableFolder() + "qorwarn.exe\"";
        WinExec(command.c_str(), SW_SHOWNORMAL);
        for (int i = 0; i < kLookups && !popup; ++i) {
            Sleep(kLookupPauseMs);
            popup = FindWindowA(nullptr, title.c_str());
        }
        if (!popup) return;
    }
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(popup, Messages().warningType, static_cast<WPARAM>(kind), static_cast<LPARAM>(seconds),
                        SMTO_NORMAL, kSendTimeoutMs, &answer);
}

void CloseWarningPopup() {
    if (HWND popup = FindWindowA(nullptr, WarningWindowTitle().c_str()))
        SendMessageTimeoutA(popup, WM_CLOSE, 0, 0, SMTO_NORMAL, kSendTimeoutMs, nullptr);
}

}  // namespace qorwin
