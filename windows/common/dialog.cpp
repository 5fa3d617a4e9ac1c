#include "dialog.h"

namespace qorwin {
namespace {

const char kControlProp[] = "QorOwnerDrawControl";

}  // namespace

// ---- OwnerDrawControl

void OwnerDrawControl::Bind(HWND control) {
    if (control) SetPropA(control, kControlProp, static_cast<HANDLE>(this));
}

void OwnerDrawControl::Unbind(HWND control) {
    if (control && GetPropA(control, kControlProp) == static_cast<HANDLE>(this)) RemovePropA(control, kControlProp);
}

OwnerDrawControl* OwnerDrawControl::From(HWND control) {
    return control ? static_cast<OwnerDrawControl*>(GetPropA(control, kControlProp)) : nullptr;
}

namespace {

// WM_DRAWITEM and control notifications go to the control's own object.
bool Reflect(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DRAWITEM) {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (dis && dis->CtlType == ODT_BUTTON) {
            if (OwnerDrawControl* c = OwnerDrawControl::From(dis->hwndItem)) {
                c->DrawItem(*dis);
                return true;
            }
        }
    } else if (msg == WM_COMMAND && lp != 0) {
        if (OwnerDrawControl* c = OwnerDrawControl::From(reinterpret_cast<HWND>(lp)))
            c->OnReflectedCommand(HIWORD(wp));
    }
    return false;
}

}  // namespace

// ---- Window

Window::~Window() { Destroy(); }

bool Window::RegisterClassOnce(HINSTANCE inst, const char* className, HICON icon, HCURSOR cursor) {
    WNDCLASSA probe;
    if (GetClassInfoA(inst, className, &probe)) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Window::Proc;
    wc.hInstance = inst;
    wc.hIcon = icon;
    wc.hCursor = cursor ? cursor : LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className;
    return RegisterClassA(&wc) != 0;
}

bool Window::Create(HINSTANCE inst, const char* className, const char* title, DWORD style, DWORD exStyle, int x,
                    int y, int w, int h, HWND parent) {
    if (hwnd_) return false;
    return CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent, nullptr, inst, this) != nullptr;
}

void Window::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
        self = static_cast<Window*>(cs->lpCreateParams);
        if (self) {
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
    if (Reflect(msg, wp, lp) && msg == WM_DRAWITEM) return TRUE;
    LRESULT r = self->HandleMessage(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return r;
}

// ---- Dialog

Dialog::~Dialog() {
    if (hwnd_ && !modal_) DestroyWindow(hwnd_);
}

bool Dialog::CreateModeless(HINSTANCE inst, int resourceId, HWND owner) {
    if (hwnd_) return false;
    modal_ = false;
    return CreateDialogParamA(inst, MAKEINTRESOURCEA(resourceId), owner, &Dialog::Proc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR Dialog::DoModal(HINSTANCE inst, int resourceId, HWND owner) {
    if (hwnd_) return -1;
    modal_ = true;
    return DialogBoxParamA(inst, MAKEINTRESOURCEA(resourceId), owner, &Dialog::Proc, reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result) {
    if (!hwnd_) return;
    if (modal_)
        ::EndDialog(hwnd_, result);
    else
        DestroyWindow(hwnd_);
}

void Dialog::Destroy() {
    if (hwnd_ && !modal_) DestroyWindow(hwnd_);
}

std::string WindowTextOf(HWND w) {
    if (!w) return std::string();
    int len = GetWindowTextLengthA(w);
    if (len <= 0) return std::string();
    std::string s(static_cast<std::size_t>(len) + 1, '\0');
    int got = GetWindowTextA(w, &s[0], len + 1);
    s.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return s;
}

std::string Dialog::ItemText(int id) const { return WindowTextOf(Item(id)); }

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lp);
        if (!self) return FALSE;
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        return self->OnInitDialog();
    }
    if (self == nullptr) return FALSE;
    if (Reflect(msg, wp, lp) && msg == WM_DRAWITEM) return TRUE;

    INT_PTR result = FALSE;
    switch (msg) {
    case WM_COMMAND:
        if (self->OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) return TRUE;
        // A modal dialog ends on OK and Cancel unless its handler says otherwise.
        if (self->modal_ && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
            ::EndDialog(hwnd, LOWORD(wp));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        self->OnDestroy();
        return TRUE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        return FALSE;
    default:
        if (self->OnMessage(msg, wp, lp, &result)) return result;
        break;
    }
    return FALSE;
}

}  // namespace qorwin
