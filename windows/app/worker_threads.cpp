#include "worker_threads.h"

#include "app_state.h"
#include "mail_sender.h"
#include "pager_caller.h"
#include "pager_dialogue.h"

namespace qorwin {
namespace {

constexpr int kPostRetries = 100;
constexpr DWORD kPostRetryMs = 100;

// Counts the pager jobs in flight, so that the event is set only when the
// last of several queued jobs is through.
CRITICAL_SECTION g_pagerLock;
LONG g_pagerJobs = 0;

// Peeking creates the thread's message queue, so posts to it can succeed.
void CreateQueue() {
    MSG msg;
    for (int i = 0; i < 5; ++i) PeekMessageA(&msg, nullptr, 1024, 1024, PM_NOREMOVE);
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
        // The receiver owns the list it was handed.
        char* list = reinterpret_cast<char*>(msg.lParam);
        CallPagers(static_cast<int>(msg.wParam), reinterpret_cast<const unsigned char*>(list),
                   list ? kPagerListReadSize + kPagerListSlack : 0);
        FreePagerBuffer(list);
        PagerJobFinished();
    }
    return 0;
}

}  // namespace

char* AllocPagerBuffer(std::size_t size) {
    return static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
}

void FreePagerBuffer(char* buffer) {
    if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
}

void PagerJobStarted() {
    EnterCriticalSection(&g_pagerLock);
    if (g_pagerJobs++ == 0 && Workers().pagerDone) ResetEvent(Workers().pagerDone);
    LeaveCriticalSection(&g_pagerLock);
}

void PagerJobFinished() {
    EnterCriticalSection(&g_pagerLock);
    if (g_pagerJobs > 0 && --g_pagerJobs == 0 && Workers().pagerDone) SetEvent(Workers().pagerDone);
    LeaveCriticalSection(&g_pagerLock);
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
    if (!w.pagerDone) {
        InitializeCriticalSection(&g_pagerLock);
        w.pagerDone = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    if (!w.mail) w.mail = CreateThread(nullptr, 0, &MailThread, nullptr, 0, &w.mailId);
    if (!w.pager) w.pager = CreateThread(nullptr, 0, &PagerThread, nullptr, 0, &w.pagerId);
    return w.mail != nullptr && w.pager != nullptr && w.pagerDone != nullptr;
}

}  // namespace qorwin
