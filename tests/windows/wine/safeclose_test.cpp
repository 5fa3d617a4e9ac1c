// SafeClose of clozwinnt.dll and clozwin9.dll against closeme.exe, called in
// this process as halvora calls it, with ExitWindowsEx recorded.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <string>
#include <vector>

#include "harness.h"

using namespace wt;

namespace {

using SafeCloseFn = int(__cdecl*)(int);

std::string WindowsDir() {
    char dir[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(dir, n) : std::string();
}

std::string LogFolder() { return WindowsDir() + "\\Brantel\\"; }
std::string LogPath() { return LogFolder() + "BTUPSSAV.LOG"; }

void ClearLogFolder() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((LogFolder() + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((LogFolder() + fd.cFileName).c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string FileText(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buf[4096];
    DWORD got = 0;
    std::string out;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return out;
}

// The lines of one section of the safe-close log, as written.
std::vector<std::string> Section(const std::string& title) {
    std::vector<std::string> lines;
    std::string text = FileText(LogPath());
    std::size_t at = text.find("[" + title + "]");
    if (at == std::string::npos) return lines;
    std::size_t start = text.find('\n', at);
    while (start != std::string::npos && start + 1 < text.size() && text[start + 1] != '[') {
        std::size_t end = text.find('\n', start + 1);
        std::string line = text.substr(start + 1, (end == std::string::npos ? text.size() : end) - start - 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end;
    }
    return lines;
}

struct Library {
    explicit Library(const char* name) : module(LoadLibraryA((g_bin + name).c_str())) {
        if (module) safeClose = reinterpret_cast<SafeCloseFn>(reinterpret_cast<void*>(GetProcAddress(module, "SafeClose")));
    }
    ~Library() {
        if (module) FreeLibrary(module);
    }
    HMODULE module;
    SafeCloseFn safeClose = nullptr;
};

UINT ExpectedNtFlags() {
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    GetVersionExA(&vi);
    return vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion >= 5 ? EWX_LOGOFF : EWX_SHUTDOWN;
}

HWND WaitWindow(const Process& p, const char* title) {
    HWND w = nullptr;
    WaitFor([&] {
        for (HWND c : TopWindows(nullptr, title)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(c, &pid);
            if (pid == p.Id()) w = c;
        }
        return w != nullptr;
    }, 15000);
    return w;
}

// The typed name and the file SafeClose found for it.
void ExpectSaved(const std::string& title, const char* state) {
    std::vector<std::string> lines = Section(title);
    // Key: the asctime form with its line feed, so the value follows on a line of its own.
    ASSERT_EQ(lines.size(), 2u) << FileText(LogPath());
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                                      "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")))
        << lines[0];
    ASSERT_EQ(lines[1].rfind("=" + LogFolder(), 0), 0u) << lines[1];
    std::string found = lines[1].substr(1 + LogFolder().size());
    std::string saved = FileText(LogFolder() + found);
    std::size_t nl = saved.find('\n');
    ASSERT_NE(nl, std::string::npos) << saved;
    std::string typed = saved.substr(0, nl);
    EXPECT_TRUE(std::regex_match(typed, std::regex(std::regex_replace(Upper(LogFolder()), std::regex("\\\\"), "\\\\") +
                                                   "BT[0-9]{1,5}")))
        << typed;
    EXPECT_EQ(Upper(found), typed.substr(Upper(LogFolder()).size()) + ".TXT");
    EXPECT_EQ(saved.substr(nl + 1), std::string(state) + "\n");
}

}  // namespace

TEST(SafeClose, NtBuildSavesAnswersEndsAndLeavesAloneThenLogsOff) {
    ASSERT_TRUE(RecordExitWindows());
    ClearExitWindowsLog();
    ClearLogFolder();
    Process save, ask, ignore, leave;
    ASSERT_TRUE(save.Start(TestProgram("closeme.exe"), "save \"Qor Save Test\""));
    ASSERT_TRUE(ask.Start(TestProgram("closeme.exe"), "ask \"Qor Ask Test\""));
    ASSERT_TRUE(ignore.Start(TestProgram("closeme.exe"), "ignore \"Qor Ignore Test\""));
    ASSERT_TRUE(leave.Start(TestProgram("closeme.exe"), "leave"));
    ASSERT_NE(WaitWindow(save, "Qor Save Test"), nullptr);
    ASSERT_NE(WaitWindow(ask, "Qor Ask Test"), nullptr);
    ASSERT_NE(WaitWindow(ignore, "Qor Ignore Test"), nullptr);
    std::vector<HWND> alone;
    for (const char* t : {"leave-owner", "leave-nocaption", "leave-owned", "leave-tool", "leave-hidden"}) {
        alone.push_back(WaitWindow(leave, t));
        ASSERT_NE(alone.back(), nullptr) << t;
    }

    Library nt("clozwinnt.dll");
    ASSERT_NE(nt.safeClose, nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(nt.safeClose(0), 1);
    DWORD took = GetTickCount() - start;

    // The save dialog got the generated name and Enter; the log has the document.
    EXPECT_TRUE(save.WaitExit(10000));
    EXPECT_EQ(save.ExitCode(), 0u);
    ExpectSaved("Qor Save Test", "restored");
    // A question without an edit field: Enter only, nothing logged.
    EXPECT_TRUE(ask.WaitExit(10000));
    EXPECT_EQ(ask.ExitCode(), 0u);
    EXPECT_TRUE(Section("Qor Ask Test").empty());
    // Deaf to WM_CLOSE: ended with exit code 1 after 2 s + 15 s.
    EXPECT_TRUE(ignore.WaitExit(10000));
    EXPECT_EQ(ignore.ExitCode(), 1u);
    EXPECT_GE(took, 17000u);
    // Left alone.
    EXPECT_TRUE(leave.Running());
    for (HWND w : alone) EXPECT_TRUE(IsWindow(w)) << WindowText(w);

    // NT 5 and later: log off, the monitor's end-of-session handler shuts down.
    EXPECT_EQ(RecordedExitFlags(GetCurrentProcessId()), std::vector<UINT>{ExpectedNtFlags()});
}

TEST(SafeClose, Win9xBuildRestoresMinimizedAndShutsDown) {
    ASSERT_TRUE(RecordExitWindows());
    ClearExitWindowsLog();
    ClearLogFolder();
    Process save;
    ASSERT_TRUE(save.Start(TestProgram("closeme.exe"), "save \"Qor Minimized\" min"));
    HWND w = WaitWindow(save, "Qor Minimized");
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(w) != FALSE; }, 5000));

    Library nine("clozwin9.dll");
    ASSERT_NE(nine.safeClose, nullptr);
    EXPECT_EQ(nine.safeClose(0), 1);

    EXPECT_TRUE(save.WaitExit(10000));
    ExpectSaved("Qor Minimized", "restored");
    // Not Windows 98, so no DTR pulse; EWX_SHUTDOWN whatever the version.
    EXPECT_EQ(RecordedExitFlags(GetCurrentProcessId()), std::vector<UINT>{EWX_SHUTDOWN});
}

TEST(SafeClose, ExitWindowsInTheTestPrefixEndsNothingAndIsRecorded) {
    ClearExitWindowsLog();
    Process bystander, plain, recorded;
    ASSERT_TRUE(bystander.Start(TestProgram("closeme.exe"), "ignore Bystander"));
    ASSERT_NE(WaitWindow(bystander, "Bystander"), nullptr);

    // No recorder: Wine runs wineboot, which is the prefix's stand-in.
    ASSERT_TRUE(plain.Start(TestProgram("closeme.exe"), "exitwindows 0x11"));
    HWND plainWindow = WaitWindow(plain, "exitwindows");
    ASSERT_NE(plainWindow, nullptr);
    PostMessageA(plainWindow, WM_APP, 0, 0);
    EXPECT_TRUE(WaitFor([] { return !ExitWindowsLog().empty(); }, 15000));
    // With the recorder injected: the flags themselves.
    ASSERT_TRUE(recorded.Start(TestProgram("closeme.exe"), "exitwindows 0x1"));
    HWND recordedWindow = WaitWindow(recorded, "exitwindows");
    ASSERT_NE(recordedWindow, nullptr);
    ASSERT_TRUE(RecordExitWindows(recorded));
    PostMessageA(recordedWindow, WM_APP, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !RecordedExitFlags(recorded.Id()).empty(); }, 15000));
    Pump(1000);

    EXPECT_EQ(ExitWindowsLog().front(), "wineboot --end-session --force --shutdown");
    EXPECT_EQ(RecordedExitFlags(recorded.Id()), std::vector<UINT>{EWX_SHUTDOWN});
    EXPECT_EQ(ExitWindowsLog().size(), 2u);
    // Every program of the session lives on.
    EXPECT_TRUE(bystander.Running());
    EXPECT_TRUE(plain.Running());
    EXPECT_TRUE(recorded.Running());
}
