#include "main_win.h"

#include <cstdlib>
#include <ctime>

#include "event_log.h"
#include "menus.h"
#include "screen_layout.h"
#include "settings_file.h"
#ifdef QOR_HAVE_NOTIFY
#include "notify_dispatch.h"
#include "test_notice_screen.h"
#endif

namespace qor::console {

ConsoleDeps ConsoleDeps::system() {
    ConsoleDeps d;
    static_cast<FrontEndFiles&>(d) = FrontEndFiles::system();
    d.machine_ = true;
    d.netConfigPath = net::kNetConfigPath;
    return d;
}

void ConsoleEvents::recordEvent(int32_t kind) {
    if (!path_.empty()) appendEvent(kind, static_cast<int32_t>(std::time(nullptr)), path_.c_str());
}

MainWin::MainWin(ConsoleDeps deps)
    : NCursesApplication(true), deps_(std::move(deps)), settings_(std::make_unique<UpsSettings>()),
      events_(deps_.eventPath), extra_(deps_.extraPath) {
#ifdef QOR_HAVE_NOTIFY
    NotifyDispatch* dispatch = nullptr;
#endif
    if (deps_.machine_) {
        auto serial = std::make_unique<SerialLine>(Edition::Console);
        serial->attachWatch(&watch_);
        serial_ = serial.get();
        line_ = std::move(serial);
        shell_ = std::make_unique<SystemShell>();
#ifdef QOR_HAVE_NOTIFY
        auto own = std::make_unique<NotifyDispatch>(*settings_, Edition::Console);
        dispatch = own.get();
        notifier_ = std::move(own);
#endif
    } else {
        line_ = std::make_unique<NoLine>();
        shell_ = std::make_unique<NoShell>();
    }
    engine_ = std::make_unique<MonitorEngine>(Edition::Console, *settings_, *line_, clock_, *shell_, events_,
                                              notifier_.get());
    char mouse[kMouseLinkSize] = {};
    if (!deps_.mouseLinkPath.empty()) readMouseLink(mouse, sizeof mouse, deps_.mouseLinkPath.c_str());
    engine_->setMouseLink(mouse);
    // The engine reads the ports where they are kept; the dispatch takes a
    // copy of every version put in force.
    engine_->setFurtherPorts(&extra_.settings(), &devices_, deps_.mouseLinkPath.c_str());
#ifdef QOR_HAVE_NOTIFY
    if (dispatch != nullptr) extra_.onChange([dispatch](const ExtraSettings& x) { dispatch->setExtraSettings(x); });
#endif
    extra_.load();
    engine_->setCountDownSec(60000);
    initSettings(*settings_, Edition::Console, deps_.settingsPath.c_str());
    engine_->setCountDownSec(minutesToSec(settings_->expBatMin));
    if (!deps_.netConfigPath.empty()) net_ = net::startNetServer(deps_.netConfigPath.c_str());
    engine_->setPublisher(net_.get());
}

MainWin::~MainWin() {
    stopTicks();
    restTicksWith(nullptr);
    serveWhileWaiting(nullptr);
    statusBox_.reset();
    statusPanel_.reset();
    screen_.reset();
    line_->close();
}

void MainWin::tick() {
    if (settings_->saveRequest != 0) {
        saveSettings(*settings_, deps_.settingsPath.c_str());
        settings_->saveRequest = 0;
    }
    engine_->consoleTick(*statusBox_);
    followLine();
}

void MainWin::followLine() {
    if (serial_ == nullptr) return;
    watch_.afterTick(serial_->isOpen() ? serial_->descriptor() : -1, settings_->upsState);
    if (watch_.pulses() != shownPulses_) {
        shownPulses_ = watch_.pulses();
        statusBox_->showPulses(shownPulses_);
    }
}

bool MainWin::mayRest() const {
    return watch_.watching() && engine_->settledOnMains() && settings_->saveRequest == 0 &&
           settings_->detectRequest == 0;
}

void MainWin::sendTest() {
#ifdef QOR_HAVE_NOTIFY
    std::shared_ptr<TestNoticeProgress> progress;
    if (deps_.machine_)
        progress = startTestNotice(*settings_, extra_.settings(),
                                   std::make_shared<SystemTestChannels>(Edition::Console));
    runTestNoticeScreen(progress);
#else
    ::beep();
#endif
}

void MainWin::drawMainScreen() {
    int h = ::LINES, w = ::COLS;
    screen_ = std::make_unique<NCursesPanel>(h, w, 0, 0);
    screen_->boldframe("");
    // The binding ends the program on a window that does not fit, so a
    // terminal too small for the box monitors on without it.
    if (statusBoxLines(h) >= 3 && statusBoxCols(w) >= 3) {
        statusPanel_ = std::make_unique<NCursesPanel>(statusBoxLines(h), statusBoxCols(w), kStatusBoxLine,
                                                      kStatusBoxColumn);
        statusPanel_->boldframe("Qor Halvora Status Box");
    }
    if (useColors()) {
        screen_->bkgd(' ' | A_BOLD | COLOR_PAIR(2));
        if (statusPanel_) statusPanel_->bkgd(' ' | COLOR_PAIR(6));
    }
    statusBox_ = std::make_unique<StatusBox>(statusPanel_.get(), h, w);
    statusBox_->showInitial();

    Hint hints[kMaxHints];
    int n = keyHints(h, std::getenv("DISPLAY") != nullptr, hints);
    for (int i = 0; i < n; ++i) screen_->addstr(hints[i].line, 2, hints[i].text);
    screen_->addstr(2, (w - 31) / 2, "Brantel Halvora Qor Utility 1.0");

    screen_->move(5, 25);
    screen_->vline(h - 6);
    screen_->move(4, 1);
    screen_->hline(w - 2);
    screen_->addch(4, 25, ACS_TTEE);
    screen_->addch(h - 1, 25, ACS_BTEE);
    screen_->addch(4, 0, ACS_LTEE);
    screen_->addch(4, w - 1, ACS_RTEE);
    screen_->refresh();
}

int MainWin::run() {
    drawMainScreen();
    serveWhileWaiting(net_.get());
    if (serial_ != nullptr) restTicksWith(this);
    startTicks(this, 2000, 1000);
    if (menuFits(::LINES, ::COLS)) {
        CMenu menu(*settings_, *this);
        menu();
    } else {
        // No room for the menu: keep monitoring until Ctrl-X or a signal.
        while (readKey(::stdscr) != kQuitKey) {
        }
    }
    stopTicks();
    restTicksWith(nullptr);
    return 0;
}

}  // namespace qor::console
