// Stands in for the mail and pager requests until MailThread and PagerThread
// send them: each request is only recorded, one line ("mail KIND" or "pager
// CODE") in HalvoraRequests.log in the Windows folder, so that the requests
// the monitor raises can be seen.
#include <windows.h>

#include <cstdio>
#include <string>

#include "notify_requests.h"
#include "profile_ini.h"
#include "win_raii.h"

namespace qorwin {
namespace {

void Record(const char* what, int n) {
    std::string path = WindowsFolder() + "HalvoraRequests.log";
    UniqueHandle f(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return;
    char line[32];
    int len = std::snprintf(line, sizeof line, "%s %d\r\n", what, n);
    DWORD put = 0;
    if (len > 0) WriteFile(f.get(), line, static_cast<DWORD>(len), &put, nullptr);
}

}  // namespace

void PostMail(int kind) { Record("mail", kind); }
void PostPager(int code) { Record("pager", code); }

}  // namespace qorwin
