// CNotifyDlg: the notification dialog (resource 170): which remote channels
// are enabled, and per event its message and channels. It opens the e-mail
// and pager sheets.
#pragma once

#include <windows.h>

#include "dialog.h"

namespace qorwin {

class CNotifyDlg : public Dialog {
public:
    explicit CNotifyDlg(HINSTANCE inst) : inst_(inst) {}
    INT_PTR Run(HWND owner);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Relabel();
    void UpdateSettingButtons();
    void Save();

    HINSTANCE inst_;
};

}  // namespace qorwin
