// What the painted status panel of the main window shows in each display state.
#pragma once

#include <QString>

#include <cstdint>

#include "ups_status.h"

namespace qor::gui {

enum class Lamp { Grey, Red, Green };
enum class Picture { Idle, Normal, Alarm };

constexpr int kPanelLines = 4;

struct PanelContent {
    QString lines[kPanelLines];
    Lamp lamps[kPanelLines];
    Picture picture;
};

// The four text lines with their exact blanks, the lamps and the picture.
// `port` is the record's 8-bit port text; `blink` chooses the alarm phase in
// states 3 and 4. An unknown state shows as detecting.
PanelContent panelContent(int32_t displayState, const char* port, int32_t countDownSec, int blink);

}  // namespace qor::gui
