// SafeClose: before the machine goes down on battery, asks every application
// to close, answers its save dialog with a generated name, records where each
// document went, drops the network sessions held on this machine and asks
// Windows to end the session.
//
// One source, two libraries: QOR_SAFECLOSE_NT is 0 for clozwin9 (Windows 9x
// family) and 1 for clozwinnt (NT family). Both network APIs are loaded by
// name, so either library loads on every Windows.
#include <windows.h>
#include <lm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "dll_function.h"
#include "line_status.h"
#include "safe_close_rules.h"
#include "text_format.h"
#include "ups_signal.h"
#include "win_raii.h"

#ifndef QOR_SAFECLOSE_NT
#error "QOR_SAFECLOSE_NT must be 0 (clozwin9) or 1 (clozwinnt)"
#endif

namespace qorwin {
namespace {

constexpr SafeCloseBuild kBuild = QOR_SAFECLOSE_NT ? SafeCloseBuild::WinNt : SafeCloseBuild::Win9x;

constexpr int kMaxPopupsClosed = 30;
constexpr DWORD kPopupCloseWaitMs = 200;
constexpr DWORD kCloseWaitMs = 2000;
constexpr DWORD kTypedWaitMs = 100;
constexpr DWORD kSaveWaitMs = 2000;
constexpr DWORD kAnswerWaitMs = 2000;
constexpr DWORD kTerminateAfterMs = 15000;
// The poll sleeps a little so that it does not take the processor from the
// application it waits for.
constexpr DWORD kPollMs = 20;
// A hung edit field must not stop the typing for good; the 15 s limit ends it.
constexpr UINT kCharTimeoutMs = 1000;
constexpr BYTE kEnterScanCode = 28;
constexpr int kMaxSessionPasses = 1000;

struct LogPaths {
    char folder[kCloseTextSize] = {};
    char path[kCloseTextSize] = {};
};

struct CloseJob {
    HWND window = nullptr;
    char title[kCloseTextSize] = {};
    char saveName[kCloseTextSize] = {};  // empty when none was typed
    const LogPaths* paths = nullptr;
};

WinVersion ReadVersion() {
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    WinVersion v;
    if (GetVersionExA(&vi)) {
        v.platformId = vi.dwPlatformId;
        v.major = vi.dwMajorVersion;
        v.minor = vi.dwMinorVersion;
    }
    return v;
}

// The folder Brantel under the Windows directory (created; an existing one is
// fine) and the log in it. False when the Windows directory is not known.
bool MakeLogPaths(LogPaths& p) {
    char windows[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    if (!SafeCloseLogFolder(windows, p.folder, sizeof p.folder)) return false;
    if (!SafeCloseLogPath(p.folder, p.path, sizeof p.path)) return false;
    // A folder that cannot be made only means the saves are not recorded.
    CreateDirectoryA(p.folder, nullptr);
    return true;
}

BOOL CALLBACK FindEditChild(HWND child, LPARAM lp) {
    char cls[256] = {};
    if (!IsWindowVisible(child) || GetClassNameA(child, cls, sizeof cls) == 0) return TRUE;
    CharUpperBuffA(cls, static_cast<DWORD>(strnlen(cls, sizeof cls)));
    if (std::strstr(cls, "EDIT") == nullptr) return TRUE;
    *reinterpret_cast<HWND*>(lp) = child;
    return FALSE;
}

HWND FindEditField(HWND dialog) {
    HWND edit = nullptr;
    EnumChildWindows(dialog, &FindEditChild, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

// Generates the save name into the job and types it, one WM_CHAR per character.
bool TypeSaveName(CloseJob& job, HWND edit) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!MakeSaveName(job.paths->folder, std::rand(), job.saveName, sizeof job.saveName)) return false;
    for (const char* c = job.saveName; *c != '\0'; ++c) {
        DWORD scan = OemKeyScan(static_cast<unsigned char>(*c));
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(edit, WM_CHAR, static_cast<unsigned char>(*c), static_cast<LPARAM>(TypedCharKeyData(scan)),
                            SMTO_ABORTIFHUNG, kCharTimeoutMs, &ignored);
    }
    return true;
}

// Keys go to whatever has the focus: the job brought the application forward.
void PressEnter() {
    keybd_event(VK_RETURN, kEnterScanCode, 0, 0);
    keybd_event(VK_RETURN, kEnterScanCode, KEYEVENTF_KEYUP, 0);
}

// The application may have added an extension: the first file that begins
// with the typed name is the document.
void RecordSave(CloseJob& job) {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    char key[32];
    if (localtime_s(&local, &now) != 0 || !FormatSaveTime(local, key, sizeof key)) return;
    char pattern[kCloseTextSize + 4];
    std::snprintf(pattern, sizeof pattern, "%s*.*", job.saveName);
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    char value[kCloseTextSize + MAX_PATH];
    int n = std::snprintf(value, sizeof value, "%s%s", job.paths->folder, found.cFileName);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof value) return;
    WritePrivateProfileStringA(job.title, key, value, job.paths->path);
    job.saveName[0] = '\0';
}

// 1 when the window went away or its process was ended, 0 when the process
// could not be ended.
DWORD WINAPI RunCloseJob(LPVOID arg) {
    CloseJob& job = *static_cast<CloseJob*>(arg);
    GetWindowTextA(job.window, job.title, sizeof job.title);
    DWORD pid = 0;
    GetWindowThreadProcessId(job.window, &pid);

    for (int i = 0; i < kMaxPopupsClosed; ++i) {
        HWND popup = GetLastActivePopup(job.window);
        if (popup == nullptr || popup == job.window) break;
        SetForegroundWindow(popup);
        PostMessageA(popup, WM_CLOSE, 0, 0);
        Sleep(kPopupCloseWaitMs);
    }

    SetForegroundWindow(job.window);
    PostMessageA(job.window, WM_CLOSE, 0, 0);
    Sleep(kCloseWaitMs);
    if (!IsWindow(job.window)) return 1;

    DWORD start = GetTickCount();
    while (IsWindow(job.window)) {
        HWND popup = GetLastActivePopup(job.window);
        if (popup != nullptr && popup != job.window) {  // a question or a save dialog
            HWND edit = FindEditField(popup);
            if (edit != nullptr && job.paths != nullptr && TypeSaveName(job, edit)) Sleep(kTypedWaitMs);
            PressEnter();
            if (job.saveName[0] != '\0') {
                Sleep(kSaveWaitMs);
                RecordSave(job);
            }
            Sleep(kAnswerWaitMs);
        }
        if (GetTickCount() - start > kTerminateAfterMs) {
            UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
            if (!process || !TerminateProcess(process.get(), 1)) return 0;
            break;
        }
        Sleep(kPollMs);
    }
    return 1;
}

struct EnumContext {
    DWORD thread = 0;
    const LogPaths* paths = nullptr;
};

BOOL CALLBACK CloseEach(HWND w, LPARAM lp) {
    const EnumContext& ctx = *reinterpret_cast<const EnumContext*>(lp);
    WindowFacts facts;
    facts.ownThread = GetWindowThreadProcessId(w, nullptr) == ctx.thread;
    facts.hasOwner = GetWindow(w, GW_OWNER) != nullptr;
    facts.style = static_cast<std::uint32_t>(GetWindowLongA(w, GWL_STYLE));
    facts.exStyle = static_cast<std::uint32_t>(GetWindowLongA(w, GWL_EXSTYLE));
    facts.visible = IsWindowVisible(w) != FALSE;
    if (!ShouldCloseWindow(facts)) return TRUE;
    if (IsIconic(w) && !ShowWindow(w, SW_RESTORE)) return FALSE;

    CloseJob job;
    job.window = w;
    job.paths = ctx.paths;
    // Its own thread, so that the keys typed for it are not held up by ours.
    UniqueHandle thread(CreateThread(nullptr, 0, &RunCloseJob, &job, 0, nullptr));
    if (thread)
        WaitForSingleObject(thread.get(), INFINITE);
    else
        RunCloseJob(&job);
    return TRUE;
}

// Windows 98's server API: 26-byte records of level 50 in a 1300-byte buffer.
#pragma pack(push, 1)
struct SessionInfo50 {
    char* computerName;
    char* userName;
    unsigned long key;
    unsigned short connections;
    unsigned short opens;
    unsigned long time;
    unsigned long idleTime;
    unsigned char protocol;
    unsigned char pad;
};
#pragma pack(pop)
static_assert(sizeof(void*) != 4 || sizeof(SessionInfo50) == 26, "level-50 session record");

void DropSessions9x() {
    using EnumFn = unsigned(WINAPI*)(const char*, short, char*, unsigned short, unsigned short*, unsigned short*);
    using DelFn = unsigned(WINAPI*)(const char*, const char*, short);
    UniqueModule lib(LoadLibraryA("SVRAPI.DLL"));
    auto sessionEnum = DllFunction<EnumFn>(lib.get(), "NetSessionEnum");
    auto sessionDel = DllFunction<DelFn>(lib.get(), "NetSessionDel");
    if (sessionEnum == nullptr || sessionDel == nullptr) return;
    alignas(8) char buffer[1300] = {};
    unsigned short read = 0;
    unsigned short total = 0;
    unsigned status = sessionEnum(nullptr, 50, buffer, sizeof buffer, &read, &total);
    if (status != NERR_Success && status != ERROR_MORE_DATA) return;
    // Never more records than the buffer holds, whatever the count says.
    std::size_t count = read < sizeof buffer / sizeof(SessionInfo50) ? read : sizeof buffer / sizeof(SessionInfo50);
    for (std::size_t i = 0; i < count; ++i) {
        SessionInfo50 entry;
        std::memcpy(&entry, buffer + i * sizeof entry, sizeof entry);
        sessionDel(nullptr, entry.computerName, static_cast<short>(entry.key));
    }
}

void DropSessionsNt() {
    using EnumFn = NET_API_STATUS(WINAPI*)(LMSTR, LMSTR, LMSTR, DWORD, LPBYTE*, DWORD, LPDWORD, LPDWORD, LPDWORD);
    using DelFn = NET_API_STATUS(WINAPI*)(LMSTR, LMSTR, LMSTR);
    using FreeFn = NET_API_STATUS(WINAPI*)(LPVOID);
    UniqueModule lib(LoadLibraryA("NETAPI32.DLL"));
    auto sessionEnum = DllFunction<EnumFn>(lib.get(), "NetSessionEnum");
    auto sessionDel = DllFunction<DelFn>(lib.get(), "NetSessionDel");
    auto bufferFree = DllFunction<FreeFn>(lib.get(), "NetApiBufferFree");
    if (sessionEnum == nullptr || sessionDel == nullptr || bufferFree == nullptr) return;
    DWORD resume = 0;
    NET_API_STATUS status = NERR_Success;
    // Bounded: a server that answers "more data" for ever must not hold up the shutdown.
    for (int pass = 0; pass < kMaxSessionPasses; ++pass) {
        LPBYTE buffer = nullptr;
        DWORD read = 0;
        DWORD total = 0;
        status = sessionEnum(nullptr, nullptr, nullptr, 10, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && buffer != nullptr) {
            const auto* entries = reinterpret_cast<const SESSION_INFO_10*>(buffer);
            for (DWORD i = 0; i < read; ++i) sessionDel(nullptr, entries[i].sesi10_cname, entries[i].sesi10_username);
        }
        if (buffer != nullptr) bufferFree(buffer);
        if (status != ERROR_MORE_DATA) break;
    }
}

// False only when the process token cannot be opened.
bool EnableShutdownPrivilege() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
    UniqueHandle token(raw);
    TOKEN_PRIVILEGES tp = {};
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) {
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
    }
    return true;
}

int EndOfWindows(const WinVersion& v, int portIndex) {
    if (SignalsUpsOff(kBuild, v) && portIndex >= 0 && portIndex < kPortCount) {
        char port[8];
        PortNameOf(portIndex + 1, port, sizeof port);
        SignalUpsOff(port);
    }
    if (kBuild == SafeCloseBuild::Win9x) {
        // The 9x server API means nothing elsewhere; where a stand-in of it
        // exists (Wine's svrapi), calling it ends the process.
        if (v.platformId == VER_PLATFORM_WIN32_WINDOWS) DropSessions9x();
    } else {
        DropSessionsNt();
        if (!EnableShutdownPrivilege()) return 0;
    }
    ExitWindowsEx(EndOfWindowsFlags(kBuild, v), 0);
    return 1;
}

int RunSafeClose(int portIndex) {
    WinVersion v = ReadVersion();
    LogPaths paths;
    EnumContext ctx;
    ctx.thread = GetCurrentThreadId();
    // Without a log folder no name is typed: the dialogs get Enter only.
    ctx.paths = MakeLogPaths(paths) ? &paths : nullptr;
    EnumWindows(&CloseEach, reinterpret_cast<LPARAM>(&ctx));
    return EndOfWindows(v, portIndex);
}

}  // namespace
}  // namespace qorwin

extern "C" int __cdecl SafeClose(int portIndex) { return qorwin::RunSafeClose(portIndex); }
