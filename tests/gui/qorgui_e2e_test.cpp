// qorgui itself, unchanged, in the sandbox on a private Xvfb: a simulated UPS
// on /dev/ttyS0 goes through detection, mains failure, battery low and the
// halt; the screen is read back from the X server at every display state.
#include <gtest/gtest.h>

#include <QColor>
#include <QColorSpace>
#include <QDir>
#include <QImage>
#include <QString>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <thread>

#include "event_log.h"
#include "sandbox_fixture.h"
#include "ups_settings.h"

namespace {

using qor::sandbox::Sandbox;
using qor::sandbox::waitUntil;
using Clock = std::chrono::system_clock;

double nowSec() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

QImage art(const char* name) {
    return QImage(QStringLiteral(QOR_ART_DIR "/%1.png").arg(QLatin1String(name)))
        .convertToFormat(QImage::Format_RGB32);
}

QRgb centre(const QImage& img) { return img.pixel(img.width() / 2, img.height() / 2); }

std::string settingsBytes(int expBatMin, int lowBatMin, int periodSec) {
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Desktop);
    s.expBatMin = expBatMin;
    s.lowBatMin = lowBatMin;
    s.periodSec = periodSec;
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}

// The running qorgui seen through its X server.
class Screen {
public:
    explicit Screen(Sandbox& sb) : sb_(sb) {}

    bool waitForWindow(int timeoutMs) { return waitForWindow(timeoutMs, "Brantel HalvoraQor", rect_); }

    // A window of the program by its title, where the X server shows it.
    bool waitForWindow(int timeoutMs, const std::string& title, QRect& rect) {
        return waitUntil(
            [&] {
                auto d = qor::sandbox::readFile(sb_.path("display"));
                if (!d || d->empty()) return false;
                display_ = ":" + std::to_string(std::atoi(d->c_str()));
                std::string out;
                if (sb_.enter({"env", "-u", "LD_PRELOAD", "xwininfo", "-display", display_, "-name", title}, &out, 3000) != 0)
                    return false;
                if (out.find("Map State: IsViewable") == std::string::npos) return false;
                int vals[4];
                int i = 0;
                for (const char* key : {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"}) {
                    size_t at = out.find(key);
                    if (at == std::string::npos) return false;
                    vals[i++] = std::atoi(out.c_str() + at + std::strlen(key));
                }
                rect = QRect(vals[0], vals[1], vals[2], vals[3]);
                return true;
            },
            timeoutMs, 50);
    }

    QRect rect() const { return rect_; }

    // A left click at a point of the screen.
    bool click(QPoint at) {
        return sb_.enter({"env", "-u", "LD_PRELOAD", "DISPLAY=" + display_, "xdotool", "mousemove", "--sync",
                          std::to_string(at.x()), std::to_string(at.y()), "click", "1"},
                         nullptr, 5000) == 0;
    }

    // The whole screen, saved as `file` too.
    QImage grabRoot(const std::string& file) {
        ::unlink(file.c_str());
        if (sb_.enter({"env", "-u", "LD_PRELOAD", "import", "-display", display_, "-window", "root", file}, nullptr,
                      5000) != 0)
            return {};
        return QImage(QString::fromStdString(file));
    }

    // The window as the X server shows it now.
    QImage grab() {
        std::string file = sb_.path("shot.png");
        ::unlink(file.c_str());
        if (sb_.enter({"env", "-u", "LD_PRELOAD", "import", "-display", display_, "-window", "root", file}, nullptr, 5000) != 0) return {};
        QImage root(QString::fromStdString(file));
        if (root.isNull()) return {};
        root.setColorSpace(QColorSpace());
        return root.convertToFormat(QImage::Format_RGB32).copy(rect_);
    }

    static void save(const QImage& img, const char* name) {
        QDir().mkpath(QStringLiteral(QOR_TEST_ARTIFACT_DIR));
        img.save(QStringLiteral(QOR_TEST_ARTIFACT_DIR "/e2e_%1.png").arg(QLatin1String(name)));
    }

private:
    Sandbox& sb_;
    std::string display_;
    QRect rect_;
};

const int kLampY[4] = {90, 120, 150, 180};

// Lamp rows 1..4 as 'g' grey, 'r' red, 'G' green, '?' other.
std::string lamps(const QImage& win) {
    static const QRgb grey = centre(art("lamp_grey")), red = centre(art("lamp_red")),
                      green = centre(art("lamp_green"));
    std::string out;
    for (int y : kLampY) {
        QRgb px = win.pixel(36, y + 6);
        out += px == grey ? 'g' : px == red ? 'r' : px == green ? 'G' : '?';
    }
    return out;
}

// Pixels only: a screenshot's PNG carries a colour space the built-in images do not.
bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xffffff) != (b.pixel(x, y) & 0xffffff)) return false;
    return true;
}

// 'i' idle, 'n' normal, 'a' alarm, '?' other.
char picture(const QImage& win) {
    static const QImage idle = art("idle"), normal = art("normal"), alarm = art("alarm");
    QImage shown = win.copy(QRect(275, 80, 80, 77));
    return samePixels(shown, idle) ? 'i' : samePixels(shown, normal) ? 'n' : samePixels(shown, alarm) ? 'a' : '?';
}

QImage textArea(const QImage& win) { return win.copy(QRect(50, 90, 200, 110)); }

// Polls the screen until the lamps read `want`; the last grab in `shot`.
bool waitForLamps(Screen& screen, const std::string& want, QImage& shot, int timeoutMs) {
    return waitUntil(
        [&] {
            shot = screen.grab();
            return !shot.isNull() && lamps(shot) == want;
        },
        timeoutMs, 200);
}

std::vector<qor::event> records(const std::string& bytes) {
    std::vector<qor::event> out(bytes.size() / sizeof(qor::event));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(qor::event));
    return out;
}

TEST(QorguiE2E, DetectionAcFailBatteryLowHaltAndSavedLog) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", false, false);  // nothing answers yet
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(1, 1, 5)));
    auto child = sb.start({ON_XVFB, sb.dir(), QORGUI_PATH});
    ASSERT_NE(child, nullptr);
    Screen screen(sb);
    ASSERT_TRUE(screen.waitForWindow(15000)) << qor::sandbox::readFile(sb.path("xvfb.log")).value_or("");
    EXPECT_EQ(screen.rect().size(), QSize(363, 229));

    // Before the first tick: the detecting panel (the first tick comes after 2 s).
    QImage shot = screen.grab();
    ASSERT_FALSE(shot.isNull());
    Screen::save(shot, "state0_detecting");
    EXPECT_EQ(lamps(shot), "gggg");
    EXPECT_EQ(picture(shot), 'i');
    QImage detectingText = textArea(shot);

    // No UPS: not installed, once the tick's scan has failed.
    ASSERT_TRUE(waitUntil(
        [&] {
            shot = screen.grab();
            return !shot.isNull() && textArea(shot) != detectingText;
        },
        6000, 200))
        << "the panel never left the detecting texts";
    Screen::save(shot, "state1_not_installed");
    EXPECT_EQ(lamps(shot), "gggg");
    EXPECT_EQ(picture(shot), 'i');

    // The UPS answers with mains present.
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 6000)) << lamps(shot);
    Screen::save(shot, "state2_normal");
    EXPECT_EQ(picture(shot), 'n');

    // Mains fail: the picture blinks and the count-down falls by 5 every 5 s.
    sb.setLines("ttyS0", true, false);
    const double failAt = nowSec();
    ASSERT_TRUE(waitForLamps(screen, "GrGG", shot, 6000)) << lamps(shot);
    std::string pictures;
    std::vector<QImage> texts;
    bool savedIdle = false, savedAlarm = false;
    const auto until = Clock::now() + std::chrono::seconds(11);
    while (Clock::now() < until) {
        shot = screen.grab();
        if (shot.isNull()) continue;
        char p = picture(shot);
        pictures += p;
        if (texts.empty() || textArea(shot) != texts.back()) texts.push_back(textArea(shot));
        if (p == 'i' && !savedIdle) Screen::save(shot, "state3_ac_fail_idle"), savedIdle = true;
        if (p == 'a' && !savedAlarm) Screen::save(shot, "state3_ac_fail_alarm"), savedAlarm = true;
        EXPECT_EQ(lamps(shot), "GrGG");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    Screen::save(shot, "state3_ac_fail_later");
    EXPECT_NE(pictures.find('i'), std::string::npos) << pictures;
    EXPECT_NE(pictures.find('a'), std::string::npos) << pictures;
    EXPECT_EQ(pictures.find_first_not_of("ia"), std::string::npos) << pictures;
    EXPECT_GE(texts.size(), 3u) << "the count-down did not step";

    // Battery low: the count-down starts again from the low-battery minute.
    sb.setLines("ttyS0", false, true);
    const double lowAt = nowSec();
    ASSERT_TRUE(waitForLamps(screen, "GGrG", shot, 6000)) << lamps(shot);
    Screen::save(shot, "state4_battery_low");
    EXPECT_NE(std::string("ia").find(picture(shot)), std::string::npos);

    // The halt comes one minute after the battery-low change, not after the mains failure.
    ASSERT_TRUE(waitUntil([&] { return !sb.haltLog().empty(); }, 75000, 100));
    auto halts = sb.haltLog();
    ASSERT_EQ(halts.size(), 1u);
    EXPECT_EQ(halts[0].argv, std::vector<std::string>{"/sbin/halt"});
    EXPECT_GE(halts[0].time, lowAt + 58.0);
    EXPECT_LE(halts[0].time, lowAt + 67.0);
    // DTR raised (RTS dropped) as the shutdown signal before the halt.
    auto ctl = sb.controlLog("ttyS0");
    ASSERT_FALSE(ctl.empty());
    EXPECT_TRUE(ctl.back().dtr);
    EXPECT_FALSE(ctl.back().rts);
    EXPECT_LE(ctl.back().time, halts[0].time);

    // Then the window closes and the program ends normally.
    EXPECT_EQ(sb.waitExit(15000), 0);
    auto log = sb.etcFile("Qor.event");
    ASSERT_TRUE(log.has_value());
    auto ev = records(*log);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, qor::EvAcFail);
    EXPECT_EQ(ev[1].kind, qor::EvBatteryLow);
    EXPECT_GE(ev[0].time + 1, static_cast<int32_t>(failAt));
    EXPECT_LE(ev[0].time, static_cast<int32_t>(failAt) + 4);
    EXPECT_GE(ev[1].time + 1, static_cast<int32_t>(lowAt));
    EXPECT_LE(ev[1].time, static_cast<int32_t>(lowAt) + 4);
    child->wait(5000);
}

TEST(QorguiE2E, TerminatingSignalClosesTheWindowAndSavesTheLog) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    auto child = sb.start({ON_XVFB, sb.dir(), QORGUI_PATH});
    ASSERT_NE(child, nullptr);
    Screen screen(sb);
    ASSERT_TRUE(screen.waitForWindow(15000));
    QImage shot;
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 6000)) << lamps(shot);
    sb.setLines("ttyS0", true, false);
    ASSERT_TRUE(waitForLamps(screen, "GrGG", shot, 6000)) << lamps(shot);
    // The first tick on mains failure records the event; give it that tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    auto pid = qor::sandbox::readFile(sb.path("app.pid"));
    ASSERT_TRUE(pid.has_value());
    std::string app = std::to_string(std::atoi(pid->c_str()));
    ASSERT_EQ(sb.enter({"kill", "-HUP", app}), 0);
    EXPECT_EQ(sb.waitExit(10000), 0);
    EXPECT_TRUE(sb.haltLog().empty());
    auto log = sb.etcFile("Qor.event");
    ASSERT_TRUE(log.has_value());
    auto ev = records(*log);
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, qor::EvAcFail);
    child->wait(5000);
}

// "Send a test" in the options: a real SMTP server that takes one recipient
// and refuses the other, and a command for the test event.
TEST(QorguiE2E, SendATestFromTheOptionsShowsAResultPerRecipient) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Desktop);
    s.mailEnable = 1;
    s.connectMode = 0;
    qor::setText(s.smtpServer, "127.0.0.1");
    qor::setText(s.mailNames[0], "Ann");
    qor::setText(s.mailAddrs[0], "ann@example.org");
    qor::setText(s.mailNames[1], "Bob");
    qor::setText(s.mailAddrs[1], "bob@example.org");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", std::string(reinterpret_cast<const char*>(&s), sizeof s)));
    std::string program = sb.path("tell-chat");
    // Takes its time, so the dialog is seen with the command under way.
    std::ofstream(program) << "#!/bin/sh\nsleep 2\necho \"$QOR_EVENT: $QOR_TEXT\" > " << sb.path("cmd.out") << "\n";
    ::chmod(program.c_str(), 0755);
    ASSERT_TRUE(sb.seedEtc("Qor.extra", "COMMAND test " + program + "\n"));
    std::string mail = sb.path("mail");
    std::string line = "/usr/bin/python3 '" SMTP_SINK "' '" + mail + "' --refuse bob@example.org & " +
                       "for i in $(seq 200); do [ -e '" + mail + "/ready' ] && break; sleep 0.05; done; exec '" +
                       ON_XVFB + "' '" + sb.dir() + "' '" + QORGUI_PATH + "'";
    auto child = sb.start({"/bin/sh", "-c", line});
    ASSERT_NE(child, nullptr);
    Screen screen(sb);
    ASSERT_TRUE(screen.waitForWindow(15000)) << qor::sandbox::readFile(sb.path("xvfb.log")).value_or("");
    QImage shot;
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 6000)) << lamps(shot);

    ASSERT_TRUE(screen.click(screen.rect().topLeft() + QPoint(49, 29)));  // the painted Options button
    QRect options;
    ASSERT_TRUE(screen.waitForWindow(10000, "Brantel HalvoraQor Option", options));
    QDir().mkpath(QStringLiteral(QOR_SHOTS_DIR));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(screen.grabRoot(QOR_SHOTS_DIR "/desktop-options.png").isNull());
    // "Send a test" sits at the left end of the OK/Cancel row.
    ASSERT_TRUE(screen.click(options.bottomLeft() + QPoint(50, -22)));
    QRect test;
    ASSERT_TRUE(screen.waitForWindow(10000, "Send a test", test));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_FALSE(screen.grabRoot(QOR_SHOTS_DIR "/desktop-send-a-test-progress.png").isNull());
    ASSERT_TRUE(waitUntil([&] { return qor::sandbox::readFile(sb.path("cmd.out")).has_value(); }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the dialog's next poll
    QImage root = screen.grabRoot(QOR_SHOTS_DIR "/desktop-send-a-test.png");
    ASSERT_FALSE(root.isNull());
    // One mail, to the recipient the server took; the command told of the test.
    EXPECT_TRUE(std::filesystem::exists(mail + "/mail-1.bin"));
    EXPECT_FALSE(std::filesystem::exists(mail + "/mail-2.bin"));
    EXPECT_EQ(qor::sandbox::readFile(mail + "/mail-1.env").value_or(""), "ann@example.org\nann@example.org\n");
    EXPECT_EQ(qor::sandbox::readFile(sb.path("cmd.out")).value_or(""),
              "test: This is a test of the UPS warnings; nothing has happened.\n");
    // The monitor ticked on behind the open dialogs: a mains failure is
    // seen and mailed.
    sb.setLines("ttyS0", true, false);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(mail + "/mail-2.bin"); }, 15000));
    EXPECT_NE(qor::sandbox::readFile(mail + "/mail-2.bin").value_or("").find("AC Fail!"), std::string::npos);
    auto pid = qor::sandbox::readFile(sb.path("app.pid"));
    ASSERT_TRUE(pid.has_value());
    sb.enter({"kill", "-TERM", std::to_string(std::atoi(pid->c_str()))});
    sb.waitExit(10000);
    child->wait(5000);
}

TEST(QorguiE2E, UsbAdapterPulledOutIsALostUpsAndFoundAgainUnderItsNextNameUpToTheHalt) {
    QOR_SANDBOX_REQUIRE_ROOT();
    const char* upsLink = "serial/by-id/usb-FTDI_UPS_A1B2-if00-port0";
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0").port("ttyS1").port("ttyUSB0").port("ttyUSB1").unplugged("ttyUSB1");
    sb.link(upsLink, "../../ttyUSB0");
    sb.setLines("ttyUSB0", true, true);
    sb.setLines("ttyUSB1", true, false);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(1, 1, 5)));
    ASSERT_TRUE(sb.seedEtc("Qor.extra", std::string("PORT /dev/ttyUSB0\nPORT /dev/") + upsLink + "\n"));
    auto child = sb.start({ON_XVFB, sb.dir(), QORGUI_PATH});
    ASSERT_NE(child, nullptr);
    Screen screen(sb);
    ASSERT_TRUE(screen.waitForWindow(15000));
    QImage shot;
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 8000)) << lamps(shot);
    auto usb0 = sb.opens("ttyUSB0");
    ASSERT_FALSE(usb0.empty());
    EXPECT_EQ(usb0.front(), "/dev/ttyUSB0");
    EXPECT_FALSE(sb.opens("ttyS0").empty());
    EXPECT_FALSE(sb.opens("ttyS1").empty());

    // Pulled out on mains power: as a pulled cable, "Connect Fail".
    ASSERT_EQ(sb.unplug("ttyUSB0"), 0);
    ASSERT_TRUE(waitForLamps(screen, "gggg", shot, 6000)) << lamps(shot);
    ASSERT_EQ(sb.plug("ttyUSB0", upsLink), 0);
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 6000)) << lamps(shot);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));

    // Pulled out during a mains failure, back as ttyUSB1 through its by-id link.
    sb.setLines("ttyUSB0", true, false);
    ASSERT_TRUE(waitForLamps(screen, "GrGG", shot, 6000)) << lamps(shot);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_EQ(sb.unplug("ttyUSB0"), 0);
    ASSERT_TRUE(waitForLamps(screen, "gggg", shot, 6000)) << lamps(shot);
    Screen::save(shot, "usb_pulled_out");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_EQ(sb.plug("ttyUSB1", upsLink), 0);
    const double backAt = nowSec();
    ASSERT_TRUE(waitForLamps(screen, "GrGG", shot, 6000)) << lamps(shot);
    Screen::save(shot, "usb_found_again");
    auto usb1 = sb.opens("ttyUSB1");
    ASSERT_FALSE(usb1.empty());
    EXPECT_EQ(usb1.front(), std::string("/dev/") + upsLink);

    ASSERT_TRUE(waitUntil([&] { return !sb.haltLog().empty(); }, 80000, 100));
    EXPECT_GE(sb.haltLog()[0].time, backAt + 57.0);
    auto ctl = sb.controlLog("ttyUSB1");
    ASSERT_FALSE(ctl.empty());
    EXPECT_TRUE(ctl.back().dtr);
    EXPECT_EQ(sb.waitExit(15000), 0);
    auto log = sb.etcFile("Qor.event");
    ASSERT_TRUE(log.has_value());
    std::vector<int32_t> kinds;
    for (const auto& e : records(*log)) kinds.push_back(e.kind);
    // The events of a cable pulled and put back: on mains power "Connect Fail"
    // and "AC Fail" when found again; during the failure "AC Recoveried",
    // then, found again, "AC Fail" once the failure is a change of its own.
    EXPECT_EQ(kinds, (std::vector<int32_t>{qor::EvConnectFail, qor::EvAcFail, qor::EvAcFail, qor::EvAcRecoveried,
                                           qor::EvAcRecoveried, qor::EvAcFail}));
    child->wait(5000);
}

// On mains the window waits for the line instead of ticking; a cable pulled
// then is still a "Connect Fail" and the not-installed panel at once, and
// the UPS found again reads as "AC Fail", as on every tick.
TEST(QorguiE2E, CablePulledWhileIdleIsAConnectFail) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    auto child = sb.start({ON_XVFB, sb.dir(), QORGUI_PATH});
    ASSERT_NE(child, nullptr);
    Screen screen(sb);
    ASSERT_TRUE(screen.waitForWindow(15000));
    QImage shot;
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 6000)) << lamps(shot);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the tick that sees nothing changed
    size_t probes = sb.controlLog("ttyS0").size();
    std::this_thread::sleep_for(std::chrono::milliseconds(4500));
    EXPECT_EQ(sb.controlLog("ttyS0").size(), probes) << "probes while idle on mains";
    sb.setLines("ttyS0", false, false);
    ASSERT_TRUE(waitForLamps(screen, "gggg", shot, 3000)) << lamps(shot);
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(waitForLamps(screen, "GGGr", shot, 6000)) << lamps(shot);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto pid = qor::sandbox::readFile(sb.path("app.pid"));
    ASSERT_TRUE(pid.has_value());
    ASSERT_EQ(sb.enter({"kill", "-HUP", std::to_string(std::atoi(pid->c_str()))}), 0);
    EXPECT_EQ(sb.waitExit(10000), 0);
    auto log = sb.etcFile("Qor.event");
    ASSERT_TRUE(log.has_value());
    std::vector<int> kinds;
    for (const auto& e : records(*log)) kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<int>{qor::EvConnectFail, qor::EvAcFail}));
    child->wait(5000);
}

}  // namespace
