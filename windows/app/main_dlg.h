// CMainDlg: the status dialog (resource 102, "Halvora"), created modeless and
// hidden at start and shown from the tray.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialog.h"
#include "hover_button.h"
#include "win_raii.h"

namespace qorwin {

class CMainDlg : public Dialog {
public:
    static constexpr UINT_PTR kTimerLinePoll = 1;
    static constexpr UINT_PTR kTimerCountdown = 2;
    static constexpr UINT_PTR kTimerAnimation = 256;
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

    std::uint32_t acFailSeconds = 0xFFFFFFFFu;
    std::uint32_t batteryLowSeconds = 0xFFFFFFFFu;
    int acFailSeen = 0;
    int batteryLowSeen = 0;
    int acOk = 1;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
    void OnDestroy() override;

private:
    void LoadFrames();
    void RestoreBootFiles();
    void AskShutdownStatus();
    void FindStartPort();
    void StartTimers();
    void Paint();

    HINSTANCE inst_;
    char acText_[kTextMax] = "System AC power: ";
    char batteryText_[kTextMax] = "UPS Battery status: ";
    char countdownText_[kTextMax] = "ShutDown CountDown";
    UniqueBitmap setA_[3];  // AC present
    UniqueBitmap setB_[3];  // no AC
    CHoverButton help_;
    HICON icon_ = nullptr;
};

}  // namespace qorwin
