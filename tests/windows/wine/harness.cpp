#include "harness.h"

#include <cstdio>
#include <cstring>

#include "exitwindows_log.h"

namespace wt {

std::string g_bin;
std::string g_artifacts;

namespace {

const char kQorKey[] = "Software\\Brantel\\Halvora\\Qor";

struct Found {
    const char* cls;
    const char* title;
    std::vector<HWND> list;
};

BOOL CALLBACK Collect(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    if (f->cls && ClassOf(w) != f->cls) return TRUE;
    if (f->title && WindowText(w) != f->title) return TRUE;
    f->list.push_back(w);
    return TRUE;
}

std::string EnvUnixPath(const char* name) {
    char buf[1024] = {};
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

}  // namespace

std::string ReadFileText(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return out;
}

std::string WindowsFolder() {
    char dir[MAX_PATH] = {};
    GetWindowsDirectoryA(dir, sizeof dir);
    return std::string(dir) + "\\";
}

std::string UnixToWindows(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string ReadUnixFile(const std::string& unixPath) { return ReadFileText(UnixToWindows(unixPath)); }

std::string EnvText(const char* name) { return EnvUnixPath(name); }

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Pump(20);
    }
}

std::vector<HWND> TopWindows(const char* cls, const char* title) {
    Found f{cls, title, {}};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&f));
    return f.list;
}

HWND TopWindow(const char* cls, const char* title) {
    auto list = TopWindows(cls, title);
    return list.empty() ? nullptr : list.front();
}

std::string WindowText(HWND w) {
    char buf[1024] = {};
    // WM_GETTEXT crosses processes; a hung window gives up after 2 s.
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &len))
        return std::string();
    return std::string(buf, strnlen(buf, sizeof buf));
}

std::string ClassOf(HWND w) {
    char buf[256] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

std::string ItemText(HWND dlg, int id) {
    HWND item = GetDlgItem(dlg, id);
    return item ? WindowText(item) : std::string("<no control>");
}

// ---- Process

Process::~Process() { Kill(); }

bool Process::Start(const std::string& exeName, const std::string& args) {
    Kill();
    bool fullPath = exeName.size() > 2 && exeName[1] == ':';
    std::string exe = fullPath ? exeName : g_bin + exeName;
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    // Wine has been seen to refuse a process start now and then on a loaded
    // machine; say so and try again rather than fail the test on the harness.
    for (int attempt = 1;; ++attempt) {
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back('\0');
        if (CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, g_bin.c_str(), &si, &pi_))
            return true;
        DWORD err = GetLastError();
        std::fprintf(stderr, "harness: starting %s failed (error %lu), attempt %d\n", exeName.c_str(),
                     static_cast<unsigned long>(err), attempt);
        pi_ = PROCESS_INFORMATION{};
        if (attempt == 3) return false;
        Sleep(300);
    }
}

bool Process::WaitExit(DWORD ms) {
    if (!pi_.hProcess) return true;
    return WaitFor([this] { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }, ms);
}

bool Process::Running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (pi_.hProcess) GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

void Process::Kill() {
    if (pi_.hProcess) {
        if (Running()) {
            TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
    }
    if (pi_.hThread) CloseHandle(pi_.hThread);
    pi_ = PROCESS_INFORMATION{};
}

// ---- registry

void DeleteQorKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kQorKey); }

std::vector<std::string> QorValueNames() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kQorKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD len = sizeof name;
        if (RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, len);
    }
    RegCloseKey(key);
    return names;
}

bool ReadQorValue(const char* name, RegValue& out) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kQorKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &out.type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        out.bytes.assign(size, 0);
        ok = RegQueryValueExA(key, name, nullptr, &out.type, out.bytes.data(), &size) == ERROR_SUCCESS;
        out.bytes.resize(size);
    }
    RegCloseKey(key);
    return ok;
}

bool ReadQorDword(const char* name, DWORD& out) {
    RegValue v;
    if (!ReadQorValue(name, v) || v.type != REG_DWORD || v.bytes.size() != 4) return false;
    std::memcpy(&out, v.bytes.data(), 4);
    return true;
}

std::string ReadQorString(const char* name) {
    RegValue v;
    if (!ReadQorValue(name, v)) return "<missing>";
    return std::string(reinterpret_cast<const char*>(v.bytes.data()), strnlen(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size()));
}

static HKEY CreateQorKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kQorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void WriteQorDword(const char* name, DWORD v) {
    if (HKEY key = CreateQorKey()) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
        RegCloseKey(key);
    }
}

void WriteQorString(const char* name, const char* text) {
    if (HKEY key = CreateQorKey()) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
        RegCloseKey(key);
    }
}

// ---- pixels

int Shot::Count(std::uint32_t rgb, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < h; ++y)
        for (int x = x0 < 0 ? 0 : x0; x < x1 && x < w; ++x)
            if (At(x, y) == rgb) ++n;
    return n;
}

Shot CaptureRect(const RECT& r) {
    Shot s;
    s.w = r.right - r.left;
    s.h = r.bottom - r.top;
    if (s.w <= 0 || s.h <= 0) return Shot();
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = s.w;
    bi.bmiHeader.biHeight = -s.h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, s.w, s.h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    s.px.resize(static_cast<std::size_t>(s.w) * s.h);
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < s.px.size(); ++i) s.px[i] = p[i] & 0x00FFFFFF;
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return s;
}

Shot Capture(HWND w) {
    RECT r;
    if (!GetWindowRect(w, &r)) return Shot();
    return CaptureRect(r);
}

bool SaveBmp(const Shot& s, const std::string& fileName) {
    if (s.w == 0 || g_artifacts.empty()) return false;
    std::string path = g_artifacts + fileName;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    DWORD dataSize = static_cast<DWORD>(s.px.size() * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + dataSize;
    ih.biSize = sizeof ih;
    ih.biWidth = s.w;
    ih.biHeight = -s.h;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    DWORD put = 0;
    bool ok = WriteFile(h, &fh, sizeof fh, &put, nullptr) && WriteFile(h, &ih, sizeof ih, &put, nullptr) &&
              WriteFile(h, s.px.data(), dataSize, &put, nullptr);
    CloseHandle(h);
    return ok;
}

// ---- simulated lines

bool SetLines(const char* portName, bool dcd, bool cts) {
    std::string dir = EnvUnixPath("SIMSERIAL_DIR");
    if (dir.empty()) return false;
    std::string base = UnixToWindows(dir + "/" + portName + "/lines");
    std::string tmp = base + ".tmp";
    HANDLE h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::string text = std::string("DCD=") + (dcd ? "1" : "0") + " CTS=" + (cts ? "1" : "0") + "\n";
    DWORD put = 0;
    bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) != FALSE;
    CloseHandle(h);
    return ok && MoveFileExA(tmp.c_str(), base.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::string ControlLog(const char* portName) {
    std::string dir = EnvUnixPath("SIMSERIAL_DIR");
    if (dir.empty()) return std::string();
    return ReadFileText(UnixToWindows(dir + "/" + portName + "/control.log"));
}

// ---- test programs and the end of the session

std::string TestProgram(const char* exeName) {
    char self[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string path(self, n);
    return path.substr(0, path.rfind('\\') + 1) + exeName;
}

static std::string ExitWindowsLogFile() {
    char path[1100];
    ExitWindowsLogPath(path, sizeof path);
    return path;
}

static const char kRecorderDll[] = "qorwin_exitrec.dll";

bool RecordExitWindows() { return LoadLibraryA(TestProgram(kRecorderDll).c_str()) != nullptr; }

bool RecordExitWindows(const Process& process) {
    HANDLE h = process.Handle();
    std::string dll = TestProgram(kRecorderDll);
    if (!h || dll.empty()) return false;
    void* remote = VirtualAllocEx(h, nullptr, dll.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    bool ok = false;
    // kernel32 lies at the same address in every process of the session.
    auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    if (load && WriteProcessMemory(h, remote, dll.c_str(), dll.size() + 1, nullptr)) {
        if (HANDLE thread = CreateRemoteThread(h, nullptr, 0, load, remote, 0, nullptr)) {
            WaitForSingleObject(thread, 10000);
            CloseHandle(thread);
            // The recorder raises this event once its patch is in place.
            std::string name = "QorExitRecorder-" + std::to_string(process.Id());
            if (HANDLE ready = OpenEventA(SYNCHRONIZE, FALSE, name.c_str())) {
                ok = true;
                CloseHandle(ready);
            }
        }
    }
    VirtualFreeEx(h, remote, 0, MEM_RELEASE);
    return ok;
}

std::vector<std::string> ExitWindowsLog() {
    std::vector<std::string> lines;
    std::string text = ReadFileText(ExitWindowsLogFile());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void ClearExitWindowsLog() { DeleteFileA(ExitWindowsLogFile().c_str()); }

std::vector<UINT> RecordedExitFlags(DWORD pid) {
    std::vector<UINT> flags;
    for (const std::string& line : ExitWindowsLog()) {
        unsigned f = 0;
        unsigned long reason = 0;
        unsigned long who = 0;
        if (std::sscanf(line.c_str(), "ExitWindowsEx flags=0x%x reason=0x%lx pid=%lu", &f, &reason, &who) == 3 &&
            who == pid)
            flags.push_back(f);
    }
    return flags;
}

std::string QorValueBytes(const char* name, DWORD* type) {
    RegValue v;
    if (!ReadQorValue(name, v)) return "<missing>";
    if (type) *type = v.type;
    return std::string(v.bytes.begin(), v.bytes.end());
}

std::string Padded(const std::string& s, std::size_t n) {
    std::string p = s;
    p.resize(n, '\0');
    return p;
}

void WriteEventValue(const char* name, int mask) {
    std::string v = std::string(name) + "," + std::to_string(mask);
    v.resize(256, '\0');
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brantel\\Halvora\\Qor", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(v.data()), 256);
    RegCloseKey(key);
}

std::vector<std::string> HalvoraLogTexts() {
    std::vector<std::string> out;
    int count = GetPrivateProfileIntA("Log Count", "Count", 0, "Halvora.log");
    for (int i = 1; i <= count; ++i) {
        char entry[512] = {};
        GetPrivateProfileStringA("Log Status", std::to_string(i).c_str(), "", entry, sizeof entry, "Halvora.log");
        std::string e = entry;
        std::size_t colon = e.find("  :");
        out.push_back(colon == std::string::npos ? "<" + e + ">" : e.substr(colon + 3));
    }
    return out;
}

void ResetHalvoraLog() {
    DeleteFileA((WindowsFolder() + "Halvora.log").c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Halvora.log");  // drops Wine's cached copy
}

}  // namespace wt
