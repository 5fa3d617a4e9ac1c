#include "email_sheet.h"

#include "dialup_list.h"
#include "language.h"
#include "registry_store.h"
#include "resource.h"
#include "settings_text.h"
#include "sheet_settings.h"

namespace qorwin {

// ---- CInternetPage

CInternetPage::CInternetPage(EmailSetting& setting) : PropertyPage(IDD_INTERNET_PAGE), setting_(setting) {}

BOOL CInternetPage::OnInitDialog() {
    SetLabel(hwnd(), IDC_INET_ALWAYS, text::kAlwaysConnected);
    SetLabel(hwnd(), IDC_INET_DIALUP, text::kUseDialup);
    SetLabel(hwnd(), IDC_INET_SMTP_LABEL, text::kSmtpServer);
    SetLabel(hwnd(), IDC_INET_CONNECTION_LABEL, text::kUseConnection);
    SetLabel(hwnd(), IDC_INET_USER_LABEL, text::kUserName);
    SetLabel(hwnd(), IDC_INET_PASSWORD_LABEL, text::kPassword);
    SetLabel(hwnd(), IDC_INET_DISCONNECT, text::kDisconnect);
    SendDlgItemMessageA(hwnd(), IDC_INET_SMTP, EM_LIMITTEXT, kSmtpServerTyped, 0);
    SendDlgItemMessageA(hwnd(), IDC_INET_USER, EM_LIMITTEXT, sizeof setting_.userName - 1, 0);
    SendDlgItemMessageA(hwnd(), IDC_INET_PASSWORD, EM_LIMITTEXT, sizeof setting_.password - 1, 0);

    HWND combo = Item(IDC_INET_CONNECTION);
    for (const std::string& name : LoadDialupEntries())
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (setting_.connectionName[0] != '\0') {
        LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(setting_.connectionName));
        if (at != CB_ERR) SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    }

    const bool always = ShowsAlwaysConnected(setting_);
    SetChecked(IDC_INET_ALWAYS, always);
    SetChecked(IDC_INET_DIALUP, !always);
    SetChecked(IDC_INET_DISCONNECT, setting_.disconnectWhenDone != 0);
    SetItemText(IDC_INET_SMTP, setting_.smtpServer);
    SetItemText(IDC_INET_USER, setting_.userName);
    SetItemText(IDC_INET_PASSWORD, setting_.password);
    return TRUE;
}

bool CInternetPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || (id != IDC_INET_ALWAYS && id != IDC_INET_DIALUP)) return false;
    SetChecked(id, true);
    SetChecked(id == IDC_INET_ALWAYS ? IDC_INET_DIALUP : IDC_INET_ALWAYS, false);
    return true;
}

void CInternetPage::OnApply() {
    InternetPageFields f;
    f.alwaysConnected = Checked(IDC_INET_ALWAYS);
    f.smtpServer = ItemText(IDC_INET_SMTP);
    f.userName = ItemText(IDC_INET_USER);
    f.password = ItemText(IDC_INET_PASSWORD);
    f.disconnectWhenDone = Checked(IDC_INET_DISCONNECT);
    // The chosen entry; with none chosen (an empty phone book) the stored one stays.
    HWND combo = Item(IDC_INET_CONNECTION);
    LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    f.connectionName = setting_.connectionName;
    if (sel != CB_ERR) {
        char name[sizeof setting_.connectionName] = {};
        if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0) < static_cast<LRESULT>(sizeof name)) {
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(name));
            f.connectionName = name;
        }
    }
    setting_ = MakeEmailSetting(f);
    RegistryStore store;
    SaveEmailSetting(store, setting_);
}

// ---- CAddressPage

CAddressPage::CAddressPage(ListEditor& list)
    : CListPage(IDD_ADDRESS_PAGE,
                Controls{IDC_ADDR_LIST, IDC_ADDR_NAME, IDC_ADDR_EMAIL, IDC_ADDR_ADD, IDC_ADDR_REMOVE,
                         IDC_ADDR_LIST_LABEL, IDC_ADDR_NAME_LABEL, IDC_ADDR_EMAIL_LABEL, text::kAddressPage,
                         text::kNameLabel, text::kEmailLabel},
                list) {}

// ---- CEmailSheet

CEmailSheet::CEmailSheet(HINSTANCE inst) : inst_(inst), internet_(setting_), address_(addresses_) {
    AddPage(&internet_);
    AddPage(&address_);
}

INT_PTR CEmailSheet::Run(HWND owner) {
    RegistryStore store;
    setting_ = LoadEmailSetting(store);
    addresses_.Load(store);
    internet_.SetTitle(Text(text::kInternetPage));
    address_.SetTitle(Text(text::kAddressPage));
    return CSettingsSheet::Run(inst_, owner, text::kEmailSettingButton, IDS_EMAIL_SHEET);
}

}  // namespace qorwin
