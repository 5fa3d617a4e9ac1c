// The console application object: owns the settings record, the UPS port,
// the notification queue and the two panels of the main screen.
#pragma once

#include <cursesapp.h>
#include <cursesp.h>

#include <memory>
#include <string>

#include "device_identity.h"
#include "engine_io.h"
#include "extra_in_force.h"
#include "front_end_files.h"
#include "key_source.h"
#include "line_watch.h"
#include "monitor_engine.h"
#include "net_server.h"
#include "serial_line.h"
#include "status_box.h"
#include "system_services.h"
#include "ups_settings.h"

namespace qor::console {

// What the console reaches outside itself. A default-made set reaches nothing
// of the machine: no port is opened, no command is run, nothing is sent and no
// file is read or written. Only main() asks for the machine's own, with system().
struct ConsoleDeps : FrontEndFiles {
    // The serial ports, the shell, the notification of this build, the
    // files of FrontEndFiles::system() and /etc/Qor.net.
    static ConsoleDeps system();

    std::string netConfigPath;  // empty: no network server

private:
    bool machine_ = false;
    friend class MainWin;
};

// The console's event store: every record reaches the file at once.
class ConsoleEvents : public EventSink {
public:
    explicit ConsoleEvents(std::string path) : path_(std::move(path)) {}
    void recordEvent(int32_t kind) override;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class MainWin : public NCursesApplication, public TickHandler, private TickRest {
public:
    explicit MainWin(ConsoleDeps deps);
    ~MainWin() override;

    UpsSettings& settings() { return *settings_; }
    // /etc/Qor.extra as in force; the options save it through here.
    ExtraInForce& extra() { return extra_; }
    MonitorEngine& engine() { return *engine_; }
    const std::string& eventPath() const { return events_.path(); }

    void tick() override;  // consoleTick
    // "Send a Test": starts the test notice and shows its screen.
    void sendTest();

protected:
    int run() override;

private:
    void drawMainScreen();
    // TickRest: on mains, with a watch on the port, nothing is due until a
    // line changes.
    int wakeFd() const override { return watch_.pollFd(); }
    void takeWake() override {
        watch_.takeWake();
        serial_->probeSoon();
    }
    bool mayRest() const override;
    void followLine();

    ConsoleDeps deps_;
    std::unique_ptr<UpsSettings> settings_;
    LineWatch watch_;  // outlives the port it waits on
    SerialLine* serial_ = nullptr;  // line_ when it is the machine's port
    uint32_t shownPulses_ = 0;
    std::unique_ptr<UpsLine> line_;
    SystemClock clock_;
    std::unique_ptr<Shell> shell_;
    ConsoleEvents events_;
    ExtraInForce extra_;
    SystemDeviceIdentity devices_;
    std::unique_ptr<Notifier> notifier_;
    std::unique_ptr<MonitorEngine> engine_;
    std::unique_ptr<net::NetServer> net_;  // only with the network server's file
    std::unique_ptr<NCursesPanel> screen_;
    std::unique_ptr<NCursesPanel> statusPanel_;
    std::unique_ptr<StatusBox> statusBox_;
};

}  // namespace qor::console
