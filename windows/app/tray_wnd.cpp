#include "tray_wnd.h"

#include <shellapi.h>

#include "about_dlg.h"
#include "app_state.h"
#include "language.h"
#include "registry_store.h"
#include "registry_values.h"
#include "resource.h"
#include "string_ids.h"
#include "text_format.h"
#include "warning_popup.h"
#include "win_raii.h"

namespace qorwin {
namespace {

const char kTrayClass[] = "HalvoraQorTrayWnd";

}  // namespace

CTrayWnd::~CTrayWnd() { Destroy(); }

bool CTrayWnd::Create() {
    icon_ = LoadIconA(inst_, MAKEINTRESOURCEA(IDI_APP));
    if (!RegisterClassOnce(inst_, kTrayClass, icon_, nullptr)) return false;
    // Popup, never shown: it exists to own the tray icon and the dialog.
    return Window::Create(inst_, kTrayClass, kTrayWindowTitle, WS_POPUP, 0, 100, 100, 100, 100, nullptr);
}

bool CTrayWnd::OnCreate() {
    RegistryStore store;
    std::uint32_t language = 0;
    ReadDword(store, value::kLanguageType, language);
    LoadLanguage(language);

    main_ = std::make_unique<CMainDlg>(inst_);
    main_->Create(hwnd());

    AddTrayIcon();
    if (!SetTimer(hwnd(), kTimerTray, 5000, nullptr)) MessageBoxA(hwnd(), "Can not install timer!", "", MB_OK);
    return true;
}

void CTrayWnd::AddTrayIcon() {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd();
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayCallback;
    nid.hIcon = icon_;
    // While the settings key or the log is out of reach the tip says so, and a
    // notice pops up once for each fault that appears.
    const unsigned faults = ProcessAccessFaults().Current();
    CopyText(nid.szTip, sizeof nid.szTip < 128 ? sizeof nid.szTip : 128,
             faults ? kFaultTip : Text(text::kTrayTip).c_str());
    if (notice_.Due(faults)) {
        nid.uFlags |= NIF_INFO;
        nid.dwInfoFlags = NIIF_WARNING;
        CopyText(nid.szInfoTitle, sizeof nid.szInfoTitle, kFaultNoticeTitle);
        CopyText(nid.szInfo, sizeof nid.szInfo, FaultNoticeText(faults).c_str());
    }
    // Added again on every tick: after a restart of the shell the icon comes back.
    if (!Shell_NotifyIconA(NIM_ADD, &nid)) Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void CTrayWnd::DeleteTrayIcon() {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd();
    nid.uID = kTrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &nid);
}

void CTrayWnd::ShowMainDialog() {
    if (!main_ || !main_->hwnd()) {
        main_ = std::make_unique<CMainDlg>(inst_);
        main_->Create(hwnd());
    }
    main_->Show();
}

void CTrayWnd::TrackTrayMenu() {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    AppendMenuA(menu.get(), MF_STRING, ID_TRAY_SHOW, Text(text::kMenuShow).c_str());
    AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu.get(), MF_STRING, ID_TRAY_ABOUT, Text(text::kMenuAbout).c_str());
    AppendMenuA(menu.get(), MF_STRING, ID_TRAY_HELP, Text(text::kMenuHelp).c_str());
    AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu.get(), MF_STRING, ID_TRAY_EXIT, Text(text::kMenuExit).c_str());
    POINT pt;
    GetCursorPos(&pt);
    SetForegroundWindow(GetLastActivePopup(hwnd()));
    TrackPopupMenu(menu.get(), TPM_LEFTBUTTON, pt.x, pt.y, 0, hwnd(), nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(hwnd(), WM_NULL, 0, 0);
}

void CTrayWnd::OnTrayNotify(LPARAM mouse) {
    switch (static_cast<UINT>(mouse)) {
    case WM_LBUTTONDOWN:
        SetForegroundWindow(GetLastActivePopup(hwnd()));
        break;
    case WM_LBUTTONDBLCLK:
        ShowMainDialog();
        break;
    case WM_RBUTTONDOWN:
        TrackTrayMenu();
        break;
    case NIN_BALLOONUSERCLICK:  // the fault notice: show what it is about
        ShowMainDialog();
        break;
    default:
        break;
    }
}

void CTrayWnd::OnDestroy() {
    CloseWarningPopup();
    UnloadLanguage();
    DeleteTrayIcon();
    main_.reset();
    PostQuitMessage(0);
}

LRESULT CTrayWnd::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_TIMER:
        if (wp == kTimerTray) AddTrayIcon();
        return 0;
    case kTrayCallback:
        OnTrayNotify(lp);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case ID_TRAY_SHOW:
            ShowMainDialog();
            return 0;
        case ID_TRAY_ABOUT:
            ShowAboutBox(inst_, hwnd());
            return 0;
        case ID_TRAY_HELP:
            OpenHelp(hwnd(), kMainDialogTitle);
            return 0;
        case ID_TRAY_EXIT:
            KillTimer(hwnd(), kTimerTray);
            DestroyWindow(hwnd());
            return 0;
        default:
            break;
        }
        break;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return Default(msg, wp, lp);
}

}  // namespace qorwin
