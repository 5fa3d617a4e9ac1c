/* Stand-in for wineboot.exe in the Wine tests' prefix (installed by
 * run_wine.sh setup; Wine's own wineboot is kept beside it as
 * wineboot-wine.exe).
 *
 * Under Wine, ExitWindowsEx ends the session by running
 * "wineboot.exe --end-session [--force] [--shutdown]" or "--kill": that would
 * end every program of the test. Here such a call is only recorded, as a line
 * "wineboot ARGS" in %QOR_SANDBOX_DIR%\exitwindows.log, and ends nothing.
 * Every other use (--init at each session start, --update) goes on to Wine's
 * own wineboot. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "exitwindows_log.h"

/* run_wine.sh looks for this text before it runs a test in the prefix. */
__attribute__((used)) static const char kMarker[] = "QOR_WINEBOOT_STANDIN";

static const char* Arguments(const char* cmd) {
    int quoted = 0;
    for (; *cmd != '\0'; ++cmd) {
        if (*cmd == '"') quoted = !quoted;
        if (*cmd == ' ' && !quoted) break;
    }
    while (*cmd == ' ') ++cmd;
    return cmd;
}

static int HasWord(const char* args, const char* word) {
    size_t n = strlen(word);
    for (const char* p = strstr(args, word); p != NULL; p = strstr(p + 1, word))
        if ((p == args || p[-1] == ' ') && (p[n] == '\0' || p[n] == ' ')) return 1;
    return 0;
}

static int EndsSession(const char* args) {
    static const char* const words[] = {"--end-session", "-e", "--kill", "-k", "--shutdown", "-s"};
    for (size_t i = 0; i < sizeof words / sizeof words[0]; ++i)
        if (HasWord(args, words[i])) return 1;
    return 0;
}

static void Record(const char* args) {
    char path[1100];
    ExitWindowsLogPath(path, sizeof path);
    FILE* f = fopen(path, "a");
    if (f == NULL) return;
    fprintf(f, "wineboot %s\n", args);
    fclose(f);
}

int main(void) {
    const char* cmd = GetCommandLineA();
    const char* args = Arguments(cmd);
    if (EndsSession(args)) {
        Record(args);
        return 0;
    }
    char system[MAX_PATH];
    UINT len = GetSystemDirectoryA(system, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return 1;
    char exe[MAX_PATH + 32];
    char line[MAX_PATH + 32 + 4096];
    snprintf(exe, sizeof exe, "%s\\wineboot-wine.exe", system);
    if ((size_t)snprintf(line, sizeof line, "\"%s\" %s", exe, args) >= sizeof line) return 1;
    STARTUPINFOA si = {0};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(exe, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}
