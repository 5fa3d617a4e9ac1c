// CConfigDlg: the configuration dialog (resource 132). The port and the
// language take effect as soon as they are chosen; the countdown and reminder
// values are stored on OK.
#pragma once

#include <windows.h>

#include "dialog.h"

namespace qorwin {

class CMainDlg;

class CConfigDlg : public Dialog {
public:
    CConfigDlg(HINSTANCE inst, CMainDlg& main) : inst_(inst), main_(main) {}
    INT_PTR Run(HWND owner);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Relabel();
    void FillLanguages(int select);
    void SelectStoredPort();
    void OnPortChosen();
    void OnLanguageChosen();
    bool OnOk();

    HINSTANCE inst_;
    CMainDlg& main_;
};

}  // namespace qorwin
