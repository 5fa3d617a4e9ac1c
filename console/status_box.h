// The six painters of the main screen's status box.
#pragma once

#include <cursesp.h>

#include "monitor_engine.h"
#include "screen_layout.h"

namespace qor::console {

class StatusBox : public ConsoleView {
public:
    // A null box (a terminal too small for it) paints nothing.
    StatusBox(NCursesPanel* box, int screenLines, int screenCols);

    void showInitial();
    void showDetecting() override;
    void showNotInstalled() override;
    void showInstalled(const char* port) override;
    void showBatteryLow() override;
    void showAcFail() override;
    void showCountDown(int32_t seconds) override;
    // Line changes too short for a probe, on a line below the four; nothing
    // is drawn while there are none.
    void showPulses(uint32_t count);

private:
    // Blanks `width` columns of status line i, then writes the text.
    void put(int i, int width, const char* text, bool reverse = false) {
        putRow(layout_.rows[i], width, text, reverse);
    }
    void putRow(int row, int width, const char* text, bool reverse);
    void finish();

    NCursesPanel* box_;
    StatusLayout layout_;
    int innerRight_;  // first column of the right border
};

}  // namespace qor::console
