// The main window on fakes: painted buttons, the panel in each display state,
// the timers, the options round trip, detection on request and the halt.
#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSpinBox>
#include <QStyle>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <vector>

#include "button_bar.h"
#include "cui_main.h"
#include "gui_fakes.h"
#include "help_window.h"
#include "panel_painter.h"
#include "settings_file.h"
#include "status_panel.h"
#include "window_flags.h"

namespace qor::gui::test {
namespace {

void moveTo(QWidget& w, QPoint pos) {
    QMouseEvent ev(QEvent::MouseMove, QPointF(pos), QPointF(w.mapToGlobal(pos)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(&w, &ev);
}

void press(QWidget& w, QPoint pos, Qt::MouseButton button) {
    QMouseEvent ev(QEvent::MouseButtonPress, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, button,
                   Qt::NoModifier);
    QApplication::sendEvent(&w, &ev);
}

QImage grabbed(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QRgb centreOf(const QPixmap& pm) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_RGB32);
    return img.pixel(img.width() / 2, img.height() / 2);
}

// True when the window shows `pm` exactly at `at`.
bool showsPixmap(const QImage& window, QPoint at, const QPixmap& pm, QRect source = QRect()) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) source = img.rect();
    img = img.copy(source);
    return window.copy(QRect(at, img.size())) == img;
}

void saveArtifact(const QImage& img, const char* name) {
    QDir().mkpath(QStringLiteral(QOR_TEST_ARTIFACT_DIR));
    img.save(QStringLiteral(QOR_TEST_ARTIFACT_DIR "/%1.png").arg(QLatin1String(name)));
}

int yellowPixels(const QImage& window) {
    QImage text = window.copy(QRect(kTextOrigin, QSize(200, 110)));
    int n = 0;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x) {
            QColor c = text.pixelColor(x, y);
            if (c.red() > 180 && c.green() > 180 && c.blue() < 90) ++n;
        }
    return n;
}

class MainWindowTest : public ::testing::Test {
protected:
    Rig rig;
    std::unique_ptr<CUIMain> window;

    void SetUp() override {
        ASSERT_TRUE(rig.dir.isValid());
        window = std::make_unique<CUIMain>(rig.deps(), nullptr, "Halvora Qor", fromQt3Flags(kQt3DialogFlags));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void expectLamps(const QImage& img, Lamp a, Lamp b, Lamp c, Lamp d) {
        const Lamp want[4] = {a, b, c, d};
        for (int row = 0; row < 4; ++row) {
            QRgb px = img.pixel(kLampX + 6, kLampY[row] + 6);
            EXPECT_EQ(px, centreOf(window->artwork().lamp(want[row]))) << "lamp row " << row + 1;
        }
    }
};

TEST_F(MainWindowTest, WindowIsFixedSizeWithItsCaption) {
    EXPECT_EQ(window->size(), QSize(363, 229));
    EXPECT_EQ(window->minimumSize(), QSize(363, 229));
    EXPECT_EQ(window->maximumSize(), QSize(363, 229));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Brantel HalvoraQor"));
    EXPECT_EQ(window->objectName(), QStringLiteral("Halvora Qor"));
    EXPECT_TRUE(window->hasMouseTracking());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::Dialog));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint));
    // Every built-in image decoded at its size.
    const Artwork& art = window->artwork();
    EXPECT_EQ(art.background.size(), QSize(363, 229));
    for (const QPixmap* p : {&art.idle, &art.normal, &art.alarm}) EXPECT_EQ(p->size(), QSize(80, 77));
    for (const QPixmap& b : art.buttons) EXPECT_EQ(b.size(), QSize(38, 114));
    for (const QPixmap* p : {&art.lampGrey, &art.lampRed, &art.lampGreen}) EXPECT_EQ(p->size(), QSize(12, 12));
}

TEST_F(MainWindowTest, HoverMovesAcrossTheButtonsOneAtATime) {
    int lastOver = -1;
    std::vector<int> visited;
    for (int x = 0; x < 363; ++x) {
        moveTo(*window, QPoint(x, 29));
        int over = -1, count = 0;
        for (int i = 0; i < kButtonCount; ++i) {
            ASSERT_NE(window->hoverFlag(i), HoverPressed);
            if (window->hoverFlag(i) == HoverOver) {
                over = i;
                ++count;
            }
        }
        ASSERT_LE(count, 1) << "at x=" << x;
        bool inside = false;
        for (int i = 0; i < kButtonCount; ++i) inside |= (x >= 30 + 85 * i && x <= 68 + 85 * i) && over == i;
        EXPECT_EQ(inside, over >= 0) << "at x=" << x;
        if (over >= 0 && over != lastOver) visited.push_back(over);
        lastOver = over;
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3}));

    // Both corners belong to the button; one pixel beyond does not.
    moveTo(*window, QPoint(115, 10));
    EXPECT_EQ(window->hoverFlag(ButtonDetect), HoverOver);
    moveTo(*window, QPoint(153, 48));
    EXPECT_EQ(window->hoverFlag(ButtonDetect), HoverOver);
    moveTo(*window, QPoint(154, 48));
    EXPECT_EQ(window->hoverFlag(ButtonDetect), HoverNone);

    // The hovered button shows frame 1 of its strip, the others frame 0.
    moveTo(*window, QPoint(210, 20));
    QImage img = grabbed(*window);
    saveArtifact(img, "hover_help");
    const Artwork& art = window->artwork();
    EXPECT_TRUE(showsPixmap(img, QPoint(200, 10), art.buttons[ButtonHelp], QRect(0, 38, 38, 37)));
    EXPECT_TRUE(showsPixmap(img, QPoint(30, 10), art.buttons[ButtonOptions], QRect(0, 0, 38, 37)));
    EXPECT_TRUE(showsPixmap(img, QPoint(285, 10), art.buttons[ButtonExit], QRect(0, 0, 38, 37)));
}

TEST_F(MainWindowTest, RightClickChangesNothing) {
    moveTo(*window, QPoint(40, 20));
    ASSERT_EQ(window->hoverFlag(ButtonOptions), HoverOver);
    bool dialogOpened = false;
    onNextModal([&](QDialog* d) {
        dialogOpened = true;
        d->reject();
    });
    for (int i = 0; i < kButtonCount; ++i) press(*window, buttonRect(i).center(), Qt::RightButton);
    press(*window, buttonRect(ButtonOptions).center(), Qt::MiddleButton);
    QApplication::processEvents();
    EXPECT_FALSE(dialogOpened);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->hoverFlag(ButtonOptions), HoverOver);
    for (int i = 1; i < kButtonCount; ++i) EXPECT_EQ(window->hoverFlag(i), HoverNone);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(rig.path("Qor.conf"))));
    EXPECT_TRUE(rig.line.opened.empty());  // Detect did not run
}

TEST_F(MainWindowTest, EachDisplayStatePaintsItsLampsPictureAndTexts) {
    const Artwork& art = window->artwork();
    // Before the first tick: detecting.
    QImage img = grabbed(*window);
    saveArtifact(img, "state0_detecting");
    expectLamps(img, Lamp::Grey, Lamp::Grey, Lamp::Grey, Lamp::Grey);
    EXPECT_TRUE(showsPixmap(img, kPictureOrigin, art.idle));
    EXPECT_GT(yellowPixels(img), 50);
    EXPECT_EQ(panelContent(window->engine().displayState(), "", 0, 0).lines[0],
              QStringLiteral(" UPS is being detecting..."));

    // No UPS on either port.
    rig.line.upsPort = "none";
    window->timeUP();
    ASSERT_EQ(window->engine().displayState(), DisplayNotInstalled);
    img = grabbed(*window);
    saveArtifact(img, "state1_not_installed");
    expectLamps(img, Lamp::Grey, Lamp::Grey, Lamp::Grey, Lamp::Grey);
    EXPECT_TRUE(showsPixmap(img, kPictureOrigin, art.idle));

    // Found on /dev/ttyS1 with mains present.
    rig.line.upsPort = "/dev/ttyS1";
    window->timeUP();
    ASSERT_EQ(window->engine().displayState(), DisplayNormal);
    EXPECT_STREQ(window->settings().upsPort, "/dev/ttyS1");
    img = grabbed(*window);
    saveArtifact(img, "state2_normal");
    expectLamps(img, Lamp::Green, Lamp::Green, Lamp::Green, Lamp::Red);
    EXPECT_TRUE(showsPixmap(img, kPictureOrigin, art.normal));
    EXPECT_FALSE(window->blinkTimerActive());
    PanelContent normal = panelContent(DisplayNormal, window->settings().upsPort, 0, 0);
    EXPECT_EQ(normal.lines[0], QStringLiteral("UPS is installed on: /dev/ttyS1"));

    // Mains fails: alarm display, blinking picture, count-down shown.
    rig.line.acFail();
    window->timeUP();
    ASSERT_EQ(window->engine().displayState(), DisplayAcFail);
    EXPECT_TRUE(window->blinkTimerActive());
    img = grabbed(*window);
    expectLamps(img, Lamp::Green, Lamp::Red, Lamp::Green, Lamp::Green);
    const QPixmap& first = window->blinkFlag() ? art.alarm : art.idle;
    const QPixmap& second = window->blinkFlag() ? art.idle : art.alarm;
    EXPECT_TRUE(showsPixmap(img, kPictureOrigin, first));
    window->powUP();
    QImage blinked = grabbed(*window);
    EXPECT_TRUE(showsPixmap(blinked, kPictureOrigin, second));
    saveArtifact(window->blinkFlag() ? blinked : img, "state3_ac_fail_alarm");
    saveArtifact(window->blinkFlag() ? img : blinked, "state3_ac_fail_idle");
    PanelContent fail = panelContent(DisplayAcFail, window->settings().upsPort, window->engine().countDownSec(), 1);
    EXPECT_EQ(fail.lines[1], QStringLiteral(" System AC power: Fail"));
    EXPECT_EQ(fail.lines[3], QStringLiteral(" Shutdown count down : 600 sec"));

    // Battery low.
    rig.line.batteryLow();
    window->timeUP();
    ASSERT_EQ(window->engine().displayState(), DisplayBatteryLow);
    img = grabbed(*window);
    saveArtifact(img, "state4_battery_low");
    expectLamps(img, Lamp::Green, Lamp::Green, Lamp::Red, Lamp::Green);
    PanelContent low = panelContent(DisplayBatteryLow, window->settings().upsPort, 60, 0);
    EXPECT_EQ(low.lines[1], QStringLiteral(" System AC power: OK"));
    EXPECT_EQ(low.lines[2], QStringLiteral(" UPS battery status: FAIL"));

    // Mains back: normal display, blink timer stopped.
    rig.line.acOk();
    window->timeUP();
    EXPECT_EQ(window->engine().displayState(), DisplayNormal);
    EXPECT_FALSE(window->blinkTimerActive());
}

TEST_F(MainWindowTest, PanelTextsKeepTheirExactBlanks) {
    PanelContent s0 = panelContent(DisplayDetecting, "x", 5, 0);
    PanelContent s1 = panelContent(DisplayNotInstalled, "x", 5, 0);
    EXPECT_EQ(s0.lines[2], QStringLiteral(" UPS batery status"));
    EXPECT_EQ(s0.lines[3], QStringLiteral(" Shutdown count down"));
    EXPECT_EQ(s1.lines[0], QStringLiteral(" UPS is not installed "));
    EXPECT_EQ(s1.lines[1], QStringLiteral(" System AC power: Fail"));
    EXPECT_EQ(s1.lines[2], QStringLiteral(" UPS batery status: Fail"));
    PanelContent s3 = panelContent(DisplayAcFail, "/dev/ttyS0", -20, 0);
    EXPECT_EQ(s3.lines[2], QStringLiteral(" UPS battery status: OK"));
    EXPECT_EQ(s3.lines[3], QStringLiteral(" Shutdown count down : -20 sec"));
    EXPECT_EQ(s3.picture, Picture::Idle);
    EXPECT_EQ(panelContent(DisplayBatteryLow, "", 0, 1).picture, Picture::Alarm);
    // An 8-bit port text is shown byte for byte.
    EXPECT_EQ(panelContent(DisplayNormal, "/dev/tty\xe9", 0, 0).lines[0],
              QStringLiteral("UPS is installed on: /dev/tty") + QChar(0xe9));
}

TEST_F(MainWindowTest, CountDownFallsByThePeriodOnceStarted) {
    window->settings().periodSec = 15;
    window->settings().expBatMin = 2;
    window->timeUP();  // detect + first poll
    EXPECT_FALSE(window->countdownTimerActive());
    rig.line.acFail();
    window->timeUP();
    ASSERT_TRUE(window->countdownTimerActive());
    EXPECT_EQ(window->countdownInterval(), 15000);
    EXPECT_EQ(window->engine().countDownSec(), 120);
    window->countdown();
    window->countdown();
    EXPECT_EQ(window->engine().countDownSec(), 90);
    // The timer is never stopped, even when the mains return.
    rig.line.acOk();
    window->timeUP();
    EXPECT_TRUE(window->countdownTimerActive());
    EXPECT_EQ(rig.notifier.queued, (std::vector<int32_t>{EvAcFail, EvAcRecoveried}));
}

TEST_F(MainWindowTest, ZeroPeriodDoesNotSpinTheCountDownTimer) {
    window->settings().periodSec = 0;
    window->timeUP();
    rig.line.acFail();
    window->timeUP();
    ASSERT_TRUE(window->countdownTimerActive());
    EXPECT_EQ(window->countdownInterval(), 1000);
}

TEST_F(MainWindowTest, OptionsThenCancelStillRewritesTheSettingsFile) {
    const QString conf = QString::fromStdString(rig.path("Qor.conf"));
    ASSERT_FALSE(QFile::exists(conf));
    window->settings().expBatMin = 33;  // in memory only so far
    QString seenName;
    onNextModal([&](QDialog* d) {
        seenName = d->objectName();
        d->reject();
    });
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, buttonRect(ButtonOptions).center());
    EXPECT_EQ(seenName, QStringLiteral("Brantel Qor"));
    ASSERT_TRUE(QFile::exists(conf));
    UpsSettings loaded;
    ASSERT_TRUE(loadSettings(loaded, rig.path("Qor.conf").c_str()));
    EXPECT_EQ(loaded.expBatMin, 33);
    EXPECT_EQ(window->hoverFlag(ButtonOptions), HoverPressed);

    // OK writes the dialog's values and the file follows.
    onNextModal([](QDialog* d) {
        d->findChild<QSpinBox*>("spinExpBat")->setValue(7);
        d->accept();
    });
    window->option();
    ASSERT_TRUE(loadSettings(loaded, rig.path("Qor.conf").c_str()));
    EXPECT_EQ(loaded.expBatMin, 7);
}

TEST_F(MainWindowTest, DetectWithNoUpsShowsNotInstalled) {
    window->timeUP();
    ASSERT_EQ(window->engine().displayState(), DisplayNormal);
    rig.line.upsPort = "none";
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, buttonRect(ButtonDetect).center());
    EXPECT_EQ(window->engine().displayState(), DisplayNotInstalled);
    EXPECT_EQ(rig.line.opened.back(), "/dev/ttyS1");
    QImage img = grabbed(*window);
    expectLamps(img, Lamp::Grey, Lamp::Grey, Lamp::Grey, Lamp::Grey);
    // The pressed frame stays until the pointer moves.
    EXPECT_TRUE(showsPixmap(img, QPoint(115, 10), window->artwork().buttons[ButtonDetect], QRect(0, 76, 38, 37)));
    moveTo(*window, QPoint(5, 100));
    EXPECT_EQ(window->hoverFlag(ButtonDetect), HoverNone);

    // A successful detection keeps the detecting texts until the next poll.
    rig.line.upsPort = "/dev/ttyS0";
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, buttonRect(ButtonDetect).center());
    EXPECT_EQ(window->engine().displayState(), DisplayDetecting);
    EXPECT_EQ(window->detectUPS(), 1);
    window->timeUP();
    EXPECT_EQ(window->engine().displayState(), DisplayNormal);
}

// The scan blocks the event loop, so the detecting panel must be painted
// before it starts, not merely asked for.
TEST_F(MainWindowTest, DetectPaintsTheDetectingPanelBeforeTheScan) {
    struct PaintLog : QObject {
        const CUIMain* window = nullptr;
        std::vector<int32_t> states;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) states.push_back(window->engine().displayState());
            return false;
        }
    } paints;
    paints.window = window.get();
    window->timeUP();
    ASSERT_EQ(window->engine().displayState(), DisplayNormal);
    QApplication::processEvents();
    window->installEventFilter(&paints);
    std::vector<std::vector<int32_t>> seenAtOpen;
    rig.line.onOpen = [&] { seenAtOpen.push_back(paints.states); };
    rig.line.upsPort = "none";
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, buttonRect(ButtonDetect).center());
    window->removeEventFilter(&paints);
    ASSERT_FALSE(seenAtOpen.empty());
    EXPECT_NE(std::find(seenAtOpen.front().begin(), seenAtOpen.front().end(), DisplayDetecting),
              seenAtOpen.front().end())
        << "the detecting panel was not on the screen while the ports were scanned";
    EXPECT_EQ(window->engine().displayState(), DisplayNotInstalled);
}

TEST_F(MainWindowTest, HelpOpensAnIndependentViewerPerClick) {
    auto helpWindows = [] {
        QList<HelpWindow*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = qobject_cast<HelpWindow*>(w); h != nullptr && h->isVisible()) out << h;
        return out;
    };
    ASSERT_TRUE(helpWindows().isEmpty());
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, buttonRect(ButtonHelp).center());
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, buttonRect(ButtonHelp).center());
    QList<HelpWindow*> open = helpWindows();
    ASSERT_EQ(open.size(), 2);
    for (HelpWindow* h : open) {
        EXPECT_EQ(h->objectName(), QStringLiteral("help viewer"));
        EXPECT_EQ(h->windowTitle(), QStringLiteral("Help Viewer"));
        EXPECT_EQ(h->parent(), nullptr);
        // The program ends with its main window, whatever help is still open.
        EXPECT_FALSE(h->testAttribute(Qt::WA_QuitOnClose));
        h->close();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(helpWindows().isEmpty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, HaltWritesTheLogFirstAndClosesTheWindow) {
    window->settings().expBatMin = 10;
    window->timeUP();
    rig.line.acFail();
    window->timeUP();  // the change: "AC Fail"
    const QString log = QString::fromStdString(rig.path("Qor.event"));
    qint64 sizeAtHalt = -1;
    rig.shell.onRun = [&] { sizeAtHalt = QFileInfo(log).size(); };
    rig.clock.t += 599;
    window->timeUP();
    EXPECT_TRUE(rig.shell.commands.empty());
    EXPECT_TRUE(window->isVisible());
    rig.clock.t += 1;
    window->timeUP();
    ASSERT_EQ(rig.shell.commands, (std::vector<std::string>{"/sbin/halt"}));
    EXPECT_EQ(rig.line.lineWords.back(), 1);  // DTR raised before the halt
    // The log was on disk before the halt command ran.
    EXPECT_EQ(sizeAtHalt, 8);
    EXPECT_FALSE(window->isVisible());
}

TEST(MainWindowLog, LoadedAtStartAndSavedByTheDestructor) {
    Rig rig;
    ASSERT_TRUE(rig.dir.isValid());
    {
        QFile f(QString::fromStdString(rig.path("Qor.event")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        event old[2] = {{1000, EvAcFail}, {2000, EvAcRecoveried}};
        f.write(reinterpret_cast<const char*>(old), sizeof old);
    }
    {
        CUIMain w(rig.deps(), nullptr, "Halvora Qor", Qt::WindowFlags());
        ASSERT_EQ(w.eventList().size(), 2u);
        EXPECT_EQ(w.eventList().at(0).time, 2000);
        w.timeUP();
        rig.line.unplugged();
        w.timeUP();  // cable pulled: "Connect Fail"
        ASSERT_EQ(w.eventList().size(), 3u);
        EXPECT_EQ(w.eventList().at(0).kind, EvConnectFail);
    }
    QFile f(QString::fromStdString(rig.path("Qor.event")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 24);
    event saved[3];
    std::memcpy(saved, bytes.constData(), sizeof saved);
    EXPECT_EQ(saved[0].time, 1000);
    EXPECT_EQ(saved[1].time, 2000);
    EXPECT_EQ(saved[2].kind, EvConnectFail);
    EXPECT_EQ(saved[2].time, static_cast<int32_t>(rig.clock.t));
}

// A test that forgets a field must not reach the machine: the real ports,
// halt command and files are main()'s explicit choice.
TEST(MainWindowDepsSafety, DefaultsReachNothingAndOnlySystemNamesTheMachine) {
    MainWindowDeps none;
    // Checked first and fatally: a window on the old defaults would open the
    // real ports and write /etc.
    ASSERT_TRUE(none.settingsPath.empty() && none.eventPath.empty() && none.mouseLinkPath.empty() &&
                none.extraPath.empty());
    ASSERT_TRUE(none.netConfigPath.empty()) << "no server on the machine's loopback";
    ASSERT_TRUE(none.helpFiles.history.isEmpty() && none.helpFiles.bookmarks.isEmpty());
    ASSERT_EQ(none.line, nullptr);
    ASSERT_EQ(none.shell, nullptr);

    MainWindowDeps machine = MainWindowDeps::system();
    EXPECT_EQ(machine.settingsPath, "/etc/Qor.conf");
    EXPECT_EQ(machine.eventPath, "/etc/Qor.event");
    EXPECT_EQ(machine.mouseLinkPath, "/dev/mouse");
    EXPECT_EQ(machine.netConfigPath, "/etc/Qor.net");
    EXPECT_EQ(machine.extraPath, "/etc/Qor.extra");
    EXPECT_EQ(machine.helpFiles.history, QStringLiteral("/etc/Qor.his"));

    // On the stand-ins no port answers and the count-down can never run a command.
    QTemporaryDir cwd;
    ASSERT_TRUE(cwd.isValid());
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd.path()));
    {
        none.startTick = false;
        CUIMain w(none, nullptr, "Halvora Qor", Qt::WindowFlags());
        w.timeUP();
        EXPECT_EQ(w.engine().displayState(), DisplayNotInstalled);
        EXPECT_STREQ(w.settings().upsPort, "NOT INSTALLED");
        onNextModal([](QDialog* d) { d->reject(); });
        w.option();  // saves the settings whatever the outcome: to no file here
    }
    EXPECT_TRUE(QDir(cwd.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << "a window on stand-ins wrote files";
    QDir::setCurrent(before);
}

TEST(MainWindowLook, WindowsStyleAndGreyPalette) {
    // The test program applies the look as qorgui's main does.
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(190, 190, 190));
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("windows"));
}

}  // namespace
}  // namespace qor::gui::test
