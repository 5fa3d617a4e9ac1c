#include "worker_threads.h"

#include "app_state.h"

namespace qorwin {
namespace {

// Peeking creates the thread's message queue, so posts to it can succeed.
void CreateQueue() {
    MSG msg;
    for (int i = 0; i < 5; ++i) PeekMessageA(&msg, nullptr, 1024, 1024, PM_NOREMOVE);
}

DWORD WINAPI MailThread(LPVOID) {
    CreateQueue();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // "Send E-Mail" jobs (lParam: the mail kind) are dropped until the
        // warning-mail sender is built into this loop.
    }
    return 0;
}

DWORD WINAPI PagerThread(LPVOID) {
    CreateQueue();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == Messages().makePager) {
            // The receiver owns the list it was handed.
            FreePagerBuffer(reinterpret_cast<char*>(msg.lParam));
        }
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

bool StartWorkerThreads() {
    WorkerThreads& w = Workers();
    if (!w.mail) w.mail = CreateThread(nullptr, 0, &MailThread, nullptr, 0, &w.mailId);
    if (!w.pager) w.pager = CreateThread(nullptr, 0, &PagerThread, nullptr, 0, &w.pagerId);
    return w.mail != nullptr && w.pager != nullptr;
}

}  // namespace qorwin
