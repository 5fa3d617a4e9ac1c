#include "pager_sheet.h"

#include "email_setting.h"
#include "language.h"
#include "modem_setting.h"
#include "registry_store.h"
#include "resource.h"
#include "settings_text.h"

namespace qorwin {
namespace {

template <std::size_t N>
void FillCombo(HWND combo, const char* const (&items)[N], int select) {
    for (const char* item : items) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(select), 0);
}

// The chosen index, or the previous one when nothing is chosen.
int ComboIndex(HWND combo, int previous) {
    LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    return sel == CB_ERR ? previous : static_cast<int>(sel);
}

}  // namespace

// ---- CModemPage

CModemPage::CModemPage(ModemPageValues& values) : PropertyPage(IDD_MODEM_PAGE), values_(values) {}

BOOL CModemPage::OnInitDialog() {
    SetLabel(hwnd(), IDC_MODEM_PORT_LABEL, text::kModemPort);
    SetLabel(hwnd(), IDC_MODEM_BAUD_LABEL, text::kModemBaud);
    SetLabel(hwnd(), IDC_MODEM_PARITY_LABEL, text::kModemParity);
    SetLabel(hwnd(), IDC_MODEM_DATA_BITS_LABEL, text::kModemDataBits);
    SetLabel(hwnd(), IDC_MODEM_STOP_BITS_LABEL, text::kModemStopBits);
    SetLabel(hwnd(), IDC_MODEM_INIT_LABEL, text::kModemInitString);
    SetLabel(hwnd(), IDC_MODEM_PREFIX_LABEL, text::kModemPrefix);
    const ModemSetting& m = values_.modem;
    FillCombo(Item(IDC_MODEM_PORT), kModemPorts, PortIndex(m.port));
    FillCombo(Item(IDC_MODEM_BAUD), kBaudRates, BaudIndex(m.baud));
    FillCombo(Item(IDC_MODEM_PARITY), kParityNames, m.parity);
    FillCombo(Item(IDC_MODEM_DATA_BITS), kDataBitNames, m.dataBits);
    FillCombo(Item(IDC_MODEM_STOP_BITS), kStopBitNames, m.stopBits);
    SendDlgItemMessageA(hwnd(), IDC_MODEM_INIT, EM_LIMITTEXT, kModemTextTyped, 0);
    SendDlgItemMessageA(hwnd(), IDC_MODEM_PREFIX, EM_LIMITTEXT, kModemTextTyped, 0);
    SetItemText(IDC_MODEM_INIT, values_.initString);
    SetItemText(IDC_MODEM_PREFIX, values_.dialPrefix);
    return TRUE;
}

void CModemPage::OnApply() {
    ModemSetting& m = values_.modem;
    SetField(m.port, kModemPorts[ComboIndex(Item(IDC_MODEM_PORT), PortIndex(m.port) < 0 ? 0 : PortIndex(m.port))]);
    SetField(m.baud, kBaudRates[ComboIndex(Item(IDC_MODEM_BAUD), BaudIndex(m.baud) < 0 ? 0 : BaudIndex(m.baud))]);
    m.parity = ComboIndex(Item(IDC_MODEM_PARITY), m.parity);
    m.dataBits = ComboIndex(Item(IDC_MODEM_DATA_BITS), m.dataBits);
    m.stopBits = ComboIndex(Item(IDC_MODEM_STOP_BITS), m.stopBits);
    values_.initString = ItemText(IDC_MODEM_INIT);
    values_.dialPrefix = ItemText(IDC_MODEM_PREFIX);
    RegistryStore store;
    SaveModemPage(store, values_);
}

// ---- CNumberPage

CNumberPage::CNumberPage(ListEditor& list)
    : CListPage(IDD_NUMBER_PAGE,
                Controls{IDC_NUM_LIST, IDC_NUM_NAME, IDC_NUM_PAGER, IDC_NUM_ADD, IDC_NUM_REMOVE, IDC_NUM_LIST_LABEL,
                         IDC_NUM_NAME_LABEL, IDC_NUM_PAGER_LABEL, text::kNumberPage, text::kNameLabel,
                         text::kPagerLabel},
                list) {}

// ---- CPagerSheet

CPagerSheet::CPagerSheet(HINSTANCE inst) : inst_(inst), modemPage_(modem_), numberPage_(numbers_) {
    AddPage(&modemPage_);
    AddPage(&numberPage_);
}

INT_PTR CPagerSheet::Run(HWND owner) {
    RegistryStore store;
    modem_ = LoadModemPage(store);
    numbers_.Load(store);
    modemPage_.SetTitle(Text(text::kModemPage));
    numberPage_.SetTitle(Text(text::kNumberPage));
    return CSettingsSheet::Run(inst_, owner, text::kPagerSettingButton, IDS_PAGER_SHEET);
}

}  // namespace qorwin
