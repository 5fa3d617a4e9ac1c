// CEmailSheet (caption 178): the e-mail settings, with CInternetPage (174:
// connection and server) and CAddressPage (175: the recipients).
#pragma once

#include <windows.h>

#include "email_setting.h"
#include "list_editor.h"
#include "settings_sheet.h"

namespace qorwin {

class CInternetPage : public PropertyPage {
public:
    explicit CInternetPage(EmailSetting& setting);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnApply() override;

private:
    EmailSetting& setting_;
};

class CAddressPage : public CListPage {
public:
    explicit CAddressPage(ListEditor& list);
};

class CEmailSheet : public CSettingsSheet {
public:
    explicit CEmailSheet(HINSTANCE inst);
    INT_PTR Run(HWND owner);

private:
    HINSTANCE inst_;
    EmailSetting setting_{};
    ListEditor addresses_{ListEditor::Kind::Address};
    CInternetPage internet_;
    CAddressPage address_;
};

}  // namespace qorwin
