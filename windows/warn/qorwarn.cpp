// qorwarn: the borderless "UPS Warning" pop-up. One copy runs at a time; a
// second start brings the first to the front. Its text arrives by WM_COPYDATA,
// or is chosen here from the warning kind halvora sends; while a shutdown
// countdown runs it offers a Cancel button that asks halvora to stop it.
#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "main_dialog_lookup.h"
#include "resource.h"
#include "warning_text.h"

namespace {

const char kName[] = "UPS Warning";         // mutex, window class and title
constexpr int kBackWidth = 320;
constexpr int kBackHeight = 160;
constexpr int kOkX = 125;
constexpr int kCancelX = 205;
constexpr int kButtonY = 130;
constexpr std::size_t kTextCapacity = 1450;
constexpr UINT kCancelTimeoutMs = 5000;

// The text shown: process-wide, with room for its two terminators.
char g_text[kTextCapacity + 2];

void SetText(const char* data, std::size_t len) {
    if (len > kTextCapacity) len = kTextCapacity;
    if (data && len) std::memcpy(g_text, data, len);
    g_text[len] = '\0';
    g_text[len + 1] = '\0';
}

struct Button {
    HWND hwnd = nullptr;
    HBITMAP normal = nullptr;
    HBITMAP hover = nullptr;
    HBITMAP pressed = nullptr;
    HBITMAP shown = nullptr;

    void Show(HBITMAP b) {
        if (hwnd && b && b != shown) {
            SendMessageA(hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b));
            shown = b;
        }
    }
    bool Visible() const { return hwnd && IsWindowVisible(hwnd); }
    bool Contains(POINT screen) const {
        RECT r;
        return Visible() && GetWindowRect(hwnd, &r) && PtInRect(&r, screen);
    }
    // Image by pointer position: outside plain, inside pressed or hovered.
    void Track(POINT screen, bool buttonDown) {
        if (!Contains(screen))
            Show(normal);
        else
            Show(buttonDown ? pressed : hover);
    }
};

class WarnWindow {
public:
    WarnWindow(HINSTANCE inst, UINT setTop, UINT warningType)
        : inst_(inst), setTop_(setTop), warningType_(warningType) {}
    ~WarnWindow() {
        if (ok_.hwnd) DestroyWindow(ok_.hwnd);
        if (cancel_.hwnd) DestroyWindow(cancel_.hwnd);
        if (hwnd_) DestroyWindow(hwnd_);
        for (HBITMAP b : {back_, ok_.normal, ok_.hover, ok_.pressed, cancel_.normal, cancel_.hover, cancel_.pressed})
            if (b) DeleteObject(b);
    }
    WarnWindow(const WarnWindow&) = delete;
    WarnWindow& operator=(const WarnWindow&) = delete;

    bool Register() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &WarnWindow::Proc;
        wc.hInstance = inst_;
        wc.hIcon = LoadIconA(inst_, MAKEINTRESOURCEA(IDI_QORWARN));
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kName;
        return RegisterClassA(&wc) != 0;
    }

    void LoadBitmaps() {
        back_ = Load(IDB_BACKGROUND);
        ok_.normal = Load(IDB_OK_NORMAL);
        ok_.hover = Load(IDB_OK_HOVER);
        ok_.pressed = Load(IDB_OK_PRESSED);
        cancel_.normal = Load(IDB_CANCEL_NORMAL);
        cancel_.hover = Load(IDB_CANCEL_HOVER);
        cancel_.pressed = Load(IDB_CANCEL_PRESSED);
    }

    bool Create() {
        int w = kBackWidth, h = kBackHeight;
        if (back_) {
            BITMAP bm = {};
            GetObjectA(back_, sizeof bm, &bm);
            w = bm.bmWidth;
            h = bm.bmHeight;
        }
        int x = (GetSystemMetrics(SM_CXSCREEN) - kBackWidth) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - kBackHeight - 30) / 2;
        hwnd_ = CreateWindowExA(0, kName, kName, WS_POPUP | WS_BORDER, x, y, w, h, nullptr, nullptr, inst_, this);
        if (!hwnd_) return false;
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
        ok_.hwnd = MakeButton(kOkX, ok_, true);
        cancel_.hwnd = MakeButton(kCancelX, cancel_, false);
        return true;
    }

private:
    HBITMAP Load(int id) {
        return static_cast<HBITMAP>(LoadImageA(inst_, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
    }

    HWND MakeButton(int x, Button& b, bool visible) {
        BITMAP bm = {};
        bm.bmWidth = 68;
        bm.bmHeight = 24;
        if (b.pressed) GetObjectA(b.pressed, sizeof bm, &bm);
        HWND h = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_BITMAP | (visible ? WS_VISIBLE : 0), x,
                                 kButtonY, bm.bmWidth, bm.bmHeight, hwnd_, nullptr, inst_, nullptr);
        if (h && b.normal) {
            SendMessageA(h, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b.normal));
            b.shown = b.normal;
        }
        return h;
    }

    void Paint(HDC dc) {
        if (back_) {
            BITMAP bm = {};
            GetObjectA(back_, sizeof bm, &bm);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, back_);
            BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        SetTextColor(dc, RGB(0, 0, 255));
        SetBkMode(dc, TRANSPARENT);
        RECT r = {40, 40, 100, 160};
        DrawTextA(dc, g_text, -1, &r, DT_CALCRECT | DT_EXPANDTABS);
        DrawTextA(dc, g_text, -1, &r, DT_EXPANDTABS);
    }

    void Repaint() {
        InvalidateRect(hwnd_, nullptr, TRUE);
        UpdateWindow(hwnd_);
    }

    void ToFront() {
        ShowWindow(hwnd_, SW_SHOW);
        SetForegroundWindow(hwnd_);
    }

    void ShowWarning(int kind, LPARAM seconds) {
        char text[kTextCapacity];
        if (!qorwin::WarningText(kind, static_cast<std::uint32_t>(seconds), text, sizeof text)) return;
        SetText(text, std::strlen(text));
        lastKind_ = kind;
        ShowWindow(cancel_.hwnd, qorwin::WarningOffersCancel(kind) ? SW_SHOW : SW_HIDE);
        ToFront();
        Repaint();
    }

    // Asks halvora's dialog to stop its countdown; it answers 1 when it did.
    // Looked up by more than its title: halvora's message boxes share it.
    void SendCancel() {
        HWND dialog = qorwin::FindMainDialog();
        DWORD_PTR answer = 0;
        if (!dialog || !SendMessageTimeoutA(dialog, warningType_, qorwin::kWarnCancel, 0, SMTO_ABORTIFHUNG,
                                            kCancelTimeoutMs, &answer))
            return;
        if (answer != 1) return;
        const char* cancelled = qorwin::WarningCancelledText(lastKind_);
        SetText(cancelled, std::strlen(cancelled));
        ShowWindow(cancel_.hwnd, SW_HIDE);
        Repaint();
    }

    static POINT ScreenPoint(HWND hwnd, LPARAM lp) {
        POINT p = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ClientToScreen(hwnd, &p);
        return p;
    }

    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == setTop_ && setTop_ != 0) {
            ToFront();
            return 0;
        }
        if (msg == warningType_ && warningType_ != 0) {
            ShowWarning(static_cast<int>(wp), lp);
            return 1;
        }
        switch (msg) {
        case WM_CREATE: {
            HDC dc = GetDC(hwnd_);
            Paint(dc);
            ReleaseDC(hwnd_, dc);
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            Paint(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // the background picture covers everything
        case WM_COPYDATA: {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            if (cds) SetText(static_cast<const char*>(cds->lpData), cds->lpData ? cds->cbData : 0);
            Repaint();
            return 0;
        }
        case WM_MOUSEMOVE: {
            POINT p = ScreenPoint(hwnd_, lp);
            ok_.Track(p, (wp & MK_LBUTTON) != 0);
            cancel_.Track(p, (wp & MK_LBUTTON) != 0);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            POINT p = ScreenPoint(hwnd_, lp);
            if (ok_.Contains(p)) {
                ok_.Show(ok_.pressed);
            } else if (cancel_.Contains(p)) {
                cancel_.Show(cancel_.pressed);
            } else {
                // Dragging the background moves the window.
                PostMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            POINT p = ScreenPoint(hwnd_, lp);
            if (ok_.Contains(p)) {
                PostQuitMessage(0);
            } else if (cancel_.Contains(p)) {
                cancel_.Show(cancel_.hover);
                SendCancel();
            }
            return 0;
        }
        case WM_KEYDOWN:
            if (wp == VK_ESCAPE) PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd_, msg, wp, lp);
        }
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<WarnWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_NCCREATE) {
            self = static_cast<WarnWindow*>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            if (self) self->hwnd_ = hwnd;
        }
        return self ? self->Handle(msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
    }

    HINSTANCE inst_;
    UINT setTop_;
    UINT warningType_;
    HWND hwnd_ = nullptr;
    HBITMAP back_ = nullptr;
    Button ok_;
    Button cancel_;
    int lastKind_ = -1;  // the warning shown last, for the text after a cancel
};

// Closes the mutex handle at every way out.
class MutexHandle {
public:
    explicit MutexHandle(HANDLE h) : h_(h) {}
    ~MutexHandle() {
        if (h_) CloseHandle(h_);
    }
    MutexHandle(const MutexHandle&) = delete;
    MutexHandle& operator=(const MutexHandle&) = delete;

private:
    HANDLE h_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    UINT setTop = RegisterWindowMessageA("Set Top Window");
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kName);
    bool already = GetLastError() == ERROR_ALREADY_EXISTS;
    MutexHandle owned(mutex);
    if (already) {
        if (HWND first = FindWindowA(nullptr, kName)) SendMessageA(first, setTop, 0, 0);
        return 0;
    }
    // halvora's warnings: the kind in wParam, seconds left in lParam.
    UINT warningType = RegisterWindowMessageA("Halvora Qor Warning Type");

    WarnWindow window(inst, setTop, warningType);
    if (!window.Register()) return 0;
    window.LoadBitmaps();
    if (!window.Create()) return 0;

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
