// One pager job, run by PagerThread: the modem named in "Modem Setting" calls
// every number of the list with the event code.
#pragma once

#include <cstddef>

namespace qorwin {

// code: 1 AC failure, 2 power restored, 3 battery low. list: the "Pager
// Number" block (NUL-separated entries, an empty one ends it).
void CallPagers(int code, const unsigned char* list, std::size_t size);

}  // namespace qorwin
