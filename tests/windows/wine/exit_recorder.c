/* qorwin_exitrec.dll: loaded into a process of the Wine tests, it replaces
 * user32's ExitWindowsEx in that process with a recorder: each call appends
 * "ExitWindowsEx flags=0xFFFFFFFF reason=0xRRRRRRRR pid=N" to
 * %QOR_SANDBOX_DIR%\exitwindows.log and returns TRUE, ending nothing.
 * Wine's own way of ending the session (see wineboot_standin.c) passes on only
 * some of the flags; this keeps them all. Load it with wt::RecordExitWindows
 * (harness.h). It pins itself: the patch must never outlive its code. */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "exitwindows_log.h"

static BOOL WINAPI RecordedExitWindowsEx(UINT flags, DWORD reason) {
    char path[1100];
    ExitWindowsLogPath(path, sizeof path);
    FILE* f = fopen(path, "a");
    if (f != NULL) {
        fprintf(f, "ExitWindowsEx flags=0x%08X reason=0x%08lX pid=%lu\n", flags, (unsigned long)reason,
                (unsigned long)GetCurrentProcessId());
        fclose(f);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

/* Overwrites the entry of ExitWindowsEx with "mov rax, imm64; jmp rax". */
static BOOL Patch(void) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == NULL) user32 = LoadLibraryA("user32.dll");
    if (user32 == NULL) return FALSE;
    unsigned char* target = (unsigned char*)(void*)GetProcAddress(user32, "ExitWindowsEx");
    if (target == NULL) return FALSE;
    unsigned char code[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
    uint64_t to = (uint64_t)(uintptr_t)&RecordedExitWindowsEx;
    memcpy(code + 2, &to, sizeof to);
    DWORD old = 0;
    if (!VirtualProtect(target, sizeof code, PAGE_EXECUTE_READWRITE, &old)) return FALSE;
    memcpy(target, code, sizeof code);
    VirtualProtect(target, sizeof code, old, &old);
    FlushInstructionCache(GetCurrentProcess(), target, sizeof code);
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    DisableThreadLibraryCalls(self);
    HMODULE pinned = NULL;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            (LPCSTR)(void*)&RecordedExitWindowsEx, &pinned))
        return FALSE;
    if (!Patch()) return FALSE;
    /* Tells the injecting test that the recorder is in place. */
    char name[64];
    snprintf(name, sizeof name, "QorExitRecorder-%lu", (unsigned long)GetCurrentProcessId());
    CreateEventA(NULL, TRUE, TRUE, name);  /* kept open for the life of the process */
    return TRUE;
}
