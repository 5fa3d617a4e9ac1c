// MailThread and PagerThread: started once, they live until the process ends
// and take their jobs as posted thread messages.
#pragma once

#include <windows.h>

#include <cstddef>

#include "modem_turns.h"

namespace qorwin {

// Starts both threads and keeps their handles and ids (Workers()).
bool StartWorkerThreads();

// A "Make Pager" buffer: allocated by the poster and noted as handed out,
// freed by PagerThread, which takes only buffers noted so.
char* AllocPagerBuffer(std::size_t size);

// A pager job is queued before its post; when the post fails the poster
// drops it again (and frees the buffer).
void PagerJobStarted();
void DropPagerJob(char* buffer);

// One job's turn on the modem line (ModemTurns): waits for it on creation,
// gives it back on Release or at the end of the scope.
class ModemLineTurn {
public:
    explicit ModemLineTurn(LineUser who);
    ~ModemLineTurn() { Release(); }
    ModemLineTurn(const ModemLineTurn&) = delete;
    ModemLineTurn& operator=(const ModemLineTurn&) = delete;
    void Release();

private:
    LineUser who_;
};

// PostThreadMessage, tried again every 100 ms up to 100 more times while the
// thread does not take messages yet.
bool PostToThread(DWORD threadId, UINT message, WPARAM wp, LPARAM lp);

}  // namespace qorwin
