// The settings dialogs of halvora, opened from its main dialog and tray and
// driven by messages. Needs the simulated port ttyS0 as COM1 and ttyS1 as COM5.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "dialup_list.h"
#include "halvora_fixture.h"
#include "harness.h"

using namespace wt;

namespace {

void WriteQorBinary(const char* name, const std::string& bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brantel\\Halvora\\Qor", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

DWORD Dword(const char* name) {
    DWORD v = 0xDEADBEEF;
    ReadQorDword(name, v);
    return v;
}

void SetText(HWND dlg, int id, const char* text) {
    SendMessageA(GetDlgItem(dlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// Posted: for a click that opens a modal window, which would block a send.
void Click(HWND dlg, int id) {
    PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
    Pump(150);
}

// Sent: returns once halvora has handled the click.
void Press(HWND dlg, int id) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(GetDlgItem(dlg, id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &r);
}

bool IsChecked(HWND dlg, int id) { return SendMessageA(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool IsEnabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }
int ComboSel(HWND dlg, int id) { return static_cast<int>(SendMessageA(GetDlgItem(dlg, id), CB_GETCURSEL, 0, 0)); }

// Chooses an item as the user would: the selection, then its notification.
void Choose(HWND dlg, int id, int index) {
    HWND combo = GetDlgItem(dlg, id);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    DWORD_PTR r = 0;
    SendMessageTimeoutA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo), SMTO_NORMAL,
                        20000, &r);
}

std::vector<std::string> ListLines(HWND dlg, int id) {
    HWND list = GetDlgItem(dlg, id);
    std::vector<std::string> lines;
    LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        // Wide: Wine passes this one across processes only so.
        wchar_t wide[512] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < 512)
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
        char buf[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
        lines.emplace_back(buf);
    }
    return lines;
}

void Shoot(HWND w, const char* name) {
    Pump(400);
    SaveBmp(Capture(w), name);
}

class HalvoraSettings : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SetLines("ttyS0", false, false);  // no UPS until a test connects one
        WriteQorString("Port", "NONE");
        WriteQorDword("Language Type", 0);
        halvora_ = new Halvora;
        started_ = halvora_->Start();
    }
    static void TearDownTestSuite() {
        delete halvora_;
        halvora_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(started_ && halvora_->proc.Running()) << "halvora did not start"; }
    void TearDown() override {
        // A test that failed half-way leaves no dialog behind for the next one.
        for (const char* title : {"Configuration", "Notification", "E-mail Setting", "Pager Setting", "Halvora"})
            for (HWND w : TopWindows("#32770", title))
                if (OwnedBy(w, Pid()) && w != halvora_->dlg) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        Pump(300);
    }

    static DWORD Pid() { return halvora_->proc.Id(); }
    static HWND Main() { return halvora_->dlg; }

    static HWND WaitWindow(const char* title, HWND except = nullptr) {
        HWND w = nullptr;
        WaitFor([&] {
            for (HWND c : TopWindows("#32770", title))
                if (OwnedBy(c, Pid()) && IsWindowVisible(c) && c != except && c != halvora_->dlg) w = c;
            return w != nullptr;
        }, 8000);
        return w;
    }
    static bool WaitGone(HWND w) { return WaitFor([w] { return !IsWindow(w); }, 5000); }

    // A main dialog button that opens a modal dialog.
    static HWND OpenFromMain(int button, const char* title) {
        PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Main(), button)));
        return WaitWindow(title);
    }
    static HWND CurrentPage(HWND sheet) {
        return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    static HWND ShowPage(HWND sheet, int index) {
        SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
        Pump(200);
        return CurrentPage(sheet);
    }

    static Halvora* halvora_;
    static bool started_;
};

Halvora* HalvoraSettings::halvora_ = nullptr;
bool HalvoraSettings::started_ = false;

}  // namespace

TEST_F(HalvoraSettings, ConfigurationNumbersAreCheckedAndStoredOnOk) {
    WriteQorDword("Battery life", 7);
    WriteQorDword("Battery low life", 3);
    WriteQorDword("Warnning time", 2);
    WriteQorDword("Interval", 30);
    WriteQorDword("Show Status", 0);
    HWND cfg = OpenFromMain(1056, "Configuration");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(ItemText(cfg, 1017), "7");
    EXPECT_EQ(ItemText(cfg, 1018), "3");
    EXPECT_EQ(ItemText(cfg, 1019), "2");
    EXPECT_EQ(ItemText(cfg, 1033), "30");
    EXPECT_FALSE(IsChecked(cfg, 1022));
    EXPECT_EQ(ComboSel(cfg, 1021), 0);  // "NONE"
    EXPECT_EQ(SendMessageA(GetDlgItem(cfg, 1021), CB_GETCOUNT, 0, 0), 257);  // NONE, COM1..COM256
    EXPECT_EQ(ComboSel(cfg, 1035), 0);  // English
    EXPECT_EQ(SendMessageA(GetDlgItem(cfg, 1035), CB_GETCOUNT, 0, 0), 8);
    EXPECT_EQ(ItemText(cfg, 1203), "Expected battery life:");
    EXPECT_EQ(ItemText(cfg, 1211), "Sec");
    EXPECT_EQ(ItemText(cfg, IDCANCEL), "Cancel");
    Shoot(cfg, "config-dialog.bmp");

    // Out of range: the framework's message, the dialog stays, nothing stored.
    SetText(cfg, 1017, "0");
    Click(cfg, IDOK);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(Pid(), "Halvora")) != nullptr; }, 5000));
    EXPECT_EQ(MessageBoxText(box), "Please enter an integer between 1 and 9999.");
    Shoot(box, "config-range-message.bmp");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitGone(box));
    SetText(cfg, 1017, "45");
    SetText(cfg, 1018, "10000");
    Click(cfg, IDOK);
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(Pid(), "Halvora")) != nullptr; }, 5000));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitGone(box));
    EXPECT_TRUE(IsWindow(cfg));
    EXPECT_EQ(Dword("Battery life"), 7u);
    EXPECT_EQ(Dword("Battery low life"), 3u);

    SetText(cfg, 1018, "5");
    SetText(cfg, 1019, "3");
    SetText(cfg, 1033, "20");
    Press(cfg, 1022);
    Click(cfg, IDOK);
    ASSERT_TRUE(WaitGone(cfg));
    EXPECT_EQ(Dword("Battery life"), 45u);
    EXPECT_EQ(Dword("Battery low life"), 5u);
    EXPECT_EQ(Dword("Warnning time"), 3u);
    EXPECT_EQ(Dword("Interval"), 20u);
    EXPECT_EQ(Dword("Show Status"), 1u);
    EXPECT_EQ(ReadQorString("Port"), "NONE");

    // Cancel stores nothing.
    cfg = OpenFromMain(1056, "Configuration");
    ASSERT_NE(cfg, nullptr);
    SetText(cfg, 1017, "99");
    Press(cfg, IDCANCEL);
    ASSERT_TRUE(WaitGone(cfg));
    EXPECT_EQ(Dword("Battery life"), 45u);
}

TEST_F(HalvoraSettings, PortAndLanguageTakeEffectWhenChosen) {
    ASSERT_TRUE(SetLines("ttyS0", true, true));
    HWND cfg = OpenFromMain(1056, "Configuration");
    ASSERT_NE(cfg, nullptr);
    Choose(cfg, 1021, 1);  // COM1: the UPS answers there
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "COM1"; }, 3000)) << ReadQorString("Port");
    EXPECT_EQ(ItemText(Main(), 1014), "UPS is installed on COM1");
    // The monitor watches the new port from its next tick: the line there is normal.
    EXPECT_TRUE(WaitFor([] { return ItemText(Main(), 1023) == "System AC power: Normal"; }, 4000))
        << ItemText(Main(), 1023);
    Choose(cfg, 1021, 3);  // COM3: nothing there
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "COM3"; }, 3000));
    EXPECT_EQ(ItemText(Main(), 1014), "No UPS found on COM1 to COM4");
    EXPECT_EQ(ItemText(Main(), 1023), "System AC power: Failure");
    EXPECT_EQ(ItemText(Main(), 1025), "ShutDown CountDown: stopped");
    Pump(2500);  // and COM1, normal still, is watched no more
    EXPECT_EQ(ItemText(Main(), 1023), "System AC power: Failure");
    Choose(cfg, 1021, 0);
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "NONE"; }, 3000));

    // A language without a library: stored at once; the dialog keeps its labels.
    SetText(cfg, 1203, "changed");
    Choose(cfg, 1035, 3);
    EXPECT_TRUE(WaitFor([] { return Dword("Language Type") == 3; }, 3000));
    EXPECT_EQ(ItemText(cfg, 1203), "changed");
    // Back to English: this dialog and the main dialog are labelled again, and
    // the main dialog's port is detected anew.
    SetText(Main(), 1056, "changed");
    Choose(cfg, 1035, 0);
    EXPECT_TRUE(WaitFor([] { return Dword("Language Type") == 0; }, 3000));
    EXPECT_EQ(ItemText(cfg, 1203), "Expected battery life:");
    EXPECT_EQ(ItemText(Main(), 1056), "&Configuration");
    EXPECT_EQ(ReadQorString("Port"), "COM1");
    EXPECT_EQ(ItemText(Main(), 1014), "UPS is installed on COM1");
    EXPECT_EQ(ComboSel(cfg, 1021), 1);  // the detected port is shown
    Press(cfg, IDCANCEL);
    EXPECT_TRUE(WaitGone(cfg));
}

TEST_F(HalvoraSettings, APortAboveCom4IsChosenWatchedAndFoundByTheDetection) {
    ASSERT_TRUE(SetLines("ttyS0", false, false));
    ASSERT_TRUE(SetLines("ttyS1", false, true));  // the UPS, on COM5
    HWND cfg = OpenFromMain(1056, "Configuration");
    ASSERT_NE(cfg, nullptr);
    Choose(cfg, 1021, 5);
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Port") == "COM5"; }, 3000)) << ReadQorString("Port");
    EXPECT_EQ(ReadQorString("Further Port"), "COM5");
    EXPECT_EQ(ItemText(Main(), 1014), "UPS is installed on COM5");
    Press(cfg, IDCANCEL);
    EXPECT_TRUE(WaitGone(cfg));
    // Watched: the line's changes show on the main dialog.
    EXPECT_TRUE(WaitFor([] { return ItemText(Main(), 1023) == "System AC power: Normal"; }, 4000))
        << ItemText(Main(), 1023);
    ASSERT_TRUE(SetLines("ttyS1", true, false));
    EXPECT_TRUE(WaitFor([] { return ItemText(Main(), 1023) == "System AC power: Failure"; }, 4000))
        << ItemText(Main(), 1023);
    ASSERT_TRUE(SetLines("ttyS1", false, true));
    EXPECT_TRUE(WaitFor([] { return ItemText(Main(), 1023) == "System AC power: Normal"; }, 4000));
    EXPECT_NE(ControlLog("ttyS1").find("RTS=1"), std::string::npos);

    // The detection tries the remembered port after COM1..COM4.
    WriteQorString("Port", "NONE");
    SetText(Main(), 1014, "");
    Press(Main(), 1059);
    EXPECT_EQ(ReadQorString("Port"), "COM5");
    EXPECT_EQ(ItemText(Main(), 1014), "UPS is installed on COM5");
    PostMessageA(halvora_->tray, kTrayCallback, 128, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([] { return IsWindowVisible(Main()) != FALSE; }, 5000));
    Shoot(Main(), "halvora-com5.bmp");
    PostMessageA(Main(), WM_CLOSE, 0, 0);

    // Choosing NONE turns the further port off again.
    cfg = OpenFromMain(1056, "Configuration");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(ComboSel(cfg, 1021), 5);
    Choose(cfg, 1021, 0);
    EXPECT_TRUE(WaitFor([] { return ReadQorString("Further Port") == "NONE"; }, 3000));
    Press(cfg, IDCANCEL);
    EXPECT_TRUE(WaitGone(cfg));
    SetLines("ttyS1", false, false);
}

TEST_F(HalvoraSettings, NotificationStoresEnableBitsAndEventValues) {
    WriteQorDword("Enable Notification", 1);
    WriteQorBinary("Power Fail Warning", Padded("AC Fail!,3", 256));
    WriteQorBinary("Power Restored", Padded("Back", 256));  // no comma: no channels
    WriteQorBinary("Battery Low", Padded("Low,4", 256));
    HWND dlg = OpenFromMain(1092, "Notification");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(ItemText(dlg, 1030), "AC Fail!");
    EXPECT_EQ(ItemText(dlg, 1063), "Back");
    EXPECT_EQ(ItemText(dlg, 1064), "Low");
    struct Box { int id; bool on; };
    for (Box b : {Box{1065, true}, Box{1066, true}, Box{1067, false}, Box{1068, false}, Box{1069, false},
                  Box{1070, false}, Box{1071, false}, Box{1073, false}, Box{1072, true}, Box{1022, true},
                  Box{1060, false}})
        EXPECT_EQ(IsChecked(dlg, b.id), b.on) << b.id;
    EXPECT_TRUE(IsEnabled(dlg, 1061));
    EXPECT_FALSE(IsEnabled(dlg, 1062));
    EXPECT_EQ(ItemText(dlg, 1022), "Enable E-mail Notification");
    EXPECT_EQ(ItemText(dlg, 1062), "Pager Setting");
    Shoot(dlg, "notify-dialog.bmp");

    // The setting buttons follow their check boxes at once.
    Press(dlg, 1060);
    EXPECT_TRUE(IsEnabled(dlg, 1062));
    Press(dlg, 1022);
    EXPECT_FALSE(IsEnabled(dlg, 1061));
    Press(dlg, 1060);
    EXPECT_FALSE(IsEnabled(dlg, 1062));
    Press(dlg, 1060);

    SetText(dlg, 1030, "Mains failed, shutting down");
    Press(dlg, 1067);  // AC failure by pager too
    Press(dlg, 1069);  // power return by e-mail
    Press(dlg, 1071);  // battery low by pop-up
    Press(dlg, 1072);  // ... but no longer by pager
    Press(dlg, 1074);
    ASSERT_TRUE(WaitGone(dlg));
    EXPECT_EQ(Dword("Enable Notification"), 2u);
    DWORD type = 0;
    EXPECT_EQ(QorValueBytes("Power Fail Warning", &type), Padded("Mains failed,7", 256));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(QorValueBytes("Power Restored"), Padded("Back,2", 256));
    EXPECT_EQ(QorValueBytes("Battery Low"), Padded("Low,1", 256));

    // Cancel (1075) writes nothing.
    dlg = OpenFromMain(1092, "Notification");
    ASSERT_NE(dlg, nullptr);
    SetText(dlg, 1064, "Other");
    Press(dlg, 1022);
    Press(dlg, 1075);
    ASSERT_TRUE(WaitGone(dlg));
    EXPECT_EQ(Dword("Enable Notification"), 2u);
    EXPECT_EQ(QorValueBytes("Battery Low"), Padded("Low,1", 256));
}

TEST_F(HalvoraSettings, EmailSheetStoresTheRecordAndTheAddressList) {
    WriteQorDword("Enable Notification", 1);
    WriteQorBinary("Email Setting", std::string(568, '\0'));
    WriteQorBinary("Email Address", Padded(std::string("Ann<ann@x.org>\0", 15), 2048));
    HWND dlg = OpenFromMain(1092, "Notification");
    ASSERT_NE(dlg, nullptr);
    Click(dlg, 1061);
    HWND sheet = WaitWindow("E-mail Setting");
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDOK)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDCANCEL)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, 0x3021)));  // Apply
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, IDHELP)));
    HWND page = CurrentPage(sheet);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ItemText(page, 1077), "Always connect to internet");
    EXPECT_TRUE(IsChecked(page, 1078));  // a zero record: the dial-up account
    EXPECT_FALSE(IsChecked(page, 1077));
    Shoot(sheet, "email-sheet-internet.bmp");

    Press(page, 1077);
    EXPECT_FALSE(IsChecked(page, 1078));
    SetText(page, 1079, "smtp.example.org");
    SetText(page, 1082, "ann");
    SetText(page, 1083, "secret");
    Press(page, 1022);

    page = ShowPage(sheet, 1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ListLines(page, 1085), (std::vector<std::string>{"Ann ann@x.org"}));
    SetText(page, 1030, "Bob");
    Press(page, 1088);  // a name alone adds nothing
    EXPECT_EQ(ListLines(page, 1085).size(), 1u);
    SetText(page, 1063, "bob@y.org");
    Press(page, 1088);
    SetText(page, 1030, "Carl");
    SetText(page, 1063, "carl@z.org");
    Press(page, 1088);
    Press(page, 1091);  // nothing selected: nothing removed
    EXPECT_EQ(ListLines(page, 1085).size(), 3u);
    SendMessageA(GetDlgItem(page, 1085), LB_SETCURSEL, 0, 0);
    Press(page, 1091);
    EXPECT_EQ(ListLines(page, 1085), (std::vector<std::string>{"Bob bob@y.org", "Carl carl@z.org"}));
    Shoot(sheet, "email-sheet-addresses.bmp");

    Click(sheet, IDOK);
    ASSERT_TRUE(WaitGone(sheet));
    const std::string rec = QorValueBytes("Email Setting");
    ASSERT_EQ(rec.size(), 568u);
    EXPECT_EQ(rec.substr(0, 8), std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(rec.substr(8, 4), std::string("ann\0", 4));
    EXPECT_EQ(rec.substr(136, 7), std::string("secret\0", 7));
    EXPECT_EQ(rec.substr(264, 4), std::string("\1\0\0\0", 4));
    EXPECT_EQ(rec.substr(268, 17), std::string("smtp.example.org\0", 17));
    EXPECT_EQ(QorValueBytes("Email Address"), Padded(std::string("Bob<bob@y.org>\0Carl<carl@z.org>\0", 32), 2048));
    EXPECT_TRUE(IsWindow(dlg));  // back in the notification dialog
    Press(dlg, 1075);
    EXPECT_TRUE(WaitGone(dlg));
}

TEST_F(HalvoraSettings, PagerSheetStoresModemSettingStringsAndNumbers) {
    WriteQorDword("Enable Notification", 2);
    WriteQorBinary("Modem Setting", Padded("COM1 2400 0 4 0", 256));
    WriteQorBinary("Pager Number", std::string(2048, '\0'));
    HWND dlg = OpenFromMain(1092, "Notification");
    ASSERT_NE(dlg, nullptr);
    Click(dlg, 1062);
    HWND sheet = WaitWindow("Pager Setting");
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, 0x3021)));
    HWND page = CurrentPage(sheet);
    ASSERT_NE(page, nullptr);
    struct Sel { int id, index, count; };
    for (Sel s : {Sel{1035, 0, 4}, Sel{1045, 0, 7}, Sel{1046, 0, 3}, Sel{1036, 4, 5}, Sel{1047, 0, 3}}) {
        EXPECT_EQ(ComboSel(page, s.id), s.index) << s.id;
        EXPECT_EQ(SendMessageA(GetDlgItem(page, s.id), CB_GETCOUNT, 0, 0), s.count) << s.id;
    }
    SendMessageA(GetDlgItem(page, 1035), CB_SETCURSEL, 1, 0);  // COM2
    SendMessageA(GetDlgItem(page, 1045), CB_SETCURSEL, 2, 0);  // 9600
    SendMessageA(GetDlgItem(page, 1046), CB_SETCURSEL, 2, 0);  // EVEN
    SendMessageA(GetDlgItem(page, 1036), CB_SETCURSEL, 3, 0);  // 7 data bits
    SendMessageA(GetDlgItem(page, 1047), CB_SETCURSEL, 1, 0);  // 1.5 stop bits
    SetText(page, 1030, "ATM0");
    SetText(page, 1063, "9");
    Shoot(sheet, "pager-sheet-modem.bmp");

    page = ShowPage(sheet, 1);
    ASSERT_NE(page, nullptr);
    SetText(page, 1030, "Ann");
    SetText(page, 1063, "5551234");
    Press(page, 3);
    SetText(page, 1030, "Bob");
    SetText(page, 1063, "555 99");  // a blank in the number: refused
    Press(page, 3);
    EXPECT_EQ(ListLines(page, 1090), (std::vector<std::string>{"5551234    Ann"}));
    Shoot(sheet, "pager-sheet-numbers.bmp");

    Click(sheet, IDOK);
    ASSERT_TRUE(WaitGone(sheet));
    EXPECT_EQ(QorValueBytes("Modem Setting"), Padded("COM2 9600 2 3 1", 256));
    DWORD type = 0;
    EXPECT_EQ(QorValueBytes("Special Initialize String", &type), Padded("ATM0", 60));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(QorValueBytes("Dialing Prefix"), Padded("9", 60));
    EXPECT_EQ(QorValueBytes("Pager Number"), Padded(std::string("5551234    Ann\0", 15), 2048));
    Press(dlg, 1075);
    EXPECT_TRUE(WaitGone(dlg));
}

TEST_F(HalvoraSettings, AboutBoxFromTheTray) {
    PostMessageA(halvora_->tray, WM_COMMAND, kCmdAbout, 0);
    HWND about = WaitWindow("About...");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ItemText(about, 1037), "Halvora Qor 3.0 Version.");
    EXPECT_EQ(ItemText(about, IDOK), "OK");
    Shoot(about, "about-box.bmp");
    Click(about, IDOK);
    EXPECT_TRUE(WaitGone(about));
}

TEST(WineDialup, PhoneBookWithoutTheRemoteAccessLibraryIsEmpty) {
    EXPECT_TRUE(qorwin::LoadDialupEntries("qor-no-such-ras.dll").empty());
    // Wine's own library answers (with an empty phone book here) and nothing breaks.
    EXPECT_LE(qorwin::LoadDialupEntries().size(), 1024u);
}
