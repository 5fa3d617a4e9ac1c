// CTrayWnd: the hidden owner window "HalvoraQor" with the tray icon and menu.
// It owns the one CMainDlg.
#pragma once

#include <windows.h>

#include <memory>

#include "access_faults.h"
#include "dialog.h"
#include "main_dlg.h"

namespace qorwin {

class CTrayWnd : public Window {
public:
    static constexpr UINT_PTR kTimerTray = 10;
    static constexpr UINT kTrayIconId = 128;

    explicit CTrayWnd(HINSTANCE inst) : inst_(inst) {}
    ~CTrayWnd() override;

    bool Create();
    CMainDlg* MainDialog() const { return main_.get(); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool OnCreate();
    void AddTrayIcon();
    void DeleteTrayIcon();
    void ShowMainDialog();
    void OnTrayNotify(LPARAM mouse);
    void TrackTrayMenu();
    void OnDestroy();

    HINSTANCE inst_;
    std::unique_ptr<CMainDlg> main_;
    HICON icon_ = nullptr;
    FaultNotice notice_;
};

}  // namespace qorwin
