// A thin layer over Win32 property sheets: a C++ object per page with its
// messages and the sheet's notifications routed to virtual handlers, and a
// modal sheet made of such pages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qorwin {

class PropertySheetDialog;

class PropertyPage {
public:
    explicit PropertyPage(int resourceId) : resourceId_(resourceId) {}
    virtual ~PropertyPage() = default;
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void SetItemText(int id, const std::string& text) const { SetDlgItemTextA(hwnd_, id, text.c_str()); }
    std::string ItemText(int id) const;
    bool Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void SetChecked(int id, bool on) const { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }

    // The tab's caption, taken when the sheet opens; empty keeps the template's.
    void SetTitle(const std::string& title) { title_ = title; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // The page is left (another tab, or OK): false keeps it in front.
    virtual bool OnKillActive() { return true; }
    // OK: the page stores what it shows. Only pages that have been shown hear it.
    virtual void OnApply() {}

private:
    friend class PropertySheetDialog;
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    int resourceId_;
    std::string title_;
    HWND hwnd_ = nullptr;
    PropertySheetDialog* sheet_ = nullptr;
};

class PropertySheetDialog {
public:
    PropertySheetDialog() = default;
    virtual ~PropertySheetDialog() = default;
    PropertySheetDialog(const PropertySheetDialog&) = delete;
    PropertySheetDialog& operator=(const PropertySheetDialog&) = delete;

    // Pages in tab order; they must outlive DoModal.
    void AddPage(PropertyPage* page);
    // Shows the sheet modal. IDOK when it was closed with OK, IDCANCEL
    // otherwise, -1 when it could not be shown.
    INT_PTR DoModal(HINSTANCE inst, HWND owner, const std::string& caption);
    HWND hwnd() const { return hwnd_; }

protected:
    // The sheet window and its buttons exist.
    virtual void OnInitialized() {}

private:
    friend class PropertyPage;
    static int CALLBACK Callback(HWND hwnd, UINT msg, LPARAM lp);

    std::vector<PropertyPage*> pages_;
    HWND hwnd_ = nullptr;
    bool applied_ = false;
};

// Control ids of the sheet's own buttons besides IDOK and IDCANCEL.
inline constexpr int kSheetApplyButton = 0x3021;
inline constexpr int kSheetHelpButton = IDHELP;

}  // namespace qorwin
