// CMainDlg: the status dialog (resource 102, "Halvora"), created modeless and
// hidden at start and shown from the tray.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialog.h"
#include "hover_button.h"
#include "power_monitor.h"
#include "win_raii.h"

namespace qorwin {

class CMainDlg : public Dialog, private MonitorHost {
public:
    static constexpr UINT_PTR kTimerLinePoll = 1;
    static constexpr UINT_PTR kTimerCountdown = 2;
    static constexpr UINT_PTR kTimerAnimation = 256;
    // Posted at the end of the start-up: the ShutDown Status question is asked
    // once the monitor runs, so an unanswered question leaves the UPS watched.
    static constexpr UINT kMsgAskShutdownStatus = WM_APP + 136;
    static constexpr std::size_t kTextMax = 256;  // each display text, with its NUL

    explicit CMainDlg(HINSTANCE inst) : inst_(inst) {}

    bool Create(HWND owner);
    void Show();

    // Captions from the language library (also after a language change).
    void Relabel();
    // Puts the three display texts into their controls.
    void RefreshTexts();
    void SetTexts(const char* ac, const char* battery, const char* countdown);

    // Swallows Enter and Esc key-downs meant for the dialog; true when eaten.
    bool PreTranslate(const MSG& msg) const;


protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
    void OnDestroy() override;

private:
    void LoadFrames();
    void RestoreBootFiles();
    void AskShutdownStatus();
    void ClearStaleShutdownMarker();
    void FindStartPort();
    void StartTimers();
    void ShowFaults();
    void Paint();

    // What the power monitor does, done on this dialog.
    std::int32_t Probe(const char* portName) override;
    void ShowTexts(const DisplayTexts& texts) override;
    void Log(unsigned textId) override;
    void ShowWarning(int kind, std::uint32_t seconds) override;
    void PostPager(int code) override;
    void PostMail(int kind) override;
    void Repaint() override;
    void StartCountdown() override;
    void StopCountdown() override;
    void ClosePopup() override;
    void RunShutdown() override;
    std::uint64_t NowMs() override;

    HINSTANCE inst_;
    char acText_[kTextMax] = "System AC power: ";
    char batteryText_[kTextMax] = "UPS Battery status: ";
    char countdownText_[kTextMax] = "ShutDown CountDown";
    UniqueBitmap setA_[3];  // AC present
    UniqueBitmap setB_[3];  // no AC
    CHoverButton help_;
    HICON icon_ = nullptr;
    PowerMonitor monitor_{*this};
};

}  // namespace qorwin
