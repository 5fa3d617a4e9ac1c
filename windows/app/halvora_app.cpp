// CHalvoraApp: start-up and message loop of halvora.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app_state.h"
#include "registry_store.h"
#include "registry_values.h"
#include "tray_wnd.h"
#include "win_raii.h"

namespace qorwin {
namespace {

class CHalvoraApp {
public:
    explicit CHalvoraApp(HINSTANCE inst) : inst_(inst) {}

    int Run() {
        if (!InitInstance()) return 0;
        int code = MessageLoop();
        ExitInstance();
        return code;
    }

private:
    bool InitInstance() {
        RegisterAppMessages();
        if (FindWindowA(nullptr, kTrayWindowTitle)) return false;  // one copy runs already
        mutex_.reset(CreateMutexA(nullptr, TRUE, kInstanceMutex));
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            mutex_.reset();
            return false;
        }
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);

        tray_ = std::make_unique<CTrayWnd>(inst_);
        if (!tray_->Create()) {
            ExitInstance();
            return false;
        }
        RegistryStore store;
        WriteMissingDefaults(store);

        WSADATA wsa;
        if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
            ExitInstance();
            return false;
        }
        winsock_ = true;
        return true;
    }

    int MessageLoop() {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            CMainDlg* dlg = tray_ ? tray_->MainDialog() : nullptr;
            if (dlg && dlg->PreTranslate(msg)) continue;
            if (dlg && dlg->hwnd() && IsDialogMessageA(dlg->hwnd(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return static_cast<int>(msg.wParam);
    }

    void ExitInstance() {
        mutex_.reset();
        tray_.reset();
        if (winsock_) WSACleanup();
        winsock_ = false;
    }

    HINSTANCE inst_;
    UniqueHandle mutex_;
    std::unique_ptr<CTrayWnd> tray_;
    bool winsock_ = false;
};

}  // namespace
}  // namespace qorwin

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) { return qorwin::CHalvoraApp(inst).Run(); }
