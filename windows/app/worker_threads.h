// MailThread and PagerThread: started once, they live until the process ends
// and take their jobs as posted thread messages.
#pragma once

#include <windows.h>

#include <cstddef>

namespace qorwin {

// Starts both threads and keeps their handles and ids (Workers()).
bool StartWorkerThreads();

// A "Make Pager" buffer: allocated by the poster, freed by PagerThread.
char* AllocPagerBuffer(std::size_t size);
void FreePagerBuffer(char* buffer);

}  // namespace qorwin
