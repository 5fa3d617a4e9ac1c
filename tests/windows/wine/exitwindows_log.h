/* Where the wineboot stand-in and the ExitWindowsEx recorder write their
 * lines: exitwindows.log in the sandbox's folder (QOR_SANDBOX_DIR), or in the
 * prefix's temp folder outside a sandbox. */
#pragma once

#include <windows.h>

#include <stdio.h>

static inline void ExitWindowsLogPath(char* path, size_t size) {
    char dir[1024];
    DWORD n = GetEnvironmentVariableA("QOR_SANDBOX_DIR", dir, sizeof dir);
    if (n > 0 && n < sizeof dir) {
        for (char* p = dir; *p != '\0'; ++p)
            if (*p == '/') *p = '\\';
        snprintf(path, size, "Z:%s\\exitwindows.log", dir);
    } else {
        snprintf(path, size, "C:\\windows\\temp\\exitwindows.log");
    }
}
