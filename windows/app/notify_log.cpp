#include "notify_log.h"

#include <windows.h>

#include <string>

namespace qorwin {

void NotifyLog(const char* text) {
    std::string line = std::string("halvora: ") + (text ? text : "") + "\n";
    OutputDebugStringA(line.c_str());
}

}  // namespace qorwin
