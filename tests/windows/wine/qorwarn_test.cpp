#include <gtest/gtest.h>

#include <string>

#include "halvora_fixture.h"
#include "harness.h"

using namespace wt;

namespace {

const char kWarn[] = "UPS Warning";
const std::uint32_t kBlue = 0x0000FF;
const std::uint32_t kOkHoverFace = 0xCEE2FA;  // the OK picture under the mouse

class QorWarn : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(TopWindow(nullptr, kWarn), nullptr) << "a pop-up is left from before";
        ASSERT_TRUE(warn.Start("qorwarn.exe"));
        ASSERT_TRUE(WaitFor([this] { return (w = WindowOf(warn.Id(), kWarn, kWarn)) != nullptr; }, 10000));
        SetForegroundWindow(w);
        Pump(300);
    }
    void TearDown() override {
        if (warn.Running()) PostMessageA(w, WM_CLOSE, 0, 0);
        warn.WaitExit(5000);
    }

    int BluePixels() {
        Pump(200);
        Shot s = Capture(w);
        return s.Count(kBlue, 0, 0, s.w, s.h);
    }
    void Copy(const std::string& text) {
        COPYDATASTRUCT cds = {0, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
        DWORD_PTR r = 1;
        ASSERT_TRUE(SendMessageTimeoutA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, 3000, &r));
        EXPECT_EQ(r, 0u);
    }
    void Click(int x, int y) {
        PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    int VisibleButtons() {
        int n = 0;
        for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (IsWindowVisible(c)) ++n;
        return n;
    }

    Process warn;
    HWND w = nullptr;
};

// Stands in for halvora's main dialog, which hears the cancel: a dialog
// window with the animation frame 1094. On top of it lies a window with the
// same title, as halvora's message boxes have, which must not hear it.
class FakeMainDialog {
public:
    FakeMainDialog() {
        message_ = RegisterWindowMessageA("Halvora Qor Warning Type");
        HINSTANCE inst = GetModuleHandleA(nullptr);
        hwnd_ = CreateWindowExA(0, "#32770", "Halvora", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, inst, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 1, 1, hwnd_, reinterpret_cast<HMENU>(1094), inst, nullptr);
        dialogProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogProc)));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &BoxProc;
        wc.hInstance = inst;
        wc.lpszClassName = "QorTestFakeBox";
        RegisterClassA(&wc);
        box_ = CreateWindowExA(0, wc.lpszClassName, "Halvora", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, inst,
                               nullptr);
    }
    ~FakeMainDialog() {
        DestroyWindow(box_);
        DestroyWindow(hwnd_);
    }
    static int cancels;
    static int boxCancels;

private:
    static LRESULT CALLBACK DialogProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
        if (m == message_ && m != 0) {
            if (wp == 5) ++cancels;
            return 1;
        }
        return CallWindowProcA(dialogProc_, h, m, wp, lp);
    }
    static LRESULT CALLBACK BoxProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
        if (m == message_ && m != 0) {
            ++boxCancels;
            return 1;
        }
        return DefWindowProcA(h, m, wp, lp);
    }
    static UINT message_;
    static WNDPROC dialogProc_;
    HWND hwnd_;
    HWND box_;
};
int FakeMainDialog::cancels = 0;
int FakeMainDialog::boxCancels = 0;
UINT FakeMainDialog::message_ = 0;
WNDPROC FakeMainDialog::dialogProc_ = nullptr;

}  // namespace

TEST_F(QorWarn, WindowIsCentredAndASecondStartBringsItToTheFront) {
    EXPECT_EQ(ClassOf(w), kWarn);
    LONG style = GetWindowLongA(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_BORDER);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 160);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 320) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 160 - 30) / 2);
    EXPECT_EQ(BluePixels(), 0);  // no text at start

    // Hide it and put another window on top; the second start shows it again.
    ShowWindow(w, SW_HIDE);
    Pump(200);
    ASSERT_FALSE(IsWindowVisible(w));
    Process second;
    ASSERT_TRUE(second.Start("qorwarn.exe"));
    EXPECT_TRUE(second.WaitExit(5000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(WaitFor([this] { return IsWindowVisible(w) && GetForegroundWindow() == w; }, 3000));
    EXPECT_EQ(TopWindows(kWarn, kWarn).size(), 1u);
    EXPECT_TRUE(warn.Running());
}

TEST_F(QorWarn, CopyDataChangesTheTextAndIsBounded) {
    Copy("Mains power failed.\tSave your work.");
    int withText = BluePixels();
    EXPECT_GT(withText, 30);
    SaveBmp(Capture(w), "qorwarn-copydata.bmp");

    Copy("");  // an empty text clears it
    EXPECT_EQ(BluePixels(), 0);

    // Far more than the 1450 bytes the pop-up keeps, without a terminator.
    std::string huge(6000, 'W');
    for (std::size_t i = 30; i < huge.size(); i += 31) huge[i] = '\n';
    Copy(huge);
    EXPECT_GT(BluePixels(), withText);
    DWORD_PTR r = 0;
    EXPECT_TRUE(SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r));
    EXPECT_TRUE(warn.Running());
}

TEST_F(QorWarn, WarningKindsChooseTheTextAndCountdownsOfferCancel) {
    FakeMainDialog halvora;
    FakeMainDialog::cancels = 0;
    FakeMainDialog::boxCancels = 0;
    UINT type = RegisterWindowMessageA("Halvora Qor Warning Type");
    DWORD_PTR r = 0;

    ASSERT_TRUE(SendMessageTimeoutA(w, type, 2, 300, SMTO_ABORTIFHUNG, 3000, &r));
    EXPECT_EQ(r, 1u);
    EXPECT_GT(BluePixels(), 30);
    EXPECT_EQ(VisibleButtons(), 2);  // OK and Cancel
    Pump(300);
    SaveBmp(Capture(w), "qorwarn-ac-failure.bmp");

    // Cancel (at 205,130, 68x24) tells the main dialog with wParam 5.
    Click(205 + 30, 130 + 12);
    EXPECT_TRUE(WaitFor([] { return FakeMainDialog::cancels == 1; }, 3000));
    EXPECT_EQ(FakeMainDialog::boxCancels, 0);
    EXPECT_TRUE(WaitFor([this] { return VisibleButtons() == 1; }, 3000));
    EXPECT_TRUE(warn.Running());
    SaveBmp(Capture(w), "qorwarn-cancelled.bmp");

    // A reminder offers the cancel again; power restored has nothing to cancel.
    ASSERT_TRUE(SendMessageTimeoutA(w, type, 4, 45, SMTO_ABORTIFHUNG, 3000, &r));
    EXPECT_EQ(VisibleButtons(), 2);
    ASSERT_TRUE(SendMessageTimeoutA(w, type, 0, 0, SMTO_ABORTIFHUNG, 3000, &r));
    EXPECT_EQ(VisibleButtons(), 1);
    // Unknown kinds change nothing.
    int before = BluePixels();
    ASSERT_TRUE(SendMessageTimeoutA(w, type, 9, 0, SMTO_ABORTIFHUNG, 3000, &r));
    EXPECT_EQ(BluePixels(), before);
}

TEST_F(QorWarn, OkButtonLooksAndClosing) {
    // Under the mouse the OK button shows its hover picture.
    PostMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(125 + 20, 130 + 10));
    Pump(300);
    Shot s = Capture(w);
    EXPECT_GT(s.Count(kOkHoverFace, 125, 130, 193, 154), 100);
    PostMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(10, 60));
    Pump(300);
    s = Capture(w);
    EXPECT_EQ(s.Count(kOkHoverFace, 0, 0, s.w, s.h), 0);

    // Pressed on OK and released outside: stays open.
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(125 + 20, 130 + 10));
    PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(20, 80));
    Pump(500);
    EXPECT_TRUE(warn.Running());

    // Released on OK: ends with 0.
    Click(125 + 20, 130 + 10);
    EXPECT_TRUE(warn.WaitExit(5000));
    EXPECT_EQ(warn.ExitCode(), 0u);
}

TEST_F(QorWarn, EscAndWmCloseEndIt) {
    PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(warn.WaitExit(5000));
    EXPECT_EQ(warn.ExitCode(), 0u);

    ASSERT_TRUE(warn.Start("qorwarn.exe"));
    ASSERT_TRUE(WaitFor([this] { return (w = WindowOf(warn.Id(), kWarn, kWarn)) != nullptr; }, 10000));
    PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(warn.WaitExit(5000));
    EXPECT_EQ(warn.ExitCode(), 0u);
}
