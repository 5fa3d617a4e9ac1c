// CHoverButton: an owner-drawn push button with a hover look, masked bitmaps
// or icons, flat and transparent modes, a tool tip and an optional target
// that a click opens.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"
#include "win_raii.h"

namespace qorwin {

class CHoverButton : public OwnerDrawControl {
public:
    enum Align { kAlignCenter, kAlignLeft, kAlignTop, kAlignRight };

    CHoverButton() = default;
    ~CHoverButton() override;
    CHoverButton(const CHoverButton&) = delete;
    CHoverButton& operator=(const CHoverButton&) = delete;

    // Takes over the button: rewrites its style to owner-drawn and subclasses it.
    bool Attach(HWND button);
    void Detach();
    HWND hwnd() const { return hwnd_; }

    // Bitmaps from the program's resources; pixels of the transparent colour
    // let the background show. plainId 0: the hover picture is used throughout.
    bool SetBitmaps(HINSTANCE inst, int hoverId, COLORREF transparent, int plainId = 0,
                    COLORREF plainTransparent = RGB(255, 255, 255));
    void SetIcons(HICON hover, HICON plain = nullptr);

    void SetFlat(bool flat);
    void SetTransparent(bool transparent);
    void SetAlign(Align align);
    void SetFlatFocusRect(bool draw);
    void SetActiveColors(COLORREF face, COLORREF text);
    void SetInactiveColors(COLORREF face, COLORREF text);
    void SetHoverCursor(HCURSOR cursor) { hoverCursor_ = cursor; }
    void SetTooltipText(const std::string& text);
    void SetTarget(const std::string& target) { target_ = target; }

    bool IsToggle() const { return toggle_; }
    bool IsDefault() const { return default_; }
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Hover() const { return hover_; }

    void DrawItem(const DRAWITEMSTRUCT& dis) override;
    void OnReflectedCommand(int code) override;

private:
    struct Picture {
        UniqueBitmap image;
        UniqueBitmap mask;
        int w = 0;
        int h = 0;
    };

    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    LRESULT OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp);
    static bool LoadPicture(HINSTANCE inst, int id, COLORREF transparent, Picture& out);
    void Redraw();
    void DrawBackground(HDC dc, const RECT& r, bool active);
    void DrawBorder(HDC dc, const RECT& r, bool pressed);
    void DrawImage(HDC dc, const RECT& r, bool pressed, bool disabled, RECT* captionRect);
    void DrawCaption(HDC dc, const RECT& r, bool pressed, bool disabled, bool active);
    void Relay(UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
    bool toggle_ = false;
    bool default_ = false;
    bool checked_ = false;
    bool hover_ = false;
    bool tracking_ = false;
    bool flat_ = true;
    bool transparent_ = false;
    bool flatFocusRect_ = false;
    Align align_ = kAlignCenter;
    COLORREF activeFace_ = GetSysColor(COLOR_BTNFACE);
    COLORREF inactiveFace_ = GetSysColor(COLOR_BTNFACE);
    COLORREF activeText_ = GetSysColor(COLOR_BTNTEXT);
    COLORREF inactiveText_ = GetSysColor(COLOR_BTNTEXT);
    Picture hoverPic_;
    Picture plainPic_;
    HICON hoverIcon_ = nullptr;
    HICON plainIcon_ = nullptr;
    HCURSOR hoverCursor_ = nullptr;
    HWND tooltip_ = nullptr;
    std::string target_;
    UniqueBitmap background_;  // the parent behind the button, for transparent mode
};

}  // namespace qorwin
