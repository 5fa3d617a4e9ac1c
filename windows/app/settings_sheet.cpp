#include "settings_sheet.h"

#include <commctrl.h>
#include <prsht.h>

#include "language.h"
#include "registry_store.h"
#include "settings_text.h"
#include "string_ids.h"

namespace qorwin {
namespace {

// How far OK and Cancel move once Apply and Help are hidden.
constexpr int kButtonShift = 135;

RECT ClientRectOf(HWND sheet, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

INT_PTR CSettingsSheet::Run(HINSTANCE inst, HWND owner, unsigned titleText, int fallbackString) {
    std::string title = Text(titleText);
    if (title.empty()) {
        char buf[kTextBufferSize] = {};
        LoadStringA(inst, static_cast<UINT>(fallbackString), buf, sizeof buf);
        title = buf;
    }
    return DoModal(inst, owner, title);
}

void CSettingsSheet::OnInitialized() {
    HWND sheet = hwnd();
    HWND ok = GetDlgItem(sheet, IDOK);
    HWND cancel = GetDlgItem(sheet, IDCANCEL);
    if (!ok || !cancel) return;
    SetLabel(sheet, IDOK, text::kOk);
    SetLabel(sheet, IDCANCEL, text::kCancel);
    // Into the places of Apply and Help (Help has its place even while it is
    // hidden), never past them.
    int rightmost = ClientRectOf(sheet, cancel).right;
    for (int id : {kSheetApplyButton, kSheetHelpButton}) {
        HWND b = GetDlgItem(sheet, id);
        if (!b) continue;
        RECT r = ClientRectOf(sheet, b);
        if (r.right > rightmost) rightmost = r.right;
        ShowWindow(b, SW_HIDE);
    }
    // ... and inside the sheet, with the margin the tabs have on the left.
    RECT client = {};
    GetClientRect(sheet, &client);
    int margin = 0;
    if (HWND tabs = PropSheet_GetTabControl(sheet)) margin = ClientRectOf(sheet, tabs).left;
    if (rightmost > client.right - margin) rightmost = client.right - margin;
    int shift = kButtonShift;
    if (ClientRectOf(sheet, cancel).right + shift > rightmost) shift = rightmost - ClientRectOf(sheet, cancel).right;
    if (shift <= 0) return;
    for (HWND b : {ok, cancel}) {
        RECT r = ClientRectOf(sheet, b);
        SetWindowPos(b, nullptr, r.left + shift, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

BOOL CListPage::OnInitDialog() {
    SetLabel(hwnd(), c_.listLabel, c_.listText);
    SetLabel(hwnd(), c_.nameLabel, c_.nameText);
    SetLabel(hwnd(), c_.secondLabel, c_.secondText);
    SetLabel(hwnd(), c_.add, text::kAddButton);
    SetLabel(hwnd(), c_.remove, text::kRemoveButton);
    SendDlgItemMessageA(hwnd(), c_.name, EM_LIMITTEXT, kListNameSize - 1, 0);
    SendDlgItemMessageA(hwnd(), c_.second, EM_LIMITTEXT, list_.SecondSize() - 1, 0);
    for (std::size_t i = 0; i < list_.Count(); ++i)
        SendDlgItemMessageA(hwnd(), c_.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list_.Line(i).c_str()));
    return TRUE;
}

void CListPage::Add() {
    if (!list_.Add(ItemText(c_.name), ItemText(c_.second))) {
        MessageBeep(MB_OK);
        return;
    }
    SendDlgItemMessageA(hwnd(), c_.list, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(list_.Line(list_.Count() - 1).c_str()));
    SetItemText(c_.name, std::string());
    SetItemText(c_.second, std::string());
    SetFocus(Item(c_.name));
}

void CListPage::Remove() {
    LRESULT sel = SendDlgItemMessageA(hwnd(), c_.list, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR || !list_.Remove(static_cast<int>(sel))) return;
    SendDlgItemMessageA(hwnd(), c_.list, LB_DELETESTRING, static_cast<WPARAM>(sel), 0);
}

bool CListPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    if (id == c_.add) {
        Add();
        return true;
    }
    if (id == c_.remove) {
        Remove();
        return true;
    }
    return false;
}

void CListPage::OnApply() {
    RegistryStore store;
    list_.Save(store);
}

}  // namespace qorwin
