#include "log_dialogs.h"

#include <string>

#include "dialog.h"
#include "event_log.h"
#include "language.h"
#include "logs.h"
#include "resource_logs.h"
#include "string_ids.h"

namespace qorwin {
namespace {

// A log shown in a read-only edit, with OK and Clear.
class LogDlg : public Dialog {
protected:
    LogDlg(unsigned titleId, int editId) : titleId_(titleId), editId_(editId) {}
    virtual std::string Read() = 0;
    virtual void Clear() = 0;

    BOOL OnInitDialog() override {
        SetWindowTextA(hwnd(), Text(titleId_).c_str());
        SetItemText(IDOK, Text(text::kOk));
        SetItemText(IDC_LOG_CLEAR, Text(text::kClear));
        SetItemText(editId_, Read());
        // Focus on OK: the edit would take it with all its text selected.
        SetFocus(Item(IDOK));
        return FALSE;
    }
    bool OnCommand(int id, int code, HWND) override {
        if (id != IDC_LOG_CLEAR || code != BN_CLICKED) return false;  // OK and Esc end the dialog
        Clear();
        SetItemText(editId_, std::string());
        return true;
    }

private:
    unsigned titleId_;
    int editId_;
};

class CHistoryDlg : public LogDlg {
public:
    CHistoryDlg() : LogDlg(text::kHistoryTitle, IDC_HISTORY_TEXT) {}

protected:
    std::string Read() override {
        ProfileIni log = EventLogFile();
        return HistoryText(log);
    }
    void Clear() override { ClearEventLog(); }
};

class CShutdownLogDlg : public LogDlg {
public:
    CShutdownLogDlg() : LogDlg(text::kShutdownStatusTitle, IDC_SHUTDOWN_LOG_TEXT) {}

protected:
    std::string Read() override {
        ProfileIni log = SafeCloseLogFile();
        return ShutdownStatusText(log);
    }
    void Clear() override {
        ProfileIni log = SafeCloseLogFile();
        ClearShutdownStatus(log);
    }
};

}  // namespace

void ShowReviewHistory(HINSTANCE inst, HWND owner) {
    CHistoryDlg dlg;
    dlg.DoModal(inst, IDD_HISTORY, owner);
}

void ShowShutdownStatus(HINSTANCE inst, HWND owner) {
    CShutdownLogDlg dlg;
    dlg.DoModal(inst, IDD_SHUTDOWN_LOG, owner);
}

}  // namespace qorwin
