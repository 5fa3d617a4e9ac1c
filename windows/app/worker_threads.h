// MailThread and PagerThread: started once, they live until the process ends
// and take their jobs as posted thread messages.
#pragma once

#include <windows.h>

#include <cstddef>

namespace qorwin {

// Starts both threads and keeps their handles and ids, and the "pager done"
// event (Workers()).
bool StartWorkerThreads();

// A "Make Pager" buffer: allocated by the poster, freed by PagerThread.
char* AllocPagerBuffer(std::size_t size);
void FreePagerBuffer(char* buffer);

// The "pager done" event is reset while any pager job is queued or running;
// mail waits for it. Started before the job is posted, finished by the
// thread after its last call (or by the poster when the post failed).
void PagerJobStarted();
void PagerJobFinished();

// PostThreadMessage, tried again every 100 ms up to 100 more times while the
// thread does not take messages yet.
bool PostToThread(DWORD threadId, UINT message, WPARAM wp, LPARAM lp);

}  // namespace qorwin
