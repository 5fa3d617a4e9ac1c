// Faults a pop-up, a second thread, another program or the user could cause:
// the countdown keeps to the clock, also across a detection that finds
// nothing; the exit does not wait for a hung pop-up, the event log loses no
// entry, a foreign "Make Pager" message is ignored. The
// sandbox's simulated port ttyS0 is COM1 (see WineTests.cmake).
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "halvora_fixture.h"
#include "harness.h"
#include "logs.h"

using namespace wt;

namespace {

// The seconds of "ShutDown CountDown: %d seconds", or -1.
int CountdownSeconds(HWND dlg) {
    int n = -1;
    return std::sscanf(ItemText(dlg, 1025).c_str(), "ShutDown CountDown: %d seconds", &n) == 1 ? n : -1;
}

bool LastLogged(const char* text) {
    std::vector<std::string> t = HalvoraLogTexts();
    return !t.empty() && t.back() == text;
}

// A window titled "UPS Warning" whose thread never takes a message: a pop-up
// that has stopped answering.
class HungPopup {
public:
    HungPopup() {
        made_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
        WaitForSingleObject(made_, 5000);
    }
    ~HungPopup() {
        Release();
        CloseHandle(made_);
        CloseHandle(release_);
    }
    HungPopup(const HungPopup&) = delete;
    HungPopup& operator=(const HungPopup&) = delete;
    bool made() const { return hwnd_ != nullptr; }
    // It comes back to life and goes away.
    void Release() {
        if (!thread_) return;
        SetEvent(release_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

private:
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<HungPopup*>(p);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QorTestHungPopup";
        RegisterClassA(&wc);
        self->hwnd_ = CreateWindowExA(0, wc.lpszClassName, "UPS Warning", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      wc.hInstance, nullptr);
        SetEvent(self->made_);
        WaitForSingleObject(self->release_, INFINITE);
        DestroyWindow(self->hwnd_);
        return 0;
    }

    HANDLE made_ = nullptr;
    HANDLE release_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND hwnd_ = nullptr;
};

// halvora.exe and its language library, without qorwarn.exe (nor the
// safe-close library: the countdown's end closes no program here).
std::string FolderWithoutPopup() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "qor-no-popup\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* f : {"halvora.exe", "Eng.dll"})
        if (!CopyFileA((g_bin + f).c_str(), (folder + f).c_str(), FALSE)) return std::string();
    return folder;
}

}  // namespace

TEST(HalvoraFaults, TheCountdownEndsOnTimeWithAHungThenAMissingPopupAndTheExitWaitsForNeither) {
    std::string folder = FolderWithoutPopup();
    ASSERT_FALSE(folder.empty());
    ResetHalvoraLog();
    WriteQorString("Port", "COM1");
    WriteEventValue("Power Fail Warning", 1);
    WriteEventValue("Power Restored", 0);
    WriteEventValue("Battery Low", 0);
    WriteQorDword("Enable Notification", 0);
    // One minute, and a reminder every second of it.
    WriteQorDword("Battery life", 1);
    WriteQorDword("Warnning time", 1);
    WriteQorDword("Interval", 1);
    WriteQorDword("Show Status", 0);
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    HungPopup hung;
    ASSERT_TRUE(hung.made());
    Halvora h;
    ASSERT_TRUE(h.proc.Start(folder + "halvora.exe"));
    ASSERT_TRUE(h.WaitReady());
    ASSERT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1023) == "System AC power: Normal"; }, 6000));

    ASSERT_TRUE(SetLines("ttyS0", true, false));  // mains fail
    ASSERT_TRUE(WaitFor([] { return LastLogged("AC power failure"); }, 6000));
    const DWORD armed = GetTickCount();
    // Half of it with the pop-up hung, the other half with none to start.
    Pump(30000);
    std::string halfway = ItemText(h.dlg, 1025);
    hung.Release();
    ASSERT_TRUE(WaitFor([] { return LastLogged("ShutDown started"); }, 60000)) << halfway;
    const long late = static_cast<long>(GetTickCount() - armed) - 60000;
    std::cout << "countdown of 60 s ended " << late << " ms late; at 30 s it showed \"" << halfway << "\"\n";
    EXPECT_LT(std::labs(late), 1000) << late;

    // Exit from the tray while the pop-up hangs again: halvora is gone at once.
    HungPopup again;
    ASSERT_TRUE(again.made());
    Pump(2500);  // the shutdown step's own wait is over
    const DWORD asked = GetTickCount();
    PostMessageA(h.tray, WM_COMMAND, kCmdExit, 0);
    EXPECT_TRUE(h.proc.WaitExit(10000));
    const DWORD took = GetTickCount() - asked;
    std::cout << "exit with a hung pop-up took " << took << " ms\n";
    EXPECT_LT(took, 3000u);
    h.proc.Kill();
    WriteQorDword("ShutDown", 0);
    WriteQorDword("Shutups", 0);
}

// With the battery low both lines are off, so Detect finds no port and stores
// "NONE": the countdown goes on, and the power coming back on the line it ran
// on still ends it.
TEST(HalvoraFaults, DetectDuringBatteryLowFindsNothingYetThePowerReturnEndsTheCountdown) {
    ResetHalvoraLog();
    WriteQorString("Port", "COM1");
    for (const char* e : {"Power Fail Warning", "Power Restored", "Battery Low"}) WriteEventValue(e, 0);
    WriteQorDword("Enable Notification", 0);
    WriteQorDword("Battery low life", 2);
    WriteQorDword("Show Status", 0);
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    Halvora h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1023) == "System AC power: Normal"; }, 6000));

    ASSERT_TRUE(SetLines("ttyS0", false, false));
    ASSERT_TRUE(WaitFor([&] { return LastLogged("UPS battery low") && CountdownSeconds(h.dlg) > 0; }, 6000));
    PostMessageA(h.dlg, WM_COMMAND, MAKEWPARAM(1059, BN_CLICKED), 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(h.proc.Id(), "Warning")) != nullptr; }, 15000));
    EXPECT_EQ(ReadQorString("Port"), "NONE");
    const int before = CountdownSeconds(h.dlg);
    Pump(3000);
    const int after = CountdownSeconds(h.dlg);
    EXPECT_GE(before - after, 2) << before << " then " << after;
    EXPECT_LE(before - after, 4) << before << " then " << after;

    ASSERT_TRUE(SetLines("ttyS0", true, true));
    EXPECT_TRUE(WaitFor([] { return LastLogged("AC power restored"); }, 6000));
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1025) == "ShutDown CountDown: none"; }, 3000));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    h.Exit();
    WriteQorString("Port", "COM1");
}

TEST(HalvoraFaults, TwoThreadsLoggingLoseNoEntry) {
    ResetHalvoraLog();
    constexpr int kEach = 100;
    auto writer = [](LPVOID name) -> DWORD {
        for (int i = 0; i < kEach; ++i)
            qorwin::LogEvent((static_cast<const char*>(name) + std::to_string(i)).c_str());
        return 0;
    };
    HANDLE a = CreateThread(nullptr, 0, writer, const_cast<char*>("gui "), 0, nullptr);
    HANDLE b = CreateThread(nullptr, 0, writer, const_cast<char*>("mail "), 0, nullptr);
    ASSERT_TRUE(a && b);
    WaitForSingleObject(a, 60000);
    WaitForSingleObject(b, 60000);
    CloseHandle(a);
    CloseHandle(b);
    std::vector<std::string> texts = HalvoraLogTexts();
    std::set<std::string> distinct(texts.begin(), texts.end());
    EXPECT_EQ(texts.size(), 2u * kEach);
    EXPECT_EQ(distinct.size(), 2u * kEach);
    EXPECT_EQ(distinct.count("gui 99") + distinct.count("mail 99"), 2u);
    ResetHalvoraLog();
}

TEST(HalvoraFaults, AForeignMakePagerPointerIsIgnored) {
    WriteQorString("Port", "COM1");
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    Halvora h;
    ASSERT_TRUE(h.Start());
    // Any program can post it to every thread of the monitor.
    const UINT makePager = RegisterWindowMessageA("Make Pager");
    int posted = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    ASSERT_NE(snap, INVALID_HANDLE_VALUE);
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != h.proc.Id()) continue;
        for (LPARAM bogus : {LPARAM{0x1000}, LPARAM{0x7FFE0000}, LPARAM{-8}})
            posted += PostThreadMessageA(te.th32ThreadID, makePager, 1, bogus) ? 1 : 0;
    }
    CloseHandle(snap);
    EXPECT_GE(posted, 6);  // at least the mail and pager threads took them
    Pump(2000);
    EXPECT_TRUE(h.proc.Running());
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(h.dlg, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &answer), 0);
}
