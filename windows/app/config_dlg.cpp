#include "config_dlg.h"

#include <string>

#include "app_state.h"
#include "config_settings.h"
#include "language.h"
#include "language_table.h"
#include "line_probe.h"
#include "line_status.h"
#include "main_dlg.h"
#include "port_detection.h"
#include "registry_store.h"
#include "registry_values.h"
#include "resource.h"
#include "settings_text.h"
#include "string_ids.h"

namespace qorwin {
namespace {

// The four number edits in the order they are checked.
const int kNumberEdits[kConfigNumberCount] = {IDC_CFG_BATTERY_LIFE, IDC_CFG_BATTERY_LOW_LIFE, IDC_CFG_WARNING_TIME,
                                              IDC_CFG_INTERVAL};

std::string ComboText(HWND combo, int index) {
    LRESULT len = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == CB_ERR || len <= 0) return std::string();
    std::string s(static_cast<std::size_t>(len) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(static_cast<std::size_t>(len));
    return s;
}

}  // namespace

INT_PTR CConfigDlg::Run(HWND owner) { return DoModal(inst_, IDD_CONFIG, owner); }

BOOL CConfigDlg::OnInitDialog() {
    HWND port = Item(IDC_CFG_PORT);
    for (int i = 0; i < kConfigPortItems; ++i)
        SendMessageA(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ConfigPortName(i).c_str()));
    SelectStoredPort();

    RegistryStore store;
    ConfigValues values = LoadConfigValues(store);
    std::uint32_t numbers[kConfigNumberCount];
    ConfigNumbers(values, numbers);
    for (int i = 0; i < kConfigNumberCount; ++i) SetDlgItemInt(hwnd(), kNumberEdits[i], numbers[i], FALSE);
    CheckDlgButton(hwnd(), IDC_CFG_SHOW_STATUS, values.showStatus ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(hwnd(), IDC_CFG_INTERVAL, EM_LIMITTEXT, 4, 0);

    std::uint32_t language = 0;
    ReadDword(store, value::kLanguageType, language);
    FillLanguages(language < kLanguageCount ? static_cast<int>(language) : -1);
    Relabel();
    return TRUE;
}

void CConfigDlg::SelectStoredPort() {
    RegistryStore store;
    char port[kPortBufferSize] = {};
    ReadText(store, value::kPort, port, sizeof port);
    SendDlgItemMessageA(hwnd(), IDC_CFG_PORT, CB_SETCURSEL, static_cast<WPARAM>(ConfigPortIndex(port)), 0);
}

void CConfigDlg::FillLanguages(int select) {
    HWND combo = Item(IDC_CFG_LANGUAGE);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < static_cast<int>(kLanguageCount); ++i) {
        std::string name = Text(LanguageFor(static_cast<std::uint32_t>(i)).nameString);
        // A library without the names keeps the ones shown.
        if (name.empty()) name = i < count ? ComboText(combo, i) : kDefaultLanguageNames[i];
        if (i < count) SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
        SendMessageA(combo, CB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(select), 0);
}

void CConfigDlg::Relabel() {
    SetLabel(hwnd(), 0, text::kConfigurationTitle);
    SetLabel(hwnd(), IDC_CFG_UPS_GROUP, text::kConfigUpsGroup);
    SetLabel(hwnd(), IDC_CFG_PORT_LABEL, text::kConfigPortLabel);
    SetLabel(hwnd(), IDC_CFG_LIFE_LABEL, text::kConfigBatteryLife);
    SetLabel(hwnd(), IDC_CFG_LOW_LABEL, text::kConfigBatteryLowLife);
    SetLabel(hwnd(), IDC_CFG_WARNING_GROUP, text::kConfigWarningGroup);
    SetLabel(hwnd(), IDC_CFG_WARN_LABEL, text::kConfigWarningTime);
    SetLabel(hwnd(), IDC_CFG_INTERVAL_LABEL, text::kConfigInterval);
    for (int unit : {IDC_CFG_LIFE_UNIT, IDC_CFG_LOW_UNIT, IDC_CFG_WARN_UNIT})
        SetLabel(hwnd(), unit, text::kUnitMinutes);
    SetLabel(hwnd(), IDC_CFG_INTERVAL_UNIT, text::kUnitSeconds);
    SetLabel(hwnd(), IDC_CFG_SHOW_STATUS, text::kConfigShowStatus);
    SetLabel(hwnd(), IDC_CFG_LANGUAGE_LABEL, text::kConfigLanguage);
    SetLabel(hwnd(), IDOK, text::kOk);
    SetLabel(hwnd(), IDCANCEL, text::kCancel);
}

void CConfigDlg::OnPortChosen() {
    int index = static_cast<int>(SendDlgItemMessageA(hwnd(), IDC_CFG_PORT, CB_GETCURSEL, 0, 0));
    if (index < 0 || index >= kConfigPortItems) return;
    const std::string name = ConfigPortName(index);
    const char* port = name.c_str();
    RegistryStore store;
    StorePortChoice(store, port);
    const int n = PortNumberFromName(port);
    if (n != 0 && UpsPresent(ProbeUpsLine(port))) {
        SetPortNumber(n);
        ShowPortLine(main_.hwnd(), port);
        return;
    }
    SetDlgItemTextA(main_.hwnd(), IDC_PORT_LINE, Text(text::kPortNone).c_str());
    main_.SetTexts(Text(text::kAcFailure).c_str(), Text(text::kBatteryLow).c_str(),
                   Text(text::kCountdownCancelled).c_str());
    main_.RefreshTexts();
    SetPortNumber(0);
}

void CConfigDlg::OnLanguageChosen() {
    int index = static_cast<int>(SendDlgItemMessageA(hwnd(), IDC_CFG_LANGUAGE, CB_GETCURSEL, 0, 0));
    if (index < 0 || index >= static_cast<int>(kLanguageCount)) return;
    RegistryStore store;
    WriteDword(store, value::kLanguageType, static_cast<std::uint32_t>(index));
    LoadLanguage(static_cast<std::uint32_t>(index));
    Relabel();
    FillLanguages(index);
    main_.Relabel();
    SetPortNumber(DetectPort(main_.hwnd()));
    SelectStoredPort();  // the detection may have stored another port
}

bool CConfigDlg::OnOk() {
    std::string texts[kConfigNumberCount];
    for (int i = 0; i < kConfigNumberCount; ++i) texts[i] = ItemText(kNumberEdits[i]);
    ConfigValues values;
    ConfigCheck check = TakeConfigNumbers(texts, values);
    if (check.field >= 0) {
        MessageBoxA(hwnd(), NumberCheckMessage(check.result, kConfigMin, kConfigMax).c_str(), kMainDialogTitle,
                    MB_OK | MB_ICONEXCLAMATION);
        HWND edit = Item(kNumberEdits[check.field]);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return false;
    }
    values.showStatus = IsDlgButtonChecked(hwnd(), IDC_CFG_SHOW_STATUS) == BST_CHECKED ? 1 : 0;
    RegistryStore store;
    SaveConfigValues(store, values);
    return true;
}

bool CConfigDlg::OnCommand(int id, int code, HWND) {
    switch (id) {
    case IDC_CFG_PORT:
        if (code == CBN_SELCHANGE) OnPortChosen();
        return true;
    case IDC_CFG_LANGUAGE:
        if (code == CBN_SELCHANGE) OnLanguageChosen();
        return true;
    case IDOK:
        if (OnOk()) EndDialog(IDOK);
        return true;
    default:
        return false;
    }
}

}  // namespace qorwin
