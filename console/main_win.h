// The console application object: owns the settings record, the UPS port,
// the notification queue and the two panels of the main screen.
#pragma once

#include <cursesapp.h>
#include <cursesp.h>

#include <memory>

#include "engine_io.h"
#include "key_source.h"
#include "monitor_engine.h"
#include "net_server.h"
#include "serial_line.h"
#include "status_box.h"
#include "system_services.h"
#include "ups_settings.h"

namespace qor::console {

// The console's event store: every record reaches the file at once.
class ConsoleEvents : public EventSink {
public:
    void recordEvent(int32_t kind) override;
};

class MainWin : public NCursesApplication, public TickHandler {
public:
    MainWin();
    ~MainWin() override;

    UpsSettings& settings() { return *settings_; }
    MonitorEngine& engine() { return *engine_; }

    void tick() override;  // consoleTick

protected:
    int run() override;

private:
    void drawMainScreen();

    std::unique_ptr<UpsSettings> settings_;
    std::unique_ptr<SerialLine> line_;
    SystemClock clock_;
    SystemShell shell_;
    ConsoleEvents events_;
    std::unique_ptr<Notifier> notifier_;
    std::unique_ptr<MonitorEngine> engine_;
    std::unique_ptr<net::NetServer> net_;  // only with /etc/Qor.net
    std::unique_ptr<NCursesPanel> screen_;
    std::unique_ptr<NCursesPanel> statusPanel_;
    std::unique_ptr<StatusBox> statusBox_;
};

}  // namespace qor::console
