// A thin layer over Win32 windows and dialogs: a C++ object per window, its
// messages routed to virtual handlers, and WM_DRAWITEM / WM_COMMAND reflected
// to owner-drawn controls.
#pragma once

#include <windows.h>

#include <string>

namespace qorwin {

// The text of a window or control; empty when there is none.
std::string WindowTextOf(HWND w);

// A control that draws itself and hears its own notifications.
class OwnerDrawControl {
public:
    virtual ~OwnerDrawControl() = default;
    virtual void DrawItem(const DRAWITEMSTRUCT& dis) = 0;
    // A WM_COMMAND notification the control sent to its parent.
    virtual void OnReflectedCommand(int /*code*/) {}

    // Links the control's window to this object (the parent then reflects to it).
    void Bind(HWND control);
    void Unbind(HWND control);
    static OwnerDrawControl* From(HWND control);
};

// A top-level or child window with its own class.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    static bool RegisterClassOnce(HINSTANCE inst, const char* className, HICON icon, HCURSOR cursor);
    bool Create(HINSTANCE inst, const char* className, const char* title, DWORD style, DWORD exStyle, int x,
                int y, int w, int h, HWND parent);
    void Destroy();
    HWND hwnd() const { return hwnd_; }

protected:
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

// A dialog from a resource template, modal or modeless.
class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    bool CreateModeless(HINSTANCE inst, int resourceId, HWND owner);
    INT_PTR DoModal(HINSTANCE inst, int resourceId, HWND owner);
    void EndDialog(INT_PTR result);
    void Destroy();

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void SetItemText(int id, const std::string& text) const { SetDlgItemTextA(hwnd_, id, text.c_str()); }
    std::string ItemText(int id) const;

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // Any other message; true when handled, with *result the dialog procedure's answer.
    virtual bool OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, INT_PTR* /*result*/) { return false; }
    virtual void OnDestroy() {}
    // Sets the value a message handled in OnMessage returns to the sender.
    void SetMessageResult(LONG_PTR value) const { SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, value); }

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

}  // namespace qorwin
