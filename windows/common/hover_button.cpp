#include "hover_button.h"

#include <commctrl.h>
#include <shellapi.h>

namespace qorwin {
namespace {

const UINT_PTR kSubclassId = 0x51484231;  // any id unique to this class

void FillSolid(HDC dc, const RECT& r, COLORREF c) {
    UniqueBrush brush(CreateSolidBrush(c));
    FillRect(dc, &r, brush.get());
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
    UniquePen pen(CreatePen(PS_SOLID, 1, c));
    SelectIn sel(dc, pen.get());
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

}  // namespace

CHoverButton::~CHoverButton() { Detach(); }

bool CHoverButton::Attach(HWND button) {
    if (!button || hwnd_) return false;
    LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
    default_ = (style & 0x0F) == BS_DEFPUSHBUTTON;
    toggle_ = (style & BS_CHECKBOX) == BS_CHECKBOX;
    // Keep the rest of the style, make the type owner-drawn.
    style = (style & ~static_cast<LONG_PTR>(0xFF)) | ((style & 0xFF) | BS_OWNERDRAW);
    SetWindowLongPtrA(button, GWL_STYLE, style);
    if (!SetWindowSubclass(button, &CHoverButton::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hwnd_ = button;
    Bind(button);
    Redraw();
    return true;
}

void CHoverButton::Detach() {
    if (!hwnd_) return;
    RemoveWindowSubclass(hwnd_, &CHoverButton::SubclassProc, kSubclassId);
    Unbind(hwnd_);
    if (tooltip_) DestroyWindow(tooltip_);
    tooltip_ = nullptr;
    hwnd_ = nullptr;
}

bool CHoverButton::LoadPicture(HINSTANCE inst, int id, COLORREF transparent, Picture& out) {
    HBITMAP image = static_cast<HBITMAP>(LoadImageA(inst, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
    if (!image) return false;
    BITMAP info = {};
    GetObjectA(image, sizeof info, &info);
    Picture p;
    p.image.reset(image);
    p.w = info.bmWidth;
    p.h = info.bmHeight;
    p.mask.reset(CreateBitmap(p.w, p.h, 1, 1, nullptr));
    if (!p.mask) return false;

    UniqueMemDc imageDc(CreateCompatibleDC(nullptr));
    UniqueMemDc maskDc(CreateCompatibleDC(nullptr));
    {
        SelectIn a(imageDc.get(), p.image.get());
        SelectIn b(maskDc.get(), p.mask.get());
        // Mask: 1 where the image has the transparent colour.
        SetBkColor(imageDc.get(), transparent);
        BitBlt(maskDc.get(), 0, 0, p.w, p.h, imageDc.get(), 0, 0, SRCCOPY);
        // Image: those pixels black, so that OR leaves the background as it is.
        SetBkColor(imageDc.get(), RGB(0, 0, 0));
        SetTextColor(imageDc.get(), RGB(255, 255, 255));
        BitBlt(imageDc.get(), 0, 0, p.w, p.h, maskDc.get(), 0, 0, SRCAND);
    }
    out = std::move(p);
    return true;
}

bool CHoverButton::SetBitmaps(HINSTANCE inst, int hoverId, COLORREF transparent, int plainId,
                              COLORREF plainTransparent) {
    hoverPic_ = Picture();
    plainPic_ = Picture();
    hoverIcon_ = plainIcon_ = nullptr;
    bool ok = LoadPicture(inst, hoverId, transparent, hoverPic_);
    if (ok && plainId != 0) ok = LoadPicture(inst, plainId, plainTransparent, plainPic_);
    Redraw();
    return ok;
}

void CHoverButton::SetIcons(HICON hover, HICON plain) {
    hoverPic_ = Picture();
    plainPic_ = Picture();
    hoverIcon_ = hover;
    plainIcon_ = plain;
    Redraw();
}

void CHoverButton::SetFlat(bool flat) {
    flat_ = flat;
    Redraw();
}

void CHoverButton::SetTransparent(bool transparent) {
    transparent_ = transparent;
    background_.reset();
    Redraw();
}

void CHoverButton::SetAlign(Align align) {
    align_ = align;
    Redraw();
}

void CHoverButton::SetFlatFocusRect(bool draw) {
    flatFocusRect_ = draw;
    Redraw();
}

void CHoverButton::SetActiveColors(COLORREF face, COLORREF text) {
    activeFace_ = face;
    activeText_ = text;
    Redraw();
}

void CHoverButton::SetInactiveColors(COLORREF face, COLORREF text) {
    inactiveFace_ = face;
    inactiveText_ = text;
    Redraw();
}

void CHoverButton::SetChecked(bool checked) {
    checked_ = checked;
    Redraw();
}

void CHoverButton::SetTooltipText(const std::string& text) {
    if (!hwnd_) return;
    if (!tooltip_) {
        tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
        if (!tooltip_) return;
        SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
        SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = hwnd_;
    ti.uId = 1;
    GetClientRect(hwnd_, &ti.rect);
    ti.lpszText = const_cast<char*>(text.c_str());
    if (SendMessageA(tooltip_, TTM_GETTOOLCOUNT, 0, 0) == 0)
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    else
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

void CHoverButton::Redraw() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CHoverButton::Relay(UINT msg, WPARAM wp, LPARAM lp) {
    if (!tooltip_) return;
    MSG m = {};
    m.hwnd = hwnd_;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void CHoverButton::OnReflectedCommand(int code) {
    if (code != BN_CLICKED) return;
    if (toggle_) {
        SetChecked(!checked_);
    } else if (!target_.empty()) {
        ShellExecuteA(nullptr, "open", target_.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    }
}

LRESULT CALLBACK CHoverButton::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    auto* b = reinterpret_cast<CHoverButton*>(self);
    if (b == nullptr || b->hwnd_ != hwnd) return DefSubclassProc(hwnd, msg, wp, lp);
    return b->OnSubclassMessage(msg, wp, lp);
}

LRESULT CHoverButton::OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) Relay(msg, wp, lp);
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        // A double click is two presses, not a different action.
        return DefSubclassProc(hwnd_, WM_LBUTTONDOWN, wp, lp);
    case WM_MOUSEMOVE:
        if (!tracking_) {
            TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hwnd_, 0};
            tracking_ = TrackMouseEvent(&tme) != FALSE;
        }
        if (!hover_) {
            hover_ = true;
            Redraw();
        }
        break;
    case WM_MOUSELEAVE:
        tracking_ = false;
        if (hover_) {
            hover_ = false;
            Redraw();
        }
        break;
    case WM_SETCURSOR:
        if (hoverCursor_) {
            SetCursor(hoverCursor_);
            return TRUE;
        }
        break;
    case WM_GETDLGCODE: {
        // Owner-drawn buttons hide their default state; answer as the kind we are.
        LRESULT code = DefSubclassProc(hwnd_, msg, wp, lp);
        code &= ~static_cast<LRESULT>(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
        return code | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    }
    case WM_NCDESTROY: {
        HWND h = hwnd_;
        Detach();
        return DefSubclassProc(h, msg, wp, lp);
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd_, msg, wp, lp);
}

void CHoverButton::DrawBackground(HDC dc, const RECT& r, bool active) {
    if (!transparent_) {
        FillSolid(dc, r, active ? activeFace_ : inactiveFace_);
        return;
    }
    RECT cr;
    GetClientRect(hwnd_, &cr);
    int w = cr.right - cr.left;
    int h = cr.bottom - cr.top;
    if (!background_) {
        // The piece of the parent behind the button, taken once.
        HWND parent = GetParent(hwnd_);
        RECT wr;
        GetWindowRect(hwnd_, &wr);
        POINT at = {wr.left, wr.top};
        ScreenToClient(parent, &at);
        WindowDc parentDc(parent);
        background_.reset(CreateCompatibleBitmap(parentDc.get(), w, h));
        UniqueMemDc mem(CreateCompatibleDC(parentDc.get()));
        SelectIn sel(mem.get(), background_.get());
        BitBlt(mem.get(), 0, 0, w, h, parentDc.get(), at.x, at.y, SRCCOPY);
    }
    UniqueMemDc mem(CreateCompatibleDC(dc));
    SelectIn sel(mem.get(), background_.get());
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem.get(), r.left, r.top, SRCCOPY);
}

void CHoverButton::DrawBorder(HDC dc, const RECT& r, bool pressed) {
    const COLORREF hi = GetSysColor(COLOR_BTNHILIGHT);
    const COLORREF light = GetSysColor(COLOR_3DLIGHT);
    const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const int l = r.left, t = r.top, rt = r.right - 1, b = r.bottom - 1;
    if (!flat_) {
        if (pressed) {
            UniqueBrush brush(CreateSolidBrush(shadow));
            FrameRect(dc, &r, brush.get());
        } else {
            Line(dc, l, b, l, t, hi);          // outer top and left
            Line(dc, l, t, rt, t, hi);
            Line(dc, l + 1, b - 1, l + 1, t + 1, light);  // inner top and left
            Line(dc, l + 1, t + 1, rt - 1, t + 1, light);
            Line(dc, l, b, rt, b, dark);       // outer bottom and right
            Line(dc, rt, t, rt, b + 1, dark);
            Line(dc, l + 1, b - 1, rt - 1, b - 1, shadow);  // inner bottom and right
            Line(dc, rt - 1, t + 1, rt - 1, b, shadow);
        }
        return;
    }
    if (hover_) {
        COLORREF topLeft = pressed ? shadow : hi;
        COLORREF bottomRight = pressed ? hi : shadow;
        Line(dc, l, b, l, t, topLeft);
        Line(dc, l, t, rt, t, topLeft);
        Line(dc, l, b, rt, b, bottomRight);
        Line(dc, rt, t, rt, b + 1, bottomRight);
    }
}

void CHoverButton::DrawImage(HDC dc, const RECT& r, bool pressed, bool disabled, RECT* captionRect) {
    const Picture& pic = (!hover_ && plainPic_.image) ? plainPic_ : hoverPic_;
    HICON icon = (!hover_ && plainIcon_) ? plainIcon_ : hoverIcon_;
    int w = 0, h = 0;
    if (pic.image) {
        w = pic.w;
        h = pic.h;
    } else if (icon) {
        ICONINFO ii = {};
        if (GetIconInfo(icon, &ii)) {
            BITMAP bm = {};
            GetObjectA(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm);
            w = bm.bmWidth;
            h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
            if (ii.hbmColor) DeleteObject(ii.hbmColor);
            if (ii.hbmMask) DeleteObject(ii.hbmMask);
        }
    } else {
        return;
    }
    const int rw = r.right - r.left, rh = r.bottom - r.top;
    int x = r.left + (rw - w) / 2;
    int y = r.top + (rh - h) / 2;
    switch (align_) {
    case kAlignLeft:
        x = r.left + 3;
        captionRect->left = x + w;
        break;
    case kAlignRight:
        x = r.right - w - 3;
        captionRect->right = x;
        break;
    case kAlignTop:
        y = r.top + 3;
        captionRect->top = y + h;
        break;
    case kAlignCenter:
        break;
    }
    if (pressed && !toggle_) {
        ++x;
        ++y;
    }
    if (pic.image) {
        UniqueMemDc mem(CreateCompatibleDC(dc));
        COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
        COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        {
            SelectIn sel(mem.get(), pic.mask.get());
            BitBlt(dc, x, y, w, h, mem.get(), 0, 0, SRCAND);
        }
        {
            SelectIn sel(mem.get(), pic.image.get());
            BitBlt(dc, x, y, w, h, mem.get(), 0, 0, SRCPAINT);
        }
        SetBkColor(dc, oldBk);
        SetTextColor(dc, oldText);
    } else {
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, w, h,
                   DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
    }
}

void CHoverButton::DrawCaption(HDC dc, const RECT& r, bool pressed, bool disabled, bool active) {
    char text[256] = {};
    GetWindowTextA(hwnd_, text, sizeof text);
    if (text[0] == '\0') return;
    RECT tr = r;
    if (pressed) OffsetRect(&tr, 1, 1);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    SelectIn sel(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    const UINT fmt = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (disabled) {
        RECT er = tr;
        OffsetRect(&er, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHILIGHT));
        DrawTextA(dc, text, -1, &er, fmt);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextA(dc, text, -1, &tr, fmt);
        return;
    }
    SetTextColor(dc, active ? activeText_ : inactiveText_);
    DrawTextA(dc, text, -1, &tr, fmt);
}

void CHoverButton::DrawItem(const DRAWITEMSTRUCT& dis) {
    HDC dc = dis.hDC;
    RECT r = dis.rcItem;
    const bool selected = (dis.itemState & ODS_SELECTED) != 0;
    const bool pressed = selected || (toggle_ && checked_);
    const bool focus = (dis.itemState & ODS_FOCUS) != 0;
    const bool disabled = (dis.itemState & ODS_DISABLED) != 0;
    const bool active = hover_ || pressed;
    const int saved = SaveDC(dc);

    if (!flat_ && (focus || default_)) {
        UniqueBrush black(CreateSolidBrush(RGB(0, 0, 0)));
        FrameRect(dc, &r, black.get());
        InflateRect(&r, -1, -1);
    }
    DrawBackground(dc, r, active);
    DrawBorder(dc, r, pressed);
    RECT captionRect = r;
    DrawImage(dc, r, pressed, disabled, &captionRect);
    DrawCaption(dc, captionRect, pressed, disabled, active);
    if (focus && (!flat_ || flatFocusRect_)) {
        RECT fr = dis.rcItem;
        InflateRect(&fr, -3, -3);
        DrawFocusRect(dc, &fr);
    }
    RestoreDC(dc, saved);
}

}  // namespace qorwin
