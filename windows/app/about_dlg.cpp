#include "about_dlg.h"

#include "dialog.h"
#include "language.h"
#include "resource.h"
#include "string_ids.h"

namespace qorwin {
namespace {

class AboutDlg : public Dialog {
public:
    explicit AboutDlg(HINSTANCE inst) : inst_(inst) {}

protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_ABOUT_TEXT, "Halvora Qor 3.0 Version.");
        SetLabel(hwnd(), IDOK, text::kOk);
        HICON icon = LoadIconA(inst_, MAKEINTRESOURCEA(IDI_APP));
        SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        return TRUE;
    }

private:
    HINSTANCE inst_;
};

}  // namespace

void ShowAboutBox(HINSTANCE inst, HWND owner) {
    if (FindWindowA(nullptr, "About...")) return;
    AboutDlg dlg(inst);
    dlg.DoModal(inst, IDD_ABOUT, owner);
}

}  // namespace qorwin
