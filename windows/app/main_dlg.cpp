#include "main_dlg.h"

#include <cstdio>

#include "access_faults.h"
#include "app_state.h"
#include "config_dlg.h"
#include "language.h"
#include "line_probe.h"
#include "line_status.h"
#include "log_dialogs.h"
#include "logs.h"
#include "notify_dlg.h"
#include "notify_requests.h"
#include "port_detection.h"
#include "registry_store.h"
#include "registry_values.h"
#include "resource.h"
#include "shutdown.h"
#include "shutdown_plan.h"
#include "startup_rules.h"
#include "string_ids.h"
#include "text_format.h"
#include "warning_popup.h"
#include "warning_text.h"
#include "windows_version.h"
#include "worker_threads.h"

namespace qorwin {
namespace {

// The animation frame, shared by every paint of the process.
int g_frameIndex = 0;

}  // namespace

bool CMainDlg::Create(HWND owner) {
    if (!CreateModeless(inst_, IDD_MAIN, owner)) return false;
    ShowWindow(hwnd(), SW_HIDE);
    return true;
}

void CMainDlg::Show() {
    if (!hwnd()) return;
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
}

void CMainDlg::SetTexts(const char* ac, const char* battery, const char* countdown) {
    if (ac) CopyText(acText_, sizeof acText_, ac);
    if (battery) CopyText(batteryText_, sizeof batteryText_, battery);
    if (countdown) CopyText(countdownText_, sizeof countdownText_, countdown);
}

void CMainDlg::RefreshTexts() {
    SetDlgItemTextA(hwnd(), IDC_AC_TEXT, acText_);
    SetDlgItemTextA(hwnd(), IDC_BATTERY_TEXT, batteryText_);
    SetDlgItemTextA(hwnd(), IDC_COUNTDOWN_TEXT, countdownText_);
}

void CMainDlg::Relabel() {
    // The status lines as the monitor last set them: at start the captions
    // 1024, 1025 and 1031; after a change of language the state in its words.
    ShowTexts(monitor_.texts());
    SetItemText(IDC_REVIEW_HISTORY, Text(text::kReviewHistoryButton));
    SetItemText(IDC_SHUTDOWN_STATUS, Text(text::kShutdownStatusButton));
    SetItemText(IDC_CONFIGURATION, Text(text::kConfigurationButton));
    SetItemText(IDC_DETECT, Text(text::kDetectButton));
    SetItemText(IDC_NOTIFICATION, Text(text::kNotificationButton));
    // Loaded with the labels, shown nowhere.
    Text(text::kLabelUnused1);
    Text(text::kLabelUnused2);
}

bool CMainDlg::PreTranslate(const MSG& msg) const {
    if (!hwnd() || msg.message != WM_KEYDOWN) return false;
    if (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) return false;
    return msg.hwnd == hwnd() || IsChild(hwnd(), msg.hwnd);
}

void CMainDlg::LoadFrames() {
    const int a[3] = {IDB_AC_OK_0, IDB_AC_OK_1, IDB_AC_OK_2};
    const int b[3] = {IDB_ALARM_0, IDB_ALARM_1, IDB_ALARM_2};
    for (int i = 0; i < 3; ++i) {
        setA_[i].reset(static_cast<HBITMAP>(LoadImageA(inst_, MAKEINTRESOURCEA(a[i]), IMAGE_BITMAP, 0, 0, 0)));
        setB_[i].reset(static_cast<HBITMAP>(LoadImageA(inst_, MAKEINTRESOURCEA(b[i]), IMAGE_BITMAP, 0, 0, 0)));
    }
}

void CMainDlg::RestoreBootFiles() {
    const WinVersion v = RunningWindows();
    if (!IsBootFileRestorePlatform(v.platformId, v.major, v.minor)) return;
    RegistryStore store;
    std::uint32_t restore = 0;
    ReadDword(store, value::kRestoreSystemFile, restore);
    if (restore == 0) return;
    WriteDword(store, value::kRestoreSystemFile, 0);
    std::uint32_t bootGui = 0;
    ReadDword(store, value::kBootGui, bootGui);
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(bootGui));
    WritePrivateProfileStringA("Options", "BootGUI", text, "c:\\msdos.sys");
    CopyFileA("c:\\autoexec", "c:\\autoexec.bat", FALSE);
}

void CMainDlg::AskShutdownStatus() {
    RegistryStore store;
    std::uint32_t shutDown = 0;
    std::uint32_t showStatus = 0;
    ReadDword(store, value::kShutDown, shutDown);
    ReadDword(store, value::kShowStatus, showStatus);
    if (!ShouldAskShutdownStatus(shutDown, showStatus)) return;
    const bool yes =
        MessageBoxA(hwnd(), Text(text::kAskShutdownStatus).c_str(), kMainDialogTitle, MB_YESNO) == IDYES;
    WriteDword(store, value::kShutDown, 0);
    if (yes) ShowShutdownStatus(inst_, hwnd());
}

void CMainDlg::ClearStaleShutdownMarker() {
    RegistryStore store;
    std::uint32_t shutups = 0;
    if (ReadDword(store, value::kShutups, shutups) && ClearsStaleShutups(shutups))
        WriteDword(store, value::kShutups, 0);
}

void CMainDlg::FindStartPort() {
    RegistryStore store;
    char port[kPortBufferSize] = {};
    ReadText(store, value::kPort, port, sizeof port);
    if (UpsPresent(ProbeUpsLine(port))) {
        SetPortNumber(PortNumberFromName(port));
        ShowPortLine(hwnd(), port);
        return;
    }
    SetPortNumber(DetectPort(hwnd()));
}

// The fault line: empty while the settings key and the event log are within
// reach, else what cannot be done (drawn in red).
void CMainDlg::ShowFaults() {
    const std::string line = FaultLine(ProcessAccessFaults().Current());
    if (ItemText(IDC_FAULT_LINE) != line) SetItemText(IDC_FAULT_LINE, line);
}

void CMainDlg::StartTimers() {
    if (!SetTimer(hwnd(), kTimerLinePoll, 1000, nullptr)) MessageBoxA(hwnd(), "Can not install timer!", "", MB_OK);
    SetTimer(hwnd(), kTimerAnimation, 2500, nullptr);
}

BOOL CMainDlg::OnInitDialog() {
    icon_ = LoadIconA(inst_, MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    help_.Attach(Item(IDC_HELP_BUTTON));
    help_.SetBitmaps(inst_, IDB_HELP, RGB(255, 255, 255));
    LoadFrames();

    Relabel();
    RestoreBootFiles();
    ClearStaleShutdownMarker();
    FindStartPort();
    CheckEventLogWritable();
    ShowFaults();
    StartTimers();
    StartWorkerThreads();
    PostMessageA(hwnd(), kMsgAskShutdownStatus, 0, 0);
    return TRUE;
}

bool CMainDlg::OnCommand(int id, int code, HWND) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        return true;  // neither Enter nor Esc closes this dialog
    case IDC_DETECT:
        if (code == BN_CLICKED) {
            SetPortNumber(DetectPort(hwnd()));
            if (PortNumber() == 0) MessageBoxA(hwnd(), Text(text::kDetectFailed).c_str(), "Warning", MB_OK);
        }
        return true;
    case IDC_REVIEW_HISTORY:
        if (code == BN_CLICKED) ShowReviewHistory(inst_, hwnd());
        return true;
    case IDC_SHUTDOWN_STATUS:
        if (code == BN_CLICKED) ShowShutdownStatus(inst_, hwnd());
        return true;
    case IDC_CONFIGURATION:
        if (code == BN_CLICKED) CConfigDlg(inst_, *this).Run(hwnd());
        return true;
    case IDC_NOTIFICATION:
        if (code == BN_CLICKED) CNotifyDlg(inst_).Run(hwnd());
        return true;
    case IDC_HELP_BUTTON:
        if (code == BN_CLICKED && OpenHelp(hwnd(), "Warning")) SetFocus(nullptr);
        return true;
    default:
        return false;
    }
}

void CMainDlg::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    g_frameIndex = NextFrame(g_frameIndex);
    if (IsIconic(hwnd())) {
        RECT r;
        GetClientRect(hwnd(), &r);
        int cx = GetSystemMetrics(SM_CXICON);
        int cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (r.right - r.left - cx + 1) / 2, (r.bottom - r.top - cy + 1) / 2, icon_);
    } else if (HWND frame = Item(IDC_ANIMATION)) {
        HBITMAP bmp = (monitor_.acOk() == 1 ? setA_ : setB_)[g_frameIndex].get();
        if (bmp) {
            RECT r;
            GetWindowRect(frame, &r);
            POINT at = {r.left, r.top};
            ScreenToClient(hwnd(), &at);
            BITMAP info = {};
            GetObjectA(bmp, sizeof info, &info);
            UniqueMemDc mem(CreateCompatibleDC(dc));
            SelectIn sel(mem.get(), bmp);
            BitBlt(dc, at.x, at.y, info.bmWidth, info.bmHeight, mem.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(hwnd(), &ps);
}

bool CMainDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
    if (msg == Messages().warningType && msg != 0) {
        // Sent back by the pop-up: wParam 5 cancels the countdown.
        SetMessageResult(wp == kWarnCancel ? monitor_.Cancel() : 0);
        *result = TRUE;
        return true;
    }
    switch (msg) {
    case WM_PAINT:
        Paint();
        *result = TRUE;
        return true;
    case WM_TIMER: {
        RegistryStore store;
        if (wp == kTimerLinePoll) {
            monitor_.OnLineTick(store, PortNumber());
            ShowFaults();
        } else if (wp == kTimerCountdown)
            monitor_.OnCountdownTick(store);
        else if (wp == kTimerAnimation)
            InvalidateRect(hwnd(), nullptr, FALSE);
        *result = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lp) != Item(IDC_FAULT_LINE)) return false;
        SetTextColor(reinterpret_cast<HDC>(wp), RGB(192, 0, 0));
        SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        *result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    case kMsgAskShutdownStatus:
        AskShutdownStatus();
        *result = TRUE;
        return true;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        HandleEndSession();
        return false;  // then the default processing
    case WM_CLOSE:
        ShowWindow(hwnd(), SW_HIDE);  // closing only hides: the monitor runs on
        *result = TRUE;
        return true;
    default:
        return false;
    }
}

std::int32_t CMainDlg::Probe(const char* portName) { return ProbeUpsLine(portName); }

void CMainDlg::ShowTexts(const DisplayTexts& t) {
    std::string countdown = Text(t.countdown);
    if (t.countdown == text::kCountdownFormat) {
        char line[kTextMax];
        FormatWithInt(countdown.c_str(), static_cast<int>(t.seconds), line, sizeof line);
        countdown = line;
    }
    SetTexts(Text(t.ac).c_str(), Text(t.battery).c_str(), countdown.c_str());
    RefreshTexts();
}

void CMainDlg::Log(unsigned textId) { LogEvent(Text(textId).c_str()); }
void CMainDlg::ShowWarning(int kind, std::uint32_t seconds) { qorwin::ShowWarning(hwnd(), kind, seconds); }
void CMainDlg::PostPager(int code) { qorwin::PostPager(code); }
void CMainDlg::PostMail(int kind) { qorwin::PostMail(kind); }
void CMainDlg::Repaint() { InvalidateRect(hwnd(), nullptr, TRUE); }
void CMainDlg::StartCountdown() { SetTimer(hwnd(), kTimerCountdown, 1000, nullptr); }
void CMainDlg::StopCountdown() { KillTimer(hwnd(), kTimerCountdown); }
void CMainDlg::ClosePopup() { CloseWarningPopup(); }
void CMainDlg::RunShutdown() { qorwin::RunShutdown(hwnd(), monitor_.watchedPort()); }
std::uint64_t CMainDlg::NowMs() { return GetTickCount64(); }

void CMainDlg::OnDestroy() {
    KillTimer(hwnd(), kTimerLinePoll);
    KillTimer(hwnd(), kTimerCountdown);
    KillTimer(hwnd(), kTimerAnimation);
    help_.Detach();
    for (auto& b : setA_) b.reset();
    for (auto& b : setB_) b.reset();
}

}  // namespace qorwin
