#include "property_sheet.h"

#include <commctrl.h>
#include <prsht.h>

#include "dialog.h"

namespace qorwin {
namespace {

// The sheet being opened on this thread. The sheet callback carries no data
// of its own, and a modal sheet opens on the thread that asked for it.
thread_local PropertySheetDialog* t_opening = nullptr;

class Opening {
public:
    explicit Opening(PropertySheetDialog* sheet) : previous_(t_opening) { t_opening = sheet; }
    ~Opening() { t_opening = previous_; }
    Opening(const Opening&) = delete;
    Opening& operator=(const Opening&) = delete;

private:
    PropertySheetDialog* previous_;
};

}  // namespace

// ---- PropertyPage

std::string PropertyPage::ItemText(int id) const { return WindowTextOf(Item(id)); }

INT_PTR CALLBACK PropertyPage::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    PropertyPage* self = reinterpret_cast<PropertyPage*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        const auto* psp = reinterpret_cast<const PROPSHEETPAGEA*>(lp);
        self = psp ? reinterpret_cast<PropertyPage*>(psp->lParam) : nullptr;
        if (!self) return FALSE;
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        return self->OnInitDialog();
    }
    if (self == nullptr) return FALSE;
    switch (msg) {
    case WM_COMMAND:
        return self->OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        if (hdr == nullptr) return FALSE;
        if (hdr->code == static_cast<UINT>(PSN_KILLACTIVE)) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, self->OnKillActive() ? FALSE : TRUE);
            return TRUE;
        }
        if (hdr->code == static_cast<UINT>(PSN_APPLY)) {
            self->OnApply();
            if (self->sheet_) self->sheet_->applied_ = true;
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        return FALSE;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- PropertySheetDialog

void PropertySheetDialog::AddPage(PropertyPage* page) {
    if (page == nullptr) return;
    page->sheet_ = this;
    pages_.push_back(page);
}

int CALLBACK PropertySheetDialog::Callback(HWND hwnd, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED && t_opening) {
        t_opening->hwnd_ = hwnd;
        t_opening->OnInitialized();
    }
    return 0;
}

INT_PTR PropertySheetDialog::DoModal(HINSTANCE inst, HWND owner, const std::string& caption) {
    if (hwnd_ || pages_.empty()) return -1;
    std::vector<PROPSHEETPAGEA> psp(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        PROPSHEETPAGEA& p = psp[i];
        p = PROPSHEETPAGEA{};
        p.dwSize = sizeof p;
        p.dwFlags = PSP_DEFAULT;
        if (!pages_[i]->title_.empty()) {
            p.dwFlags |= PSP_USETITLE;
            p.pszTitle = pages_[i]->title_.c_str();
        }
        p.hInstance = inst;
        p.pszTemplate = MAKEINTRESOURCEA(pages_[i]->resourceId_);
        p.pfnDlgProc = &PropertyPage::Proc;
        p.lParam = reinterpret_cast<LPARAM>(pages_[i]);
    }
    PROPSHEETHEADERA h = {};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    h.hwndParent = owner;
    h.hInstance = inst;
    h.pszCaption = caption.c_str();
    h.nPages = static_cast<UINT>(psp.size());
    h.ppsp = psp.data();
    h.pfnCallback = &PropertySheetDialog::Callback;

    applied_ = false;
    INT_PTR rc;
    {
        Opening opening(this);
        rc = PropertySheetA(&h);
    }
    hwnd_ = nullptr;
    if (rc < 0) return -1;
    return applied_ ? IDOK : IDCANCEL;
}

}  // namespace qorwin
