// closeme.exe: the applications SafeClose meets in the Wine tests.
//   closeme save TITLE [min]  asks "Save As" on WM_CLOSE; Save writes the typed
//                             name + ".txt" (its text: the typed name, then
//                             "iconic" or "restored" as the window was at WM_CLOSE)
//   closeme ask TITLE         asks an OK/Cancel question (no edit) on WM_CLOSE
//   closeme ignore TITLE      ignores WM_CLOSE
//   closeme leave             windows SafeClose must leave alone: no caption
//                             bits, owned, tool window, invisible
//   closeme exitwindows FLAGS calls ExitWindowsEx(FLAGS) when its window
//                             "exitwindows" gets WM_APP
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kClass[] = "QorCloseMe";
std::string g_mode;
bool g_iconicAtClose = false;
char g_typed[512];

INT_PTR CALLBACK SaveAsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg != WM_COMMAND) return FALSE;
    if (LOWORD(wp) == IDOK) {
        GetDlgItemTextA(dlg, 100, g_typed, sizeof g_typed);
        std::string file = std::string(g_typed) + ".txt";
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return TRUE;  // stays open, as a real editor would
        std::string text = std::string(g_typed) + "\n" + (g_iconicAtClose ? "iconic" : "restored") + "\n";
        DWORD put = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
        CloseHandle(h);
        EndDialog(dlg, IDOK);
        return TRUE;
    }
    if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        g_iconicAtClose = IsIconic(w) != FALSE;
        if (g_mode == "ignore") return 0;
        if (g_mode == "save") {
            if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101), w, SaveAsProc, 0) == IDOK)
                DestroyWindow(w);
            return 0;
        }
        if (g_mode == "ask") {
            char title[256];
            GetWindowTextA(w, title, sizeof title);
            if (MessageBoxA(w, "Quit without saving?", title, MB_OKCANCEL) == IDOK) DestroyWindow(w);
            return 0;
        }
        break;
    case WM_APP:
        ExitWindowsEx(static_cast<UINT>(std::strtoul(reinterpret_cast<const char*>(GetPropA(w, "flags")), nullptr, 0)), 0);
        return 0;
    case WM_DESTROY:
        if (GetPropA(w, "main")) PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

HWND Make(const char* title, DWORD style, DWORD exStyle, HWND owner, int y) {
    return CreateWindowExA(exStyle, kClass, title, style, 50, y, 300, 120, owner, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    g_mode = argv[1];
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    if (!RegisterClassA(&wc)) return 3;

    HWND main = nullptr;
    if (g_mode == "leave") {
        HWND owner = Make("leave-owner", WS_OVERLAPPEDWINDOW, 0, nullptr, 10);  // hidden itself
        Make("leave-nocaption", WS_POPUP | WS_VISIBLE, 0, nullptr, 140);
        Make("leave-owned", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, owner, 270);
        Make("leave-tool", WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_EX_TOOLWINDOW, nullptr, 400);
        main = Make("leave-hidden", WS_OVERLAPPEDWINDOW, 0, nullptr, 530);
    } else if (g_mode == "exitwindows" && argc >= 3) {
        main = Make("exitwindows", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, nullptr, 10);
        SetPropA(main, "flags", argv[2]);
    } else if (argc >= 3) {
        bool minimized = argc >= 4 && std::strcmp(argv[3], "min") == 0;
        main = Make(argv[2], WS_OVERLAPPEDWINDOW, 0, nullptr, 10);
        ShowWindow(main, minimized ? SW_SHOWMINNOACTIVE : SW_SHOW);
    } else {
        return 2;
    }
    if (main == nullptr) return 3;
    SetPropA(main, "main", reinterpret_cast<HANDLE>(1));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
