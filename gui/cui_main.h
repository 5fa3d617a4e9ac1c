// The desktop main window: the painted status panel with its four painted
// buttons. It owns everything the monitor needs and drives the engine from
// its timers.
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

#include "artwork.h"
#include "desktop_event_log.h"
#include "device_identity.h"
#include "extra_in_force.h"
#include "front_end_files.h"
#include "help_window.h"
#include "line_watch.h"
#include "monitor_engine.h"
#include "net_server.h"
#include "settings_file.h"
#include "ups_settings.h"

namespace qor {
class SerialLine;
}

namespace qor::gui {

constexpr const char* kHelpHome = "/usr/share/doc/Qor/HelpE.htm";

// What the window reaches outside itself. A default-made set reaches nothing
// of the machine: no port is opened, no command is run, no file under /etc or
// /dev is read or written and nothing is sent, so a test that leaves a field
// out gets a harmless stand-in. Only main() asks for the machine's own, with
// system(). Fields a caller fills are used as given either way.
struct MainWindowDeps : FrontEndFiles {
    // The serial ports, the shell, the files of FrontEndFiles::system(), the
    // help history and bookmarks under /etc and this build's notification.
    static MainWindowDeps system();

    UpsLine* line = nullptr;        // nullptr: the serial ports, or a port that never opens
    Clock* clock = nullptr;         // nullptr: the system clock
    Shell* shell = nullptr;         // nullptr: the shell, or one that runs nothing
    Notifier* notifier = nullptr;   // nullptr: this build's dispatch, or nothing is sent
    std::string netConfigPath;      // empty: no network server
    QString helpHome;               // empty: the installed help file (see helpHomePage)
    HelpFiles helpFiles;            // empty paths: no history or bookmarks kept
    bool startTick = true;          // tests drive timeUP() themselves

private:
    bool machine_ = false;  // the nullptr fields mean the machine's own
    friend class CUIMain;
};

// The installed help page, or the copy beside the program when the help is not
// installed (a build tree).
QString helpHomePage();

class CUIMain : public QWidget, private DesktopView {
    Q_OBJECT
public:
    // On stand-ins only (see MainWindowDeps); main() passes MainWindowDeps::system().
    explicit CUIMain(QWidget* parent = nullptr, const char* name = nullptr, Qt::WindowFlags f = {});
    CUIMain(MainWindowDeps deps, QWidget* parent, const char* name, Qt::WindowFlags f);
    ~CUIMain() override;

    UpsSettings& settings() { return *settings_; }
    // /etc/Qor.extra as in force; the options save it through here.
    ExtraInForce& extra() { return extra_; }
    const EventList& eventList() const { return events_->list(); }
    const MonitorEngine& engine() const { return *engine_; }
    const std::string& settingsPath() const { return deps_.settingsPath; }

    int hoverFlag(int button) const { return hover_[button]; }
    int blinkFlag() const { return blink_; }
    bool blinkTimerActive() const { return blinkTimer_.isActive(); }
    bool countdownTimerActive() const { return countdownTimer_.isActive(); }
    int countdownInterval() const { return countdownTimer_.interval(); }
    bool tickTimerActive() const { return tickTimer_.isActive(); }
    const Artwork& artwork() const { return art_; }

public slots:
    void option();
    void exit();
    void timeUP();
    int detectUPS();
    void powUP();
    void countdown();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    // DesktopView
    void repaint() override { update(); }
    void setBlinking(bool on) override;
    void ensureCountdownTimer(int32_t periodSec) override;

    void openOptions();
    void openHelp();
    void runDetection();
    // After a tick: the watch follows the port; on mains the tick rests until
    // a line changes.
    void followLine();
    void lineChanged();

    MainWindowDeps deps_;
    LineWatch watch_;  // outlives the port it waits on
    SerialLine* serial_ = nullptr;  // the machine's port, when the window owns it
    std::unique_ptr<QSocketNotifier> watchNotifier_;
    uint32_t shownPulses_ = 0;
    QTimer tickTimer_;
    QTimer blinkTimer_;
    QTimer countdownTimer_;
    std::unique_ptr<UpsLine> ownLine_;
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<Shell> ownShell_;
    std::unique_ptr<UpsSettings> settings_;
    ExtraInForce extra_;
    SystemDeviceIdentity devices_;
    std::unique_ptr<DesktopEventLog> events_;
    std::unique_ptr<Notifier> ownNotifier_;
    std::unique_ptr<MonitorEngine> engine_;
    std::unique_ptr<net::NetServer> net_;  // only with the network server's file
    std::unique_ptr<QSocketNotifier> netNotifier_;
    QTimer netTimer_;
    void serveNet();
    void armNetTimer();
    Artwork art_;
    int blink_ = 0;
    int hover_[kButtonCount] = {};
};

}  // namespace qor::gui
