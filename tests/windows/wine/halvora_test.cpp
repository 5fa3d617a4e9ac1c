#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "halvora_fixture.h"
#include "harness.h"

using namespace wt;

namespace {

std::string Padded(const std::string& s, std::size_t n) {
    std::string p = s;
    p.resize(n, '\0');
    return p;
}

std::string Bytes(const char* name, DWORD* type = nullptr) {
    RegValue v;
    if (!ReadQorValue(name, v)) return "<missing>";
    if (type) *type = v.type;
    return std::string(v.bytes.begin(), v.bytes.end());
}

}  // namespace

TEST(HalvoraStart, FirstStartWritesExactlyTheDefaults) {
    DeleteQorKey();
    Halvora h;
    ASSERT_TRUE(h.Start());

    auto names = QorValueNames();
    std::set<std::string> got(names.begin(), names.end());
    // The detection's "Port" is stored too: no port answers here.
    EXPECT_EQ(got, (std::set<std::string>{"Port", "Enable Notification", "Power Fail Warning", "Power Restored",
                                          "Battery Low", "Email Setting", "Email Address", "Modem Setting",
                                          "Special Initialize String", "Dialing Prefix", "Pager Number"}));
    DWORD type = 0;
    EXPECT_EQ(Bytes("Port", &type), std::string("NONE", 5));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Bytes("Enable Notification", &type), std::string(4, '\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Bytes("Power Fail Warning", &type), Padded("Power Fail Warning,0", 256));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Bytes("Power Restored"), Padded("Power Restored,0", 256));
    EXPECT_EQ(Bytes("Battery Low"), Padded("Battery Low,0", 256));
    EXPECT_EQ(Bytes("Email Setting"), std::string(568, '\0'));
    EXPECT_EQ(Bytes("Email Address"), std::string(2048, '\0'));
    EXPECT_EQ(Bytes("Modem Setting"), Padded("COM1 2400 0 4 0", 256));
    EXPECT_EQ(Bytes("Special Initialize String", &type), std::string(60, '\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Bytes("Dialing Prefix"), std::string(60, '\0'));
    EXPECT_EQ(Bytes("Pager Number", &type), std::string(2048, '\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    // A later start keeps what is stored.
    h.Exit();
    WriteQorString("Modem Setting", "COM2 9600 1 3 2");
    WriteQorDword("Language Type", 0);
    Halvora again;
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(ReadQorString("Modem Setting"), "COM2 9600 1 3 2");
}

TEST(HalvoraStart, SecondCopyExitsAtOnce) {
    Halvora first;
    ASSERT_TRUE(first.Start());

    Process second;
    ASSERT_TRUE(second.Start("halvora.exe"));
    EXPECT_TRUE(second.WaitExit(5000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(TopWindows(nullptr, kTrayTitle).size(), 1u);
    EXPECT_TRUE(first.proc.Running());
    first.Exit();

    // The instance mutex alone also keeps a copy from running.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Brantel Halvora background");
    ASSERT_NE(mutex, nullptr);
    Process blocked;
    ASSERT_TRUE(blocked.Start("halvora.exe"));
    EXPECT_TRUE(blocked.WaitExit(5000));
    EXPECT_EQ(blocked.ExitCode(), 0u);
    EXPECT_EQ(TopWindow(nullptr, kTrayTitle), nullptr);
    CloseHandle(mutex);
}

TEST(HalvoraStart, HiddenOwnerWindowAndLabelledDialog) {
    WriteQorString("Port", "NONE");
    Halvora h;
    ASSERT_TRUE(h.Start());

    EXPECT_FALSE(IsWindowVisible(h.tray));
    RECT r;
    GetWindowRect(h.tray, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 100);
    EXPECT_TRUE(GetWindowLongA(h.tray, GWL_STYLE) & WS_POPUP);

    ASSERT_NE(h.dlg, nullptr);
    EXPECT_FALSE(IsWindowVisible(h.dlg));
    EXPECT_EQ(GetWindow(h.dlg, GW_OWNER), h.tray);
    // Captions from Eng.dll.
    EXPECT_EQ(ItemText(h.dlg, 1027), "&Review History");
    EXPECT_EQ(ItemText(h.dlg, 1055), "&ShutDown Status");
    EXPECT_EQ(ItemText(h.dlg, 1056), "&Configuration");
    EXPECT_EQ(ItemText(h.dlg, 1059), "Connect and &Detect UPS");
    EXPECT_EQ(ItemText(h.dlg, 1092), "&Notification");
    EXPECT_EQ(ItemText(h.dlg, 1023), "System AC power: Failure");
    EXPECT_EQ(ItemText(h.dlg, 1024), "UPS Battery status: Low");
    EXPECT_EQ(ItemText(h.dlg, 1025), "ShutDown CountDown: stopped");
    // No port answers in this sandbox: the "none" text and "Port" = "NONE".
    EXPECT_EQ(ItemText(h.dlg, 1014), "No UPS found on COM1 to COM4");
    EXPECT_EQ(ReadQorString("Port"), "NONE");
    // The help button is owner-drawn; the two spare controls stay hidden.
    EXPECT_EQ(GetWindowLongA(GetDlgItem(h.dlg, 1057), GWL_STYLE) & 0x0F, BS_OWNERDRAW);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h.dlg, 1037)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h.dlg, 1096)));
    EXPECT_EQ(WindowText(GetDlgItem(h.dlg, 1096)), "Button1");
}

TEST(HalvoraStart, ShutDownQuestionOnlyWhenBothAreSet) {
    WriteQorDword("ShutDown", 1);
    WriteQorDword("Show Status", 0);
    {
        Halvora h;
        ASSERT_TRUE(h.Start());
        Pump(500);
        EXPECT_EQ(MessageBoxOf(h.proc.Id(), "Halvora"), nullptr);
        DWORD v = 9;
        EXPECT_TRUE(ReadQorDword("ShutDown", v));
        EXPECT_EQ(v, 1u);  // not asked, so not reset
    }

    WriteQorDword("Show Status", 1);
    Halvora h;
    ASSERT_TRUE(h.proc.Start("halvora.exe"));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(h.proc.Id(), "Halvora")) != nullptr; }, 15000));
    EXPECT_NE(MessageBoxText(box).find("ShutDown Status"), std::string::npos) << MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(h.WaitReady());
    // Reset after the question, whatever the answer.
    EXPECT_TRUE(WaitFor([] {
        DWORD v = 9;
        return ReadQorDword("ShutDown", v) && v == 0;
    }, 5000));
    WriteQorDword("Show Status", 0);
}

TEST(HalvoraDialog, ShownFromTrayHiddenByCloseDeafToEnterAndEsc) {
    WriteQorString("Port", "NONE");
    Halvora h;
    ASSERT_TRUE(h.Start());
    PostMessageA(h.tray, kTrayCallback, 128, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(h.dlg) != FALSE; }, 5000));
    SetForegroundWindow(h.dlg);
    Pump(400);

    // Animation: frames change with timer 256 (2.5 s).
    HWND frame = GetDlgItem(h.dlg, 1094);
    RECT fr;
    GetWindowRect(frame, &fr);
    Shot a = CaptureRect(fr);
    Shot dialogShot = Capture(h.dlg);
    SaveBmp(dialogShot, "halvora-main-dialog.bmp");
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SaveBmp(CaptureRect(screen), "halvora-screen.bmp");  // with the tray icon
    bool changed = WaitFor([&] { return CaptureRect(fr).px != a.px; }, 6000);
    EXPECT_TRUE(changed) << "the animation frame did not change";
    // Some pixel of the AC-present picture: its green lamp and power dots.
    Shot b = CaptureRect(fr);
    EXPECT_GT(b.Count(0x78E66E, 0, 0, b.w, b.h) + a.Count(0x78E66E, 0, 0, a.w, a.h), 0);

    // The help button: a flat picture that gets a border while the pointer is over it.
    HWND help = GetDlgItem(h.dlg, 1057);
    RECT hr;
    GetWindowRect(help, &hr);
    Shot plain = CaptureRect(hr);
    EXPECT_GT(plain.Count(0x3278D2, 0, 0, plain.w, plain.h), 50);  // the blue disc of bitmap 193
    PostMessageA(help, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(WaitFor([&] { return CaptureRect(hr).px != plain.px; }, 2000)) << "no hover look";
    PostMessageA(help, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return CaptureRect(hr).px == plain.px; }, 2000)) << "hover look stays";

    // Enter and Esc on the dialog and its buttons leave it open.
    HWND button = GetDlgItem(h.dlg, 1056);
    for (HWND target : {h.dlg, button}) {
        PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    SendMessageA(h.dlg, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(h.dlg, WM_COMMAND, IDOK, 0);
    Pump(300);
    EXPECT_TRUE(IsWindowVisible(h.dlg));

    // The close box only hides it; the tray shows it again.
    PostMessageA(h.dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(h.dlg); }, 3000));
    EXPECT_TRUE(IsWindow(h.dlg));
    EXPECT_TRUE(h.proc.Running());
    PostMessageA(h.tray, WM_COMMAND, kCmdShow, 0);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(h.dlg) != FALSE; }, 3000));
}

TEST(HalvoraTray, AboutBoxAndExitThatClosesThePopup) {
    WriteQorString("Port", "NONE");
    Halvora h;
    ASSERT_TRUE(h.Start());

    PostMessageA(h.tray, WM_COMMAND, kCmdAbout, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (about = WindowOf(h.proc.Id(), "#32770", "About...")) != nullptr; }, 5000));
    EXPECT_EQ(ItemText(about, 1037), "Halvora Qor 3.0 Version.");
    PostMessageA(h.tray, WM_COMMAND, kCmdAbout, 0);  // a second About does not open another
    Pump(500);
    EXPECT_EQ(TopWindows("#32770", "About...").size(), 1u);
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }, 3000));

    // The right button opens the tray menu; Esc closes it.
    PostMessageA(h.tray, kTrayCallback, 128, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    EXPECT_TRUE(WaitFor([&] {
        menu = TopWindow("#32768", nullptr);
        return menu && IsWindowVisible(menu);
    }, 3000));
    if (menu) {
        Pump(300);
        SaveBmp(Capture(menu), "halvora-tray-menu.bmp");
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); }, 3000));
    }

    // Exit from the tray closes the warning pop-up as well.
    Process warn;
    ASSERT_TRUE(warn.Start("qorwarn.exe"));
    ASSERT_TRUE(WaitFor([] { return TopWindow("UPS Warning", "UPS Warning") != nullptr; }, 10000));
    PostMessageA(h.tray, WM_COMMAND, kCmdExit, 0);
    EXPECT_TRUE(h.proc.WaitExit(8000));
    EXPECT_EQ(h.proc.ExitCode(), 0u);
    EXPECT_TRUE(warn.WaitExit(5000));
    EXPECT_EQ(TopWindow(nullptr, kTrayTitle), nullptr);
}
