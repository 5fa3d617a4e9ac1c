// The line monitor end to end: the sandbox's simulated port ttyS0 is COM1
// (see WineTests.cmake).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "halvora_fixture.h"
#include "harness.h"
#include "mail_sink.h"

using namespace wt;

namespace {

bool Logged(const std::vector<std::string>& expected) {
    return HalvoraLogTexts() == expected;
}

// The bodies of the mails the sink got from mail `from` on.
std::vector<std::string> MailBodies(int from) {
    std::vector<std::string> out;
    for (int n = from; n <= MailCount(); ++n) {
        std::string m = SinkFile(n, ".bin");
        std::size_t at = m.find("\r\n\r\n\r\n");
        out.push_back(at == std::string::npos ? m : m.substr(at + 6, m.size() - at - 8));
    }
    return out;
}

// A window titled "UPS Warning" in place of qorwarn: it keeps every warning
// halvora sends (kind, seconds).
class FakePopup {
public:
    FakePopup() {
        message_ = RegisterWindowMessageA("Halvora Qor Warning Type");
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QorTestFakePopup";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, wc.lpszClassName, "UPS Warning", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
        got.clear();
    }
    ~FakePopup() { Close(); }
    void Close() {
        if (hwnd_) DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    static bool Has(int kind, LPARAM seconds) {
        for (auto& g : got)
            if (g.first == kind && g.second == seconds) return true;
        return false;
    }
    static std::vector<std::pair<int, LPARAM>> got;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
        if (m == message_ && m != 0) {
            got.emplace_back(static_cast<int>(wp), lp);
            return 1;
        }
        return DefWindowProcA(h, m, wp, lp);
    }
    static UINT message_;
    HWND hwnd_ = nullptr;
};
std::vector<std::pair<int, LPARAM>> FakePopup::got;
UINT FakePopup::message_ = 0;

HWND RealPopup() { return TopWindow("UPS Warning", "UPS Warning"); }

int VisibleChildren(HWND w) {
    int n = 0;
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) ++n;
    return n;
}

// Shows the main dialog at the top left, clear of the centred pop-up.
void ShowDialog(Halvora& h) {
    PostMessageA(h.tray, kTrayCallback, 128, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(h.dlg) != FALSE; }, 5000));
    SetWindowPos(h.dlg, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    Pump(300);
}

void Screenshot(HWND w, const char* name) {
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(400);
    SaveBmp(Capture(w), name);
}

bool TextIs(HWND dlg, int id, const std::string& text) {
    return WaitFor([&] { return ItemText(dlg, id) == text; }, 6000);
}

}  // namespace

TEST(HalvoraMonitor, FirstStartStoresAndWatchesThePortAndTheMainsFail) {
    DeleteQorKey();
    ResetHalvoraLog();
    ASSERT_TRUE(SinkRunning());
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}});
    WriteQorDword("Enable Notification", 3);
    int mailsBefore = MailCount();
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    Halvora h;
    ASSERT_TRUE(h.Start());
    // Found on the very first start, stored, and watched from then on.
    EXPECT_TRUE(TextIs(h.dlg, 1014, "UPS is installed on COM1"));
    EXPECT_EQ(ReadQorString("Port"), "COM1");
    EXPECT_TRUE(TextIs(h.dlg, 1023, "System AC power: Normal"));
    EXPECT_EQ(ItemText(h.dlg, 1024), "UPS Battery status: Normal");
    EXPECT_EQ(ItemText(h.dlg, 1025), "ShutDown CountDown: none");
    ShowDialog(h);
    Screenshot(h.dlg, "halvora-normal.bmp");

    // The registry is read on every tick: the pop-up channels take effect at once.
    WriteEventValue("Power Fail Warning", 1);
    WriteEventValue("Power Restored", 1);
    WriteQorDword("Battery life", 5);
    ASSERT_TRUE(SetLines("ttyS0", true, false));  // DCD only: mains failed
    EXPECT_TRUE(WaitFor([] { return Logged({"AC power failure"}); }, 6000)) << HalvoraLogTexts().size();
    HWND popup = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (popup = RealPopup()) != nullptr && VisibleChildren(popup) == 2; }, 10000));
    EXPECT_TRUE(TextIs(h.dlg, 1023, "System AC power: Failure"));
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1025).find(" seconds") != std::string::npos; }, 4000));
    SetWindowPos(popup, HWND_TOP, 1024 - 330, 768 - 200, 0, 0, SWP_NOSIZE);
    Screenshot(popup, "qorwarn-from-halvora.bmp");
    Screenshot(h.dlg, "halvora-ac-fail-countdown.bmp");

    // Power back: logged once, the pop-up says so (OK only), the countdown stops.
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    EXPECT_TRUE(WaitFor([] { return Logged({"AC power failure", "AC power restored"}); }, 6000));
    EXPECT_TRUE(WaitFor([&] { return VisibleChildren(popup) == 1; }, 5000));
    EXPECT_TRUE(TextIs(h.dlg, 1025, "ShutDown CountDown: none"));
    bool counted = WaitFor([&] { return ItemText(h.dlg, 1025).find(" seconds") != std::string::npos; }, 2500);
    EXPECT_FALSE(counted) << "the countdown still runs";
    EXPECT_EQ(HalvoraLogTexts().size(), 2u);
    PostMessageA(popup, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([] { return RealPopup() == nullptr; }, 5000));
    // No event has its mail channel set: nothing was mailed.
    EXPECT_EQ(MailCount(), mailsBefore);
}

TEST(HalvoraMonitor, WarningsChannelsCancelAndTheLogDialogsWhileTheQuestionIsOpen) {
    ResetHalvoraLog();
    WriteQorString("Port", "COM1");
    for (const char* e : {"Power Fail Warning", "Power Restored", "Battery Low"}) WriteEventValue(e, 7);
    WriteQorDword("Enable Notification", 3);
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}});
    int mailsBefore = MailCount();
    WriteQorDword("Battery life", 1);
    WriteQorDword("Battery low life", 2);
    WriteQorDword("Warnning time", 2);
    WriteQorDword("Interval", 2);
    WriteQorDword("ShutDown", 1);
    WriteQorDword("Show Status", 1);
    // One document saved at the last shutdown, as the safe-close library logs it.
    std::string closeLog = WindowsFolder() + "Brantel\\BTUPSSAV.LOG";
    CreateDirectoryA((WindowsFolder() + "Brantel").c_str(), nullptr);
    DeleteFileA(closeLog.c_str());
    WritePrivateProfileStringA("Untitled - Notepad", "Tue Dec  8 07:00:01 2026\n",
                               "C:\\windows\\Brantel\\BT123.TXT", closeLog.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, closeLog.c_str());
    ASSERT_TRUE(SetLines("ttyS0", true, true));

    FakePopup fake;
    Halvora h;
    ASSERT_TRUE(h.proc.Start("halvora.exe"));
    // The ShutDown Status question, titled "Halvora" like the dialog, stays
    // open through all of this; the monitor runs meanwhile.
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(h.proc.Id(), "Halvora")) != nullptr; }, 15000));
    ASSERT_TRUE(h.WaitReady());
    ShowDialog(h);
    EXPECT_TRUE(TextIs(h.dlg, 1023, "System AC power: Normal"));

    // Mains fail: kind 2 with 60 s, then reminders every 2 s.
    ASSERT_TRUE(SetLines("ttyS0", true, false));
    EXPECT_TRUE(WaitFor([] { return FakePopup::Has(4, 56); }, 10000));
    ASSERT_FALSE(FakePopup::got.empty());
    EXPECT_EQ(FakePopup::got.front(), std::make_pair(2, LPARAM{60}));
    for (auto& g : FakePopup::got)
        if (g.first == 4) {
            EXPECT_EQ(g.second % 2, 0) << g.second;
        }
    EXPECT_EQ(HalvoraLogTexts(), std::vector<std::string>{"AC power failure"});
    // The AC failure goes out as a real mail (no pager list: no call).
    EXPECT_TRUE(WaitFor([&] { return MailCount() > mailsBefore; }, 10000));
    EXPECT_EQ(MailBodies(mailsBefore + 1).front(), "Power Fail Warning");

    // Return during the countdown: restored once, on every channel, and stopped.
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    ASSERT_TRUE(WaitFor([] { return FakePopup::Has(0, 0); }, 6000));
    std::size_t seen = FakePopup::got.size();
    Pump(2500);
    EXPECT_EQ(FakePopup::got.size(), seen) << "warnings after the power came back";
    EXPECT_EQ(ItemText(h.dlg, 1025), "ShutDown CountDown: none");

    // Battery low straight away (both lines off): its own countdown and channels.
    ASSERT_TRUE(SetLines("ttyS0", false, false));
    EXPECT_TRUE(WaitFor([] { return FakePopup::Has(1, 120); }, 6000));
    EXPECT_TRUE(TextIs(h.dlg, 1024, "UPS Battery status: Low"));
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1025).find(" seconds") != std::string::npos; }, 4000));
    Screenshot(h.dlg, "halvora-battery-low.bmp");

    // Without a pop-up window the next reminder starts qorwarn; its Cancel stops
    // the countdown, although a message box carries the dialog's title.
    fake.Close();
    HWND popup = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (popup = RealPopup()) != nullptr && VisibleChildren(popup) == 2; }, 15000));
    PostMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(205 + 30, 130 + 12));
    PostMessageA(popup, WM_LBUTTONUP, 0, MAKELPARAM(205 + 30, 130 + 12));
    EXPECT_TRUE(WaitFor([] { return HalvoraLogTexts().size() == 4; }, 6000));
    EXPECT_EQ(HalvoraLogTexts(), (std::vector<std::string>{"AC power failure", "AC power restored", "UPS battery low",
                                                       "ShutDown cancelled by the user"}));
    EXPECT_TRUE(TextIs(h.dlg, 1025, "ShutDown CountDown: stopped"));
    EXPECT_TRUE(WaitFor([&] { return VisibleChildren(popup) == 1; }, 5000));  // the pop-up says it worked
    Pump(2500);
    EXPECT_EQ(ItemText(h.dlg, 1025), "ShutDown CountDown: stopped");
    EXPECT_TRUE(IsWindow(box));
    PostMessageA(popup, WM_CLOSE, 0, 0);

    // Yes opens ShutDown Status with the saved document; Clear empties the log.
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    HWND status = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (status = WindowOf(h.proc.Id(), "#32770", "ShutDown Status")) != nullptr; },
                        5000));
    EXPECT_EQ(ItemText(status, 1030),
              "[Tue Dec  8 07:00:01 2026]\r\nUntitled - Notepad=C:\\windows\\Brantel\\BT123.TXT");
    EXPECT_EQ(ItemText(status, IDOK), "OK");
    EXPECT_EQ(ItemText(status, 1029), "&Clear");
    SetWindowPos(status, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    Screenshot(status, "halvora-shutdown-status.bmp");
    DWORD shutDown = 9;
    EXPECT_TRUE(ReadQorDword("ShutDown", shutDown));
    EXPECT_EQ(shutDown, 0u);
    PostMessageA(status, WM_COMMAND, MAKEWPARAM(1029, BN_CLICKED), 0);
    EXPECT_TRUE(WaitFor([&] { return ItemText(status, 1030).empty(); }, 3000));
    char names[64] = {};
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names, sizeof names, closeLog.c_str()), 0u) << names;
    PostMessageA(status, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(status); }, 3000));

    // Review History shows the four events; Clear removes both sections.
    PostMessageA(h.dlg, WM_COMMAND, MAKEWPARAM(1027, BN_CLICKED), 0);
    HWND history = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (history = WindowOf(h.proc.Id(), "#32770", "Review History")) != nullptr; },
                        5000));
    std::string shown = ItemText(history, 1027);
    std::size_t lines = 1;
    for (std::size_t p = 0; (p = shown.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 4u) << shown;
    EXPECT_NE(shown.find("  :UPS battery low\r\n"), std::string::npos) << shown;
    SetWindowPos(history, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    Screenshot(history, "halvora-review-history.bmp");
    PostMessageA(history, WM_COMMAND, MAKEWPARAM(1029, BN_CLICKED), 0);
    EXPECT_TRUE(WaitFor([&] { return ItemText(history, 1027).empty(); }, 3000));
    EXPECT_TRUE(HalvoraLogTexts().empty());
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names, sizeof names, "Halvora.log"), 0u) << names;
    PostMessageA(history, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(history); }, 3000));

    // Every event of the run was mailed, in order, with its own text.
    EXPECT_TRUE(WaitFor([&] { return MailCount() >= mailsBefore + 3; }, 30000));
    EXPECT_EQ(MailBodies(mailsBefore + 1),
              (std::vector<std::string>{"Power Fail Warning", "Power Restored", "Battery Low"}));
}

TEST(HalvoraShutdown, CountdownEndClosesAppsSignalsTheUpsAndEndsWindows) {
    ResetHalvoraLog();
    ClearExitWindowsLog();
    WriteQorString("Port", "COM1");
    for (const char* e : {"Power Fail Warning", "Power Restored", "Battery Low"}) WriteEventValue(e, 0);
    WriteQorDword("Battery life", 0);
    WriteQorDword("ShutDown", 0);
    WriteQorDword("Show Status", 0);
    WriteQorDword("Shutups", 1000);  // left from a shutdown long past
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    Halvora h;
    ASSERT_TRUE(h.Start());
    DWORD v = 9;
    EXPECT_TRUE(WaitFor([&] { return ReadQorDword("Shutups", v) && v == 0; }, 5000)) << v;
    ASSERT_TRUE(RecordExitWindows(h.proc));

    // "Battery life" 0: the countdown ends on its first tick.
    ASSERT_TRUE(SetLines("ttyS0", true, false));
    EXPECT_TRUE(WaitFor([] { return Logged({"AC power failure", "ShutDown started"}); }, 8000));
    EXPECT_TRUE(WaitFor([&] { return ReadQorDword("Shutups", v) && v == 1; }, 10000)) << v;
    EXPECT_TRUE(ReadQorDword("ShutDown", v));
    EXPECT_EQ(v, 1u);
    EXPECT_FALSE(IsWindowVisible(h.dlg));
    // clozwinnt's SafeClose ran: it logs off (Windows 2000 and later).
    EXPECT_TRUE(WaitFor([&] { return !RecordedExitFlags(h.proc.Id()).empty(); }, 30000));
    EXPECT_EQ(RecordedExitFlags(h.proc.Id()), std::vector<UINT>{EWX_LOGOFF});
    EXPECT_EQ(ControlLog("ttyS0").find("DTR=1"), std::string::npos);

    // Windows asks before the session ends: a minute later, DTR for the UPS,
    // then the shutdown with the privilege enabled.
    DWORD asked = GetTickCount();
    PostMessageA(h.dlg, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    EXPECT_TRUE(WaitFor([&] { return ReadQorDword("Steplog", v) && v == 41; }, 5000));
    EXPECT_TRUE(WaitFor([] { return ControlLog("ttyS0").find("DTR=1") != std::string::npos; }, 90000));
    EXPECT_GE(GetTickCount() - asked, 55000u);
    EXPECT_TRUE(WaitFor([&] { return ReadQorDword("Shutups", v) && v == 1000; }, 20000)) << v;
    EXPECT_TRUE(WaitFor([&] { return RecordedExitFlags(h.proc.Id()).size() == 2; }, 5000));
    EXPECT_EQ(RecordedExitFlags(h.proc.Id()), (std::vector<UINT>{EWX_LOGOFF, EWX_SHUTDOWN | EWX_FORCEIFHUNG}));
    EXPECT_TRUE(ReadQorDword("Steplog", v));
    EXPECT_EQ(v, 23u);
}
