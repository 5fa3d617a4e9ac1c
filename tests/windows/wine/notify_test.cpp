// The real MailThread and PagerThread, driven through PostMail and PostPager
// in this process, and by halvora's monitor. Needs the SMTP sink on
// 127.0.0.1:25 (QOR_SMTP_SINK_DIR), COM1 the UPS line (ttyS0) and COM2 a
// Hayes modem emulator (ttyS1; see WineTests.cmake).
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app_state.h"
#include "event_value.h"
#include "halvora_fixture.h"
#include "harness.h"
#include "mail_sink.h"
#include "notify_requests.h"
#include "registry_store.h"
#include "registry_values.h"
#include "worker_threads.h"

using namespace wt;

namespace {

void StartThreadsOnce() {
    static bool started = [] {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        qorwin::RegisterAppMessages();
        return qorwin::StartWorkerThreads();
    }();
    ASSERT_TRUE(started);
}

void StoreEvent(const char* name, const char* text, int channels) {
    qorwin::RegistryStore store;
    unsigned char ev[qorwin::kEventValueSize];
    qorwin::FormatEventValue(text, channels, ev);
    qorwin::WriteBlock(store, name, ev, sizeof ev);
}

std::string ModemRecord() { return EnvText("SIMSERIAL_DIR") + "/ttyS1/modem.record"; }

// The modem on COM2 and one number (each call takes 18 s); the emulator's
// record starts empty.
void StorePagerSettings() {
    DeleteFileA(UnixToWindows(ModemRecord()).c_str());
    DeleteFileA(UnixToWindows(ModemRecord() + ".times").c_str());
    qorwin::RegistryStore store;
    unsigned char modem[qorwin::kModemSettingSize] = "COM2 9600 0 4 0";
    qorwin::WriteBlock(store, qorwin::value::kModemSetting, modem, sizeof modem);
    unsigned char list[qorwin::kListSize];
    qorwin::BuildPagerList({{"5551234", "Ann"}}, list);
    qorwin::WriteBlock(store, qorwin::value::kPagerNumber, list, sizeof list);
}

// The emulator got exactly `lines`, and mail `before + 1` came after its hang-up.
void ExpectPagerThenMail(const std::string& lines, int before) {
    std::string record = ModemRecord();
    ASSERT_TRUE(WaitFor([&] { return ReadUnixFile(record).find("ATZ0") != std::string::npos; }, 60000))
        << ReadUnixFile(record);
    EXPECT_EQ(ReadUnixFile(record), lines);
    ASSERT_TRUE(WaitFor([&] { return MailCount() > before; }, 30000));
    std::string times = ReadUnixFile(record + ".times");
    std::size_t at = times.find(" ATZ0");
    ASSERT_NE(at, std::string::npos) << times;
    std::size_t lineStart = times.rfind('\n', at);
    double hangup = std::atof(times.c_str() + (lineStart == std::string::npos ? 0 : lineStart + 1));
    double mailed = std::atof(SinkFile(before + 1, ".time").c_str());
    EXPECT_GE(mailed, hangup) << times;
}

void StoreEventTexts() {
    StoreEvent(qorwin::value::kPowerFailWarning, "Mains failed at the plant", qorwin::kChannelEmail);
    StoreEvent(qorwin::value::kPowerRestored, "Mains is back", qorwin::kChannelEmail);
}

// Plays a mail server on 127.0.0.2:25 for one connection: sends the greeting
// (none when empty) and records what the client sends until it closes.
class FakeServer {
public:
    explicit FakeServer(std::string greeting) : greeting_(std::move(greeting)) {
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(25);
        a.sin_addr.s_addr = inet_addr("127.0.0.2");
        BOOL reuse = TRUE;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
        ok_ = bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(listen_, 1) == 0;
        if (ok_) thread_ = CreateThread(nullptr, 0, &FakeServer::Run, this, 0, nullptr);
    }
    ~FakeServer() {
        closesocket(listen_);
        if (thread_) {
            WaitForSingleObject(thread_, 70000);
            CloseHandle(thread_);
        }
    }
    bool ok() const { return ok_; }
    bool accepted() const { return accepted_ != 0; }
    bool closedByClient() const { return closed_ != 0; }
    // What came, once the client has closed (the server thread writes it until then).
    std::string received() const { return closed_ != 0 ? received_ : "<still connected>"; }

private:
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<FakeServer*>(p);
        SOCKET c = accept(self->listen_, nullptr, nullptr);
        if (c == INVALID_SOCKET) return 0;
        InterlockedExchange(&self->accepted_, 1);
        if (!self->greeting_.empty()) send(c, self->greeting_.data(), static_cast<int>(self->greeting_.size()), 0);
        DWORD ms = 65000;  // longer than the client may wait
        setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
        char buf[512];
        int n;
        while ((n = recv(c, buf, sizeof buf, 0)) > 0) self->received_.append(buf, static_cast<std::size_t>(n));
        if (n == 0) InterlockedExchange(&self->closed_, 1);
        closesocket(c);
        return 0;
    }

    std::string greeting_;
    SOCKET listen_ = INVALID_SOCKET;
    HANDLE thread_ = nullptr;
    bool ok_ = false;
    volatile LONG accepted_ = 0;
    volatile LONG closed_ = 0;
    std::string received_;
};

// Each test starts from an empty key and leaves none behind for the other
// groups sharing the prefix.
class WineMail : public ::testing::Test {
protected:
    void SetUp() override {
        StartThreadsOnce();
        DeleteQorKey();
        ASSERT_TRUE(qorwin::RegistryStore().EnsureKey());  // the store writes into an existing key only
    }
    void TearDown() override { DeleteQorKey(); }
};
using WinePager = WineMail;

}  // namespace

TEST_F(WineMail, OneMailReachesEveryRecipientAndASwitchedOffChannelSendsNothing) {
    ASSERT_TRUE(SinkRunning());
    StoreMailSettings("127.0.0.1", {{"Ann Lee", "ann@example.org"}, {"", "ops@example.org"}, {"Bob", "bob@example.org"}});
    StoreEventTexts();
    int before = MailCount();

    WriteQorDword("Enable Notification", 2);  // pager only: this mail stays home
    qorwin::PostMail(2);
    WriteQorDword("Enable Notification", 1);
    qorwin::PostMail(0);
    ASSERT_TRUE(WaitFor([&] { return MailCount() > before; }, 30000));
    int n = before + 1;
    EXPECT_EQ(SinkFile(n, ".env"), "ann@example.org\nann@example.org\nops@example.org\nbob@example.org\n");
    std::string mail = SinkFile(n, ".bin");
    char computer[16] = {};
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    EXPECT_EQ(mail, std::string("From: ") + computer +
                        " <ann@example.org>\r\nTo: Halvora User <ann@example.org>\r\n"
                        "SUBJECT: Warning: UPS Warning\r\n\r\n\r\nMains is back\r\n");

    // And the AC failure text when the switch is on.
    qorwin::PostMail(2);
    ASSERT_TRUE(WaitFor([&] { return MailCount() > n; }, 30000));
    EXPECT_NE(SinkFile(n + 1, ".bin").find("\r\nMains failed at the plant\r\n"), std::string::npos);
}

TEST_F(WineMail, WithoutWinInetTheMailGoesOutUndialledAndTheLogSaysWhy) {
    // Wine's loader reads its overrides at each load: WININET.DLL is "missing".
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "wininet", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    WriteQorDword("Enable Notification", 1);
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}}, false);
    DeleteFileA((WindowsFolder() + "Halvora.log").c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Halvora.log");  // drops Wine's cached copy
    int before = MailCount();
    qorwin::PostMail(2);
    EXPECT_TRUE(WaitFor([&] { return MailCount() > before; }, 30000));
    RegDeleteValueA(key, "wininet");
    RegCloseKey(key);
    char entry[300] = {};
    GetPrivateProfileStringA("Log Status", "1", "", entry, sizeof entry, "Halvora.log");
    EXPECT_NE(std::string(entry).find("  :WININET.DLL not found: mail sent without dialling"), std::string::npos)
        << entry;
}

TEST_F(WineMail, AFailedDialUpIsLoggedAndSendsNothing) {
    // A WININET.DLL that fails every dial, found beside this program first.
    std::string beside = TestProgram("wininet.dll");
    ASSERT_TRUE(CopyFileA(TestProgram("qorwin_failing_wininet.dll").c_str(), beside.c_str(), FALSE));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "wininet", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    WriteQorDword("Enable Notification", 1);
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}}, false);
    DeleteFileA((WindowsFolder() + "Halvora.log").c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Halvora.log");  // drops Wine's cached copy
    int before = MailCount();
    qorwin::PostMail(2);
    char entry[300] = {};
    bool logged = WaitFor([&] {
        return GetPrivateProfileStringA("Log Status", "1", "", entry, sizeof entry, "Halvora.log") > 0;
    }, 20000);
    RegDeleteValueA(key, "wininet");
    RegCloseKey(key);
    EXPECT_TRUE(logged);
    EXPECT_NE(std::string(entry).find("  :Dial-up of \"\" failed with error 691, and of the default connection "
                                      "with error 691: mail not sent"),
              std::string::npos)
        << entry;
    Pump(1000);
    EXPECT_EQ(MailCount(), before);
    DeleteFileA(beside.c_str());
}

TEST_F(WineMail, A421GreetingGetsNoHelo) {
    WriteQorDword("Enable Notification", 1);
    FakeServer server("421 Service not available\r\n");
    ASSERT_TRUE(server.ok());
    StoreMailSettings("127.0.0.2", {{"Ann", "ann@example.org"}});
    qorwin::PostMail(2);
    EXPECT_TRUE(WaitFor([&] { return server.closedByClient(); }, 20000));
    EXPECT_EQ(server.received(), "");
}

TEST_F(WineMail, AServerThatNeverAnswersDoesNotHoldTheThread) {
    WriteQorDword("Enable Notification", 1);
    FakeServer server("");
    ASSERT_TRUE(server.ok());
    StoreMailSettings("127.0.0.2", {{"Ann", "ann@example.org"}});
    int before = MailCount();
    DWORD t0 = GetTickCount();
    qorwin::PostMail(2);
    EXPECT_LT(GetTickCount() - t0, 5000u);  // the poster never waits for the job
    ASSERT_TRUE(WaitFor([&] { return server.accepted(); }, 20000));

    // The next job, to a server that answers, goes out once the silent one
    // has timed out.
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}});
    qorwin::PostMail(2);
    EXPECT_TRUE(WaitFor([&] { return server.closedByClient(); }, 60000));
    EXPECT_EQ(server.received(), "");
    EXPECT_TRUE(WaitFor([&] { return MailCount() > before; }, 30000));
}

TEST_F(WinePager, TheModemGetsTheExactLinesAndMailWaitsForThePager) {
    WriteQorDword("Enable Notification", 3);
    StorePagerSettings();
    WriteQorString("Special Initialize String", "ATM0");
    WriteQorString("Dialing Prefix", "9");
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}});
    int before = MailCount();

    qorwin::PostPager(1);
    qorwin::PostMail(2);
    ExpectPagerThenMail("AT&FX4&C1&D2E1\nATM0\nATDT9,5551234,,,,,01#\nATZ0\n", before);
}

TEST_F(WinePager, HalvoraOnAcFailureCallsThenMailsAndASilentServerLeavesItsMonitorRunning) {
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    WriteQorString("Port", "COM1");
    for (const char* v : {"Battery life", "Battery low life"}) WriteQorDword(v, 60);  // no shutdown here
    WriteQorDword("Warnning time", 1);
    WriteQorDword("Interval", 30);
    WriteQorDword("Enable Notification", 3);
    StoreEvent(qorwin::value::kPowerFailWarning, "Mains failed", qorwin::kChannelEmail | qorwin::kChannelPager);
    StoreEvent(qorwin::value::kPowerRestored, "Mains back", qorwin::kChannelEmail);
    StorePagerSettings();
    StoreMailSettings("127.0.0.1", {{"Ann", "ann@example.org"}});
    int before = MailCount();
    Halvora h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1023) == "System AC power: Normal"; }, 6000));

    ASSERT_TRUE(SetLines("ttyS0", true, false));  // mains fail
    ExpectPagerThenMail("AT&FX4&C1&D2E1\nATDT5551234,,,,,01#\nATZ0\n", before);
    EXPECT_NE(SinkFile(before + 1, ".bin").find("\r\nMains failed\r\n"), std::string::npos);

    // The power-return mail meets a server that never answers: the monitor
    // goes on meanwhile, and the program still ends when asked.
    FakeServer silent("");
    ASSERT_TRUE(silent.ok());
    StoreMailSettings("127.0.0.2", {{"Ann", "ann@example.org"}});
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    ASSERT_TRUE(WaitFor([&] { return silent.accepted(); }, 10000));
    ASSERT_TRUE(SetLines("ttyS0", false, false));
    EXPECT_TRUE(WaitFor([&] { return ItemText(h.dlg, 1024) == "UPS Battery status: Low"; }, 6000));
    h.Exit();
    EXPECT_FALSE(h.proc.Running());
    EXPECT_TRUE(WaitFor([&] { return silent.closedByClient(); }, 10000));
    EXPECT_EQ(silent.received(), "");
}
