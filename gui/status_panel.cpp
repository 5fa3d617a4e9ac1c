#include "status_panel.h"

namespace qor::gui {

PanelContent panelContent(int32_t displayState, const char* port, int32_t countDownSec, int blink) {
    const QString installed = QStringLiteral("UPS is installed on: ") + QString::fromLatin1(port ? port : "");
    const QString countDown = QStringLiteral(" Shutdown count down : %1 sec").arg(countDownSec);
    const Picture alarm = blink ? Picture::Alarm : Picture::Idle;
    switch (displayState) {
    case DisplayNotInstalled:
        return {{" UPS is not installed ", " System AC power: Fail", " UPS batery status: Fail",
                 " Shutdown count down"},
                {Lamp::Grey, Lamp::Grey, Lamp::Grey, Lamp::Grey},
                Picture::Idle};
    case DisplayNormal:
        return {{installed, " System AC power: OK", " UPS battery status: OK", " Shutdown count down"},
                {Lamp::Green, Lamp::Green, Lamp::Green, Lamp::Red},
                Picture::Normal};
    case DisplayAcFail:
        return {{installed, " System AC power: Fail", " UPS battery status: OK", countDown},
                {Lamp::Green, Lamp::Red, Lamp::Green, Lamp::Green},
                alarm};
    case DisplayBatteryLow:
        return {{installed, " System AC power: OK", " UPS battery status: FAIL", countDown},
                {Lamp::Green, Lamp::Green, Lamp::Red, Lamp::Green},
                alarm};
    case DisplayDetecting:
    default:
        return {{" UPS is being detecting...", " System AC power", " UPS batery status",
                 " Shutdown count down"},
                {Lamp::Grey, Lamp::Grey, Lamp::Grey, Lamp::Grey},
                Picture::Idle};
    }
}

}  // namespace qor::gui
