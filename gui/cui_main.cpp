#include "cui_main.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <climits>

#include "button_bar.h"
#include "notifier_factory.h"
#include "options_dialog.h"
#include "panel_painter.h"
#include "serial_line.h"
#include "status_panel.h"
#include "system_services.h"
#include "window_flags.h"

namespace qor::gui {

namespace {

constexpr int kTickMs = 2000;
constexpr int kBlinkMs = 2000;

// A period from the settings file is not validated: 0 would make a timer that
// fires without pause, a negative one is refused by Qt, and a huge one would
// overflow the milliseconds. The count-down still steps by the stored period.
int countdownIntervalMs(int32_t periodSec) {
    int64_t ms = static_cast<int64_t>(periodSec) * 1000;
    if (ms < 1000) return 1000;
    if (ms > INT_MAX) return INT_MAX;
    return static_cast<int>(ms);
}

}  // namespace

MainWindowDeps MainWindowDeps::system() {
    MainWindowDeps d;
    static_cast<FrontEndFiles&>(d) = FrontEndFiles::system();
    d.machine_ = true;
    d.netConfigPath = net::kNetConfigPath;
    d.helpFiles = HelpFiles::system();
    return d;
}

QString helpHomePage() {
    QString installed = QString::fromLatin1(kHelpHome);
    if (QFileInfo::exists(installed)) return installed;
    QString besideProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/HelpE.htm");
    if (QFileInfo::exists(besideProgram)) return besideProgram;
    return installed;  // a missing help file shows an empty page
}

CUIMain::CUIMain(QWidget* parent, const char* name, Qt::WindowFlags f)
    : CUIMain(MainWindowDeps{}, parent, name, f) {}

CUIMain::CUIMain(MainWindowDeps deps, QWidget* parent, const char* name, Qt::WindowFlags f)
    : QWidget(parent, f), deps_(std::move(deps)), extra_(deps_.extraPath) {
    if (name != nullptr) setObjectName(QString::fromLatin1(name));
    setWindowTitle(tr("Brantel HalvoraQor"));
    setFixedSize(363, 229);
    setMouseTracking(true);

    connect(&tickTimer_, &QTimer::timeout, this, &CUIMain::timeUP);
    connect(&blinkTimer_, &QTimer::timeout, this, &CUIMain::powUP);
    connect(&countdownTimer_, &QTimer::timeout, this, &CUIMain::countdown);
    if (deps_.startTick) tickTimer_.start(kTickMs);

    const bool machine = deps_.machine_;
    if (deps_.line == nullptr) {
        if (machine) {
            auto serial = std::make_unique<SerialLine>(Edition::Desktop);
            serial->attachWatch(&watch_);
            serial_ = serial.get();
            ownLine_ = std::move(serial);
        } else
            ownLine_ = std::make_unique<NoLine>();
        deps_.line = ownLine_.get();
    }
    if (deps_.clock == nullptr) {
        ownClock_ = std::make_unique<SystemClock>();
        deps_.clock = ownClock_.get();
    }
    if (deps_.shell == nullptr) {
        if (machine)
            ownShell_ = std::make_unique<SystemShell>();
        else
            ownShell_ = std::make_unique<NoShell>();
        deps_.shell = ownShell_.get();
    }

    settings_ = std::make_unique<UpsSettings>();
    initSettings(*settings_, Edition::Desktop, deps_.settingsPath.c_str());
    art_ = Artwork::load();
    QPalette pal = palette();
    pal.setBrush(backgroundRole(), QBrush(art_.background));
    setPalette(pal);
    setAutoFillBackground(true);

    if (deps_.notifier == nullptr && machine) {
        ownNotifier_ = makeDefaultNotifier(*settings_);
        deps_.notifier = ownNotifier_.get();
    }
    events_ = std::make_unique<DesktopEventLog>(*deps_.clock, deps_.eventPath);
    engine_ = std::make_unique<MonitorEngine>(Edition::Desktop, *settings_, *deps_.line, *deps_.clock,
                                              *deps_.shell, *events_, deps_.notifier);
    char mouse[kMouseLinkSize] = {};
    if (!deps_.mouseLinkPath.empty()) readMouseLink(mouse, sizeof mouse, deps_.mouseLinkPath.c_str());
    engine_->setMouseLink(mouse);
    // The engine reads the ports where they are kept; the dispatch takes a
    // copy of every version put in force.
    engine_->setFurtherPorts(&extra_.settings(), &devices_, deps_.mouseLinkPath.c_str());
    Notifier* notifier = deps_.notifier;
    extra_.onChange([notifier](const ExtraSettings& x) { setNotifierExtraSettings(notifier, x); });
    extra_.load();

    events_->load();

    if (serial_ != nullptr && deps_.startTick && watch_.pollFd() >= 0) {
        watchNotifier_ = std::make_unique<QSocketNotifier>(watch_.pollFd(), QSocketNotifier::Read);
        connect(watchNotifier_.get(), &QSocketNotifier::activated, this, &CUIMain::lineChanged);
    }

    if (!deps_.netConfigPath.empty()) net_ = net::startNetServer(deps_.netConfigPath.c_str());
    if (net_) {
        engine_->setPublisher(net_.get());
        netNotifier_ = std::make_unique<QSocketNotifier>(net_->pollFd(), QSocketNotifier::Read);
        connect(netNotifier_.get(), &QSocketNotifier::activated, this, [this] { serveNet(); });
        // The server's time-outs (silent clients, a resting listener) come
        // even while the ticks rest on mains.
        netTimer_.setSingleShot(true);
        connect(&netTimer_, &QTimer::timeout, this, [this] { serveNet(); });
        armNetTimer();
    }
}

CUIMain::~CUIMain() {
    watchNotifier_.reset();
    events_->save();
    tickTimer_.stop();
    blinkTimer_.stop();
    countdownTimer_.stop();
    deps_.line->close();
}

void CUIMain::option() { openOptions(); }

void CUIMain::exit() { close(); }

void CUIMain::serveNet() {
    net_->serve();
    armNetTimer();
}

void CUIMain::armNetTimer() {
    int ms = net_->msUntilDue();
    if (ms < 0) {
        netTimer_.stop();
    } else {
        netTimer_.start(ms);
    }
}

void CUIMain::timeUP() {
    if (engine_->desktopTick(*this)) {
        close();
        return;
    }
    followLine();
}

void CUIMain::followLine() {
    if (serial_ == nullptr) return;
    watch_.afterTick(serial_->isOpen() ? serial_->descriptor() : -1, settings_->upsState);
    if (watch_.pulses() != shownPulses_) {
        shownPulses_ = watch_.pulses();
        setToolTip(tr("Short line changes not logged: %1").arg(shownPulses_));
    }
    if (!deps_.startTick) return;
    bool rest = watch_.watching() && engine_->settledOnMains();
    if (rest && tickTimer_.isActive())
        tickTimer_.stop();
    else if (!rest && !tickTimer_.isActive())
        tickTimer_.start(kTickMs);
}

void CUIMain::lineChanged() {
    watch_.takeWake();
    serial_->probeSoon();
    // Probed now; the ticks keep their pace from here.
    tickTimer_.start(kTickMs);
    timeUP();
}

int CUIMain::detectUPS() { return engine_->detectUps(); }

void CUIMain::powUP() {
    blink_ = blink_ ? 0 : 1;
    update();
}

void CUIMain::countdown() { engine_->countdown(*this); }

void CUIMain::setBlinking(bool on) {
    if (on && !blinkTimer_.isActive())
        blinkTimer_.start(kBlinkMs);
    else if (!on && blinkTimer_.isActive())
        blinkTimer_.stop();
}

void CUIMain::ensureCountdownTimer(int32_t periodSec) {
    if (!countdownTimer_.isActive()) countdownTimer_.start(countdownIntervalMs(periodSec));
}

void CUIMain::openOptions() {
    Qor dialog(this, "Brantel Qor", true, fromQt3Flags(kQt3DialogFlags), this);
    // Only the machine's own front-end sends: a window on stand-ins reaches nothing.
    if (ownNotifier_ && canSendTest())
        dialog.setTestStarter(
            [this](QWidget* parent, const UpsSettings& shown) { sendTestNotice(parent, shown, extra_.settings()); });
    dialog.run();
    // The sub-dialogs write the record as soon as they close with OK, so the
    // file is rewritten whatever the options dialog's outcome.
    saveSettings(*settings_, deps_.settingsPath.c_str());
}

void CUIMain::openHelp() {
    QString home = deps_.helpHome.isEmpty() ? helpHomePage() : deps_.helpHome;
    auto* help = new HelpWindow(home, QStringLiteral("."), nullptr, "help viewer", deps_.helpFiles);
    help->setWindowTitle(QStringLiteral("Help Viewer"));
    help->show();
}

void CUIMain::runDetection() {
    engine_->setDisplayState(DisplayDetecting);
    // Painted now: the scan blocks the event loop, so a scheduled paint would
    // only come after it, and the detecting texts would never be seen.
    QWidget::repaint();
    if (engine_->detectUps() < 0) {
        engine_->setDisplayState(DisplayNotInstalled);
        update();
    }
    // The port was opened again: the next tick probes it.
    if (deps_.startTick && !tickTimer_.isActive()) tickTimer_.start(kTickMs);
}

void CUIMain::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int before[kButtonCount];
    std::copy(std::begin(hover_), std::end(hover_), before);
    const QPoint pos = e->position().toPoint();
    for (int i = 0; i < kButtonCount; ++i) {
        if (!buttonRect(i).contains(pos)) {
            hover_[i] = HoverNone;
            continue;
        }
        hover_[i] = HoverPressed;
        switch (i) {
        case ButtonOptions:
            update();
            openOptions();
            break;
        case ButtonDetect:
            runDetection();
            break;
        case ButtonHelp:
            openHelp();
            update();
            break;
        case ButtonExit:
            update();
            close();
            break;
        default:
            break;
        }
    }
    if (!std::equal(std::begin(hover_), std::end(hover_), before)) update();
}

void CUIMain::mouseMoveEvent(QMouseEvent* e) {
    if (trackHover(hover_, e->position().toPoint())) update();
}

void CUIMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PanelContent content =
        panelContent(engine_->displayState(), settings_->upsPort, engine_->countDownSec(), blink_);
    paintMainWindow(p, art_, content, hover_);
}

}  // namespace qor::gui
