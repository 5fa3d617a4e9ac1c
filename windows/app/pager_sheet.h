// CPagerSheet (caption 179): the pager settings, with CModemPage (176: the
// modem's port and line settings) and CNumberPage (177: the pagers).
#pragma once

#include <windows.h>

#include "list_editor.h"
#include "settings_sheet.h"
#include "sheet_settings.h"

namespace qorwin {

class CModemPage : public PropertyPage {
public:
    explicit CModemPage(ModemPageValues& values);

protected:
    BOOL OnInitDialog() override;
    void OnApply() override;

private:
    ModemPageValues& values_;
};

class CNumberPage : public CListPage {
public:
    explicit CNumberPage(ListEditor& list);
};

class CPagerSheet : public CSettingsSheet {
public:
    explicit CPagerSheet(HINSTANCE inst);
    INT_PTR Run(HWND owner);

private:
    HINSTANCE inst_;
    ModemPageValues modem_;
    ListEditor numbers_{ListEditor::Kind::Pager};
    CModemPage modemPage_;
    CNumberPage numberPage_;
};

}  // namespace qorwin
