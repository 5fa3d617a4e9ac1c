#include "notify_dlg.h"

#include "email_sheet.h"
#include "language.h"
#include "notify_settings.h"
#include "pager_sheet.h"
#include "registry_store.h"
#include "resource.h"
#include "settings_text.h"
#include "string_ids.h"

namespace qorwin {
namespace {

struct RowControls {
    int label;
    unsigned labelText;
    int text;
    int popup;
    int email;
    int pager;
};

// In NotifyRow order. The boxes stand under the icons of their channel.
const RowControls kRows[kNotifyRowCount] = {
    {IDC_NTF_FAIL_LABEL, text::kRowPowerFail, IDC_NTF_FAIL_TEXT, IDC_NTF_FAIL_POPUP, IDC_NTF_FAIL_EMAIL,
     IDC_NTF_FAIL_PAGER},
    {IDC_NTF_RESTORED_LABEL, text::kRowPowerRestored, IDC_NTF_RESTORED_TEXT, IDC_NTF_RESTORED_POPUP,
     IDC_NTF_RESTORED_EMAIL, IDC_NTF_RESTORED_PAGER},
    {IDC_NTF_LOW_LABEL, text::kRowBatteryLow, IDC_NTF_LOW_TEXT, IDC_NTF_LOW_POPUP, IDC_NTF_LOW_EMAIL,
     IDC_NTF_LOW_PAGER},
};

}  // namespace

INT_PTR CNotifyDlg::Run(HWND owner) { return DoModal(inst_, IDD_NOTIFY, owner); }

BOOL CNotifyDlg::OnInitDialog() {
    Relabel();
    RegistryStore store;
    NotifySettings s = LoadNotifySettings(store);
    CheckDlgButton(hwnd(), IDC_NTF_ENABLE_EMAIL, (s.enable & kEnableEmail) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd(), IDC_NTF_ENABLE_PAGER, (s.enable & kEnablePager) ? BST_CHECKED : BST_UNCHECKED);
    for (int row = 0; row < kNotifyRowCount; ++row) {
        const RowControls& c = kRows[row];
        SendDlgItemMessageA(hwnd(), c.text, EM_LIMITTEXT, kEventTextMax, 0);
        SetItemText(c.text, s.events[row].text);
        const int mask = s.events[row].channels;
        CheckDlgButton(hwnd(), c.popup, (mask & kChannelPopup) ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(hwnd(), c.email, (mask & kChannelEmail) ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(hwnd(), c.pager, (mask & kChannelPager) ? BST_CHECKED : BST_UNCHECKED);
    }
    UpdateSettingButtons();
    return TRUE;
}

void CNotifyDlg::Relabel() {
    const std::string title = TitleFromCaption(Text(text::kNotificationButton));
    if (!title.empty()) SetWindowTextA(hwnd(), title.c_str());
    SetLabel(hwnd(), IDC_NTF_ENABLE_EMAIL, text::kEnableEmail);
    SetLabel(hwnd(), IDC_NTF_ENABLE_PAGER, text::kEnablePager);
    SetLabel(hwnd(), IDC_NTF_EMAIL_SETTING, text::kEmailSettingButton);
    SetLabel(hwnd(), IDC_NTF_PAGER_SETTING, text::kPagerSettingButton);
    for (const RowControls& c : kRows) SetLabel(hwnd(), c.label, c.labelText);
    Text(text::kEventHeading);  // loaded with the labels, shown nowhere
    SetLabel(hwnd(), IDC_NTF_MESSAGE_HEADING, text::kMessageHeading);
    SetLabel(hwnd(), IDC_NTF_OK, text::kOk);
    SetLabel(hwnd(), IDC_NTF_CANCEL, text::kCancel);
}

void CNotifyDlg::UpdateSettingButtons() {
    EnableWindow(Item(IDC_NTF_EMAIL_SETTING), IsDlgButtonChecked(hwnd(), IDC_NTF_ENABLE_EMAIL) == BST_CHECKED);
    EnableWindow(Item(IDC_NTF_PAGER_SETTING), IsDlgButtonChecked(hwnd(), IDC_NTF_ENABLE_PAGER) == BST_CHECKED);
}

void CNotifyDlg::Save() {
    NotifySettings s;
    if (IsDlgButtonChecked(hwnd(), IDC_NTF_ENABLE_EMAIL) == BST_CHECKED) s.enable |= kEnableEmail;
    if (IsDlgButtonChecked(hwnd(), IDC_NTF_ENABLE_PAGER) == BST_CHECKED) s.enable |= kEnablePager;
    for (int row = 0; row < kNotifyRowCount; ++row) {
        const RowControls& c = kRows[row];
        s.events[row].text = ItemText(c.text);
        int mask = 0;
        if (IsDlgButtonChecked(hwnd(), c.popup) == BST_CHECKED) mask |= kChannelPopup;
        if (IsDlgButtonChecked(hwnd(), c.email) == BST_CHECKED) mask |= kChannelEmail;
        if (IsDlgButtonChecked(hwnd(), c.pager) == BST_CHECKED) mask |= kChannelPager;
        s.events[row].channels = mask;
    }
    RegistryStore store;
    SaveNotifySettings(store, s);
}

bool CNotifyDlg::OnCommand(int id, int code, HWND) {
    switch (id) {
    case IDC_NTF_ENABLE_EMAIL:
    case IDC_NTF_ENABLE_PAGER:
        if (code == BN_CLICKED) UpdateSettingButtons();
        return true;
    case IDC_NTF_EMAIL_SETTING:
        if (code == BN_CLICKED) CEmailSheet(inst_).Run(hwnd());
        return true;
    case IDC_NTF_PAGER_SETTING:
        if (code == BN_CLICKED) CPagerSheet(inst_).Run(hwnd());
        return true;
    case IDC_NTF_OK:
    case IDOK:  // Enter
        Save();
        EndDialog(IDOK);
        return true;
    case IDC_NTF_CANCEL:
    case IDCANCEL:  // Esc and the close box
        EndDialog(IDCANCEL);
        return true;
    default:
        return false;
    }
}

}  // namespace qorwin
