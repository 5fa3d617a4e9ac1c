#include "warning_popup.h"

#include <string>

#include "app_state.h"
#include "module_path.h"
#include "win_raii.h"

namespace qorwin {
namespace {

constexpr int kLookups = 20;
constexpr DWORD kLookupPauseMs = 100;
// A hung pop-up must not hold the courier for good either.
constexpr UINT kSendTimeoutMs = 5000;

// SetForegroundWindow is refused to a thread that lacks the input focus; for
// the call, share the input state of the thread that has it.
void BringToForeground(HWND dialog) {
    HWND front = GetForegroundWindow();
    DWORD frontThread = front ? GetWindowThreadProcessId(front, nullptr) : 0;
    DWORD mine = GetCurrentThreadId();
    bool attached = frontThread != 0 && frontThread != mine && AttachThreadInput(frontThread, mine, TRUE);
    SetForegroundWindow(dialog);
    if (attached) AttachThreadInput(frontThread, mine, FALSE);
}

bool IsReminder(int kind) { return kind == 3 || kind == 4; }

// Carries the warnings to the pop-up on a thread of its own: starting
// qorwarn, waiting for its window and a pop-up that does not answer cost the
// courier time, never the GUI thread that runs the countdown. It lives as
// long as the process.
class PopupCourier {
public:
    void Post(int kind, std::uint32_t seconds) {
        {
            SrwGuard g(lock_);
            // A newer reminder makes a waiting one stale.
            if (IsReminder(kind)) DropReminders();
            if (count_ == kCapacity) Pop();  // the oldest gives way
            queue_[(first_ + count_++) % kCapacity] = {kind, seconds};
        }
        WakeConditionVariable(&ready_);
        if (!thread_) thread_.reset(CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    }

    // Nothing waiting is delivered any more (the pop-up is being closed).
    void Clear() {
        SrwGuard g(lock_);
        count_ = 0;
    }

private:
    struct Request {
        int kind;
        std::uint32_t seconds;
    };
    static constexpr int kCapacity = 8;

    Request Pop() {
        Request r = queue_[first_];
        first_ = (first_ + 1) % kCapacity;
        --count_;
        return r;
    }

    void DropReminders() {
        int kept = 0;
        for (int i = 0; i < count_; ++i) {
            Request r = queue_[(first_ + i) % kCapacity];
            if (!IsReminder(r.kind)) queue_[(first_ + kept++) % kCapacity] = r;
        }
        count_ = kept;
    }

    Request Take() {
        AcquireSRWLockExclusive(&lock_);
        while (count_ == 0) SleepConditionVariableSRW(&ready_, &lock_, INFINITE, 0);
        Request r = Pop();
        ReleaseSRWLockExclusive(&lock_);
        return r;
    }

    static DWORD WINAPI Run(LPVOID self) {
        auto* courier = static_cast<PopupCourier*>(self);
        for (;;) Deliver(courier->Take());
    }

    static void Deliver(const Request& r) {
        const std::string title = WarningWindowTitle();
        HWND popup = FindWindowA(nullptr, title.c_str());
        if (!popup) {
            std::string command = "\"" + ExecutableFolder() + "qorwarn.exe\"";
            WinExec(command.c_str(), SW_SHOWNORMAL);
            for (int i = 0; i < kLookups && !popup; ++i) {
                Sleep(kLookupPauseMs);
                popup = FindWindowA(nullptr, title.c_str());
            }
            if (!popup) return;
        }
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(popup, Messages().warningType, static_cast<WPARAM>(r.kind),
                            static_cast<LPARAM>(r.seconds), SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                            &answer);
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE ready_ = CONDITION_VARIABLE_INIT;
    Request queue_[kCapacity] = {};
    int first_ = 0;
    int count_ = 0;
    UniqueHandle thread_;  // created and used on the GUI thread only
};

PopupCourier& Courier() {
    static PopupCourier courier;
    return courier;
}

}  // namespace

void ShowWarning(HWND dialog, int kind, std::uint32_t seconds) {
    // The dialog comes to the front before a pop-up is started, from the
    // thread that owns it.
    if (!FindWindowA(nullptr, WarningWindowTitle().c_str())) BringToForeground(dialog);
    Courier().Post(kind, seconds);
}

void CloseWarningPopup() {
    Courier().Clear();
    // Posted: a pop-up that does not answer must not hold the shutdown or the exit.
    if (HWND popup = FindWindowA(nullptr, WarningWindowTitle().c_str())) PostMessageA(popup, WM_CLOSE, 0, 0);
}

}  // namespace qorwin
