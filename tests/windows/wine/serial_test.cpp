// Needs the sandbox's simulated port ttyS0 mapped to COM1 (see WineTests.cmake).
#include <gtest/gtest.h>

#include <string>

#include "halvora_fixture.h"
#include "harness.h"

using namespace wt;

TEST(WineSerial, AWindowsProgramSeesTheSimulatedLines) {
    HANDLE port = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                              nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = CBR_2400;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_TRUE(EscapeCommFunction(port, SETRTS));

    struct Case { bool dcd, cts; DWORD expect; };
    for (Case c : {Case{true, true, MS_CTS_ON | MS_RLSD_ON}, Case{true, false, MS_RLSD_ON},
                   Case{false, true, MS_CTS_ON}, Case{false, false, 0}}) {
        ASSERT_TRUE(SetLines("ttyS0", c.dcd, c.cts));
        DWORD status = 0xDEAD;
        ASSERT_TRUE(GetCommModemStatus(port, &status));
        EXPECT_EQ(status & (MS_CTS_ON | MS_RLSD_ON), c.expect) << "DCD=" << c.dcd << " CTS=" << c.cts;
    }
    CloseHandle(port);
    std::string log = ControlLog("ttyS0");
    EXPECT_NE(log.find("RTS=1 DTR=0"), std::string::npos) << log;

    // Ports the sandbox does not simulate are not there at all.
    HANDLE none = CreateFileA("COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(none, INVALID_HANDLE_VALUE);
    if (none != INVALID_HANDLE_VALUE) CloseHandle(none);
}

TEST(WineSerial, StartProbesTheStoredPort) {
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    WriteQorString("Port", "COM1");
    Halvora h;
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1014) == "UPS is installed on COM1"; }, 5000))
        << ItemText(h.dlg, 1014);
    EXPECT_EQ(ReadQorString("Port"), "COM1");
    // The probe raised RTS to feed the contacts and left DTR (the shutdown signal) low.
    std::string log = ControlLog("ttyS0");
    EXPECT_NE(log.find("RTS=1 DTR=0"), std::string::npos) << log;
    EXPECT_EQ(log.find("DTR=1"), std::string::npos) << log;
}

TEST(WineSerial, StoredPortThatDoesNotAnswerStartsTheDetection) {
    ASSERT_TRUE(SetLines("ttyS0", true, false));  // DCD alone: a UPS on battery still counts
    WriteQorString("Port", "COM3");
    Halvora h;
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "COM1"; }, 5000)) << ReadQorString("Port");
    EXPECT_EQ(ItemText(h.dlg, 1014), "UPS is installed on COM1");
}

TEST(WineSerial, NoAnsweringPortGivesTheNoneTextsAndTheDetectButtonWarns) {
    ASSERT_TRUE(SetLines("ttyS0", false, false));  // both lines off: no UPS
    WriteQorString("Port", "COM1");
    Halvora h;
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "NONE"; }, 5000)) << ReadQorString("Port");
    EXPECT_EQ(ItemText(h.dlg, 1014), "No UPS found on COM1 to COM4");

    PostMessageA(h.dlg, WM_COMMAND, MAKEWPARAM(1059, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h.dlg, 1059)));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(h.proc.Id(), "Warning")) != nullptr; }, 5000));
    EXPECT_NE(MessageBoxText(box).find("No UPS was found"), std::string::npos) << MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 3000));

    // The UPS comes back: the button finds it.
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    PostMessageA(h.dlg, WM_COMMAND, MAKEWPARAM(1059, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h.dlg, 1059)));
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "COM1"; }, 5000));
    EXPECT_EQ(ItemText(h.dlg, 1014), "UPS is installed on COM1");
}
