// halvora without the rights it needs: the settings key refuses full access
// (a deny rule on the key, as a user without administrator rights meets it)
// and Halvora.log cannot be written. The main dialog and the tray say so.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <string>

#include "halvora_fixture.h"
#include "harness.h"

using namespace wt;

namespace {

constexpr int kFaultLine = 1097;
const char kQorKey[] = "Software\\Brantel\\Halvora\\Qor";

// Everyone: no values set and no subkeys made; the rest allowed.
bool SetKeyRule(const char* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr)) return false;
    HKEY key = nullptr;
    bool ok = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kQorKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS;
    if (ok) ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    LocalFree(sd);
    return ok;
}
const char kDenyWrites[] = "D:(D;;0x6;;;WD)(A;;KA;;;WD)";
const char kAllowAll[] = "D:(A;;KA;;;WD)";

// A visible balloon tool tip (the shell's notice) of another process.
HWND Balloon() {
    for (HWND w : TopWindows("tooltips_class32", nullptr))
        if (IsWindowVisible(w) && (GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON)) return w;
    return nullptr;
}

// The text of a tool tip of another process, through memory of that process
// (the tool tip messages carry pointers).
std::string BalloonText(HWND tip) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tip, &pid);
    HANDLE p = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!p) return "";
    auto* remote = static_cast<char*>(VirtualAllocEx(p, nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::wstring words;
    if (remote) {
        wchar_t buf[1024] = {};
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        WriteProcessMemory(p, remote, &ti, sizeof ti, nullptr);
        if (SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote))) {
            ReadProcessMemory(p, remote, &ti, sizeof ti, nullptr);
            ti.lpszText = reinterpret_cast<LPWSTR>(remote + 4096);
            WriteProcessMemory(p, remote, &ti, sizeof ti, nullptr);
            SendMessageW(tip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(p, remote + 4096, buf, 2000, nullptr);
            words = buf;
        }
        VirtualFreeEx(p, remote, 0, MEM_RELEASE);
    }
    CloseHandle(p);
    char out[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, words.c_str(), -1, out, sizeof out, nullptr, nullptr);
    return out;
}

}  // namespace

TEST(HalvoraRights, UnreachableKeyAndLogAreShownInTheDialogAndTheTray) {
    DeleteQorKey();
    WriteQorString("Port", "NONE");
    ASSERT_TRUE(SetKeyRule(kDenyWrites));
    // A folder where the log file would be: no entry can be written.
    const std::string log = WindowsFolder() + "Halvora.log";
    DeleteFileA(log.c_str());
    ASSERT_TRUE(CreateDirectoryA(log.c_str(), nullptr));

    Halvora h;
    ASSERT_TRUE(h.proc.Start("halvora.exe"));
    ASSERT_TRUE(h.WaitReady(false));
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, kFaultLine).find("Halvora.log") != std::string::npos; }, 5000));
    const std::string line = ItemText(h.dlg, kFaultLine);
    EXPECT_EQ(line.find("NOT PROTECTED: no full access to the settings key HKLM\\Software\\Brantel\\Halvora\\Qor"), 0u)
        << line;
    HWND balloon = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (balloon = Balloon()) != nullptr; }, 8000)) << "no notice in the tray";
    if (balloon) {
        EXPECT_EQ(BalloonText(balloon),
                  "No full access to its settings key: run Halvora as administrator. Halvora.log cannot be written.");
    }
    PostMessageA(h.tray, kTrayCallback, 128, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(h.dlg) != FALSE; }, 5000));
    SetWindowPos(h.dlg, HWND_TOP, 0, 140, 0, 0, SWP_NOSIZE);
    Pump(500);
    SaveBmp(CaptureRect(RECT{0, 0, 720, 480}), "halvora-not-protected.bmp");

    // Rights given back: the key's part of the line goes on the next tick.
    ASSERT_TRUE(SetKeyRule(kAllowAll));
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, kFaultLine).find("NOT PROTECTED") == std::string::npos; }, 4000))
        << ItemText(h.dlg, kFaultLine);
    h.Exit();
    RemoveDirectoryA(log.c_str());
}
