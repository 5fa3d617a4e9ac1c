#include "shutdown.h"

#include <string>

#include "current_folder.h"
#include "dll_function.h"
#include "line_status.h"
#include "module_path.h"
#include "registry_store.h"
#include "registry_values.h"
#include "shutdown_plan.h"
#include "ups_signal.h"
#include "win_raii.h"
#include "windows_version.h"

namespace qorwin {
namespace {

using SafeCloseFn = int(__cdecl*)(int);

constexpr DWORD kBeforeSafeCloseMs = 2000;
constexpr DWORD kAfterLogOffMs = 3000;
constexpr DWORD kEndSessionWaitMs = 60000;
constexpr UINT kShutdownForceIfHung = EWX_SHUTDOWN | EWX_FORCEIFHUNG;  // 0x11

const char kMsdosSys[] = "c:\\msdos.sys";

// The DTR pulse on COMn; a port that cannot be opened is skipped.
void SignalUpsOffOn(int portNumber) {
    if (portNumber < 1) return;
    SignalUpsOff(("COM" + std::to_string(portNumber)).c_str());
}

void TurnOffAutoScan() {
    SetFileAttributesA(kMsdosSys, FILE_ATTRIBUTE_NORMAL);
    WritePrivateProfileStringA("Options", "AutoScan", "0", kMsdosSys);
}

void CallSafeClose(const WinVersion& v, int index) {
    UniqueModule library(LoadLibraryA(SafeCloseLibrary(v)));
    if (!library) return;
    if (auto safeClose = DllFunction<SafeCloseFn>(library.get(), "SafeClose"))
        safeClose(index);  // its result is of no use here
}

bool EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    UniqueHandle owned(token);
    TOKEN_PRIVILEGES tp = {};
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) return false;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr)) return false;
    return GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
}

}  // namespace

void RunShutdown(HWND mainDialog, const char* watchedPort) {
    RegistryStore store;
    char stored[kPortBufferSize] = {};
    ReadText(store, value::kPort, stored, sizeof stored);
    const char* port = PortToClose(stored, watchedPort);
    const WinVersion v = RunningWindows();
    const int index = SafeCloseIndex(port);
    if (index >= 0) {
        Sleep(kBeforeSafeCloseMs);
        CurrentFolder folder(ExecutableFolder());
        WriteDword(store, value::kShutDown, 1);
        ShowWindow(mainDialog, SW_HIDE);
        store.EnsureKey();
        WriteDword(store, value::kShutups, static_cast<std::uint32_t>(index + 1));
        if (TurnsOffAutoScanBeforeClose(v)) TurnOffAutoScan();
        CallSafeClose(v, index);
    }
    switch (StepAfterSafeClose(v)) {
    case AfterSafeClose::LogOffThenSignal:
        ExitWindowsEx(EWX_LOGOFF, 0);
        Sleep(kAfterLogOffMs);
        SignalUpsOffOn(PortNumberFromName(port));
        break;
    case AfterSafeClose::AutoScanOff:
        TurnOffAutoScan();
        break;
    case AfterSafeClose::Nothing:
        break;
    }
}

void HandleEndSession() {
    RegistryStore store;
    std::uint32_t shutups = 0;
    ReadDword(store, value::kShutups, shutups);
    const EndSessionPlan plan = PlanEndSession(shutups, RunningWindows());
    if (!plan.act) return;
    WritePrivateProfileStringA("Shutups", "shutups", "OK", "D:\\ShutUPS.ini");
    WriteDword(store, value::kSteplog, 41);
    Sleep(kEndSessionWaitMs);
    SignalUpsOffOn(plan.signalPort);
    WriteDword(store, value::kShutups, kShutupsSignalled);
    if (!plan.ntPrivilege) {
        ExitWindowsEx(kShutdownForceIfHung, 0);
        return;
    }
    WriteDword(store, value::kSteplog, 22);
    if (!EnableShutdownPrivilege()) return;
    WriteDword(store, value::kSteplog, 23);
    ExitWindowsEx(kShutdownForceIfHung, 0);
}

}  // namespace qorwin
