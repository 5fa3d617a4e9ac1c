#include "about_dlg.h"

#include "dialog.h"
#include "resource.h"

namespace qorwin {
namespace {

class AboutDlg : public Dialog {
protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_ABOUT_TEXT, "Halvora Qor 3.0 Version.");
        return TRUE;
    }
};

}  // namespace

void ShowAboutBox(HINSTANCE inst, HWND owner) {
    if (FindWindowA(nullptr, "About...")) return;
    AboutDlg dlg;
    dlg.DoModal(inst, IDD_ABOUT, owner);
}

}  // namespace qorwin
