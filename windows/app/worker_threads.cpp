#include "worker_threads.h"

#include "app_state.h"
#include "mail_sender.h"
#include "pager_caller.h"
#include "pager_dialogue.h"
#include "pager_requests.h"
#include "win_raii.h"

namespace qorwin {
namespace {

constexpr int kPostRetries = 100;
constexpr DWORD kPostRetryMs = 100;

// The modem line's turns and the pager buffers handed out, shared by the
// posting GUI thread and both workers.
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_turnChanged = CONDITION_VARIABLE_INIT;
ModemTurns g_turns;
PagerRequests g_requests;

// Peeking creates the thread's message queue, so posts to it can succeed.
void CreateQueue() {
    MSG msg;
    for (int i = 0; i < 5; ++i) PeekMessageA(&msg, nullptr, 1024, 1024, PM_NOREMOVE);
}

void FreePagerBuffer(char* buffer) {
    if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
}

bool TakePagerBuffer(const char* buffer) {
    SrwGuard g(g_lock);
    return g_requests.Take(buffer);
}

DWORD WINAPI MailThread(LPVOID) {
    CreateQueue();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == Messages().sendEmail) SendWarningMail(static_cast<int>(msg.lParam));
    }
    return 0;
}

DWORD WINAPI PagerThread(LPVOID) {
    CreateQueue();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != Messages().makePager) continue;
        // Only a list this process handed out is read, and then owned here.
        char* list = reinterpret_cast<char*>(msg.lParam);
        if (!TakePagerBuffer(list)) continue;
        {
            ModemLineTurn turn(LineUser::Pager);
            CallPagers(static_cast<int>(msg.wParam), reinterpret_cast<const unsigned char*>(list),
                       kPagerListReadSize + kPagerListSlack);
        }
        FreePagerBuffer(list);
    }
    return 0;
}

}  // namespace

char* AllocPagerBuffer(std::size_t size) {
    char* buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (buffer) {
        SrwGuard g(g_lock);
        g_requests.HandOut(buffer);
    }
    return buffer;
}

void PagerJobStarted() {
    SrwGuard g(g_lock);
    g_turns.PagerQueued();
}

void DropPagerJob(char* buffer) {
    {
        SrwGuard g(g_lock);
        g_requests.Take(buffer);
        g_turns.PagerDropped();
    }
    WakeAllConditionVariable(&g_turnChanged);
    FreePagerBuffer(buffer);
}

ModemLineTurn::ModemLineTurn(LineUser who) : who_(who) {
    AcquireSRWLockExclusive(&g_lock);
    if (who_ == LineUser::Mail) g_turns.MailWaiting();
    while (!g_turns.MayStart(who_)) SleepConditionVariableSRW(&g_turnChanged, &g_lock, INFINITE, 0);
    g_turns.Start(who_);
    ReleaseSRWLockExclusive(&g_lock);
}

void ModemLineTurn::Release() {
    if (who_ == LineUser::None) return;
    {
        SrwGuard g(g_lock);
        g_turns.Finish(who_);
    }
    who_ = LineUser::None;
    WakeAllConditionVariable(&g_turnChanged);
}

bool PostToThread(DWORD threadId, UINT message, WPARAM wp, LPARAM lp) {
    if (threadId == 0) return false;  // never started: nobody would ever take it
    for (int attempt = 0;; ++attempt) {
        if (PostThreadMessageA(threadId, message, wp, lp)) return true;
        if (attempt == kPostRetries) return false;
        Sleep(kPostRetryMs);
    }
}

bool StartWorkerThreads() {
    WorkerThreads& w = Workers();
    if (!w.mail) w.mail = CreateThread(nullptr, 0, &MailThread, nullptr, 0, &w.mailId);
    if (!w.pager) w.pager = CreateThread(nullptr, 0, &PagerThread, nullptr, 0, &w.pagerId);
    return w.mail != nullptr && w.pager != nullptr;
}

}  // namespace qorwin
