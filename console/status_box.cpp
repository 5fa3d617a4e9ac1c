#include "status_box.h"

#include <cstdio>
#include <cstring>

namespace qor::console {

StatusBox::StatusBox(NCursesPanel* box, int screenLines, int screenCols)
    : box_(box), layout_(statusLayout(screenLines, screenCols)), innerRight_(box ? box->width() - 1 : 0) {}

void StatusBox::putRow(int row, int width, const char* text, bool reverse) {
    int col = layout_.column;
    // Texts that do not fit are not drawn, and nothing writes over the frame.
    if (box_ == nullptr) return;
    if (row < 1 || row >= box_->height() - 1 || col < 0 || col >= innerRight_) return;
    int room = innerRight_ - col;
    int blank = width < room ? width : room;
    char blanks[256];
    if (blank > static_cast<int>(sizeof blanks) - 1) blank = sizeof blanks - 1;
    std::memset(blanks, ' ', static_cast<size_t>(blank));
    blanks[blank] = '\0';
    box_->addstr(row, col, blanks);
    if (reverse) box_->attron(A_REVERSE);
    box_->addstr(row, col, text, room);
    if (reverse) box_->attroff(A_REVERSE);
}

void StatusBox::finish() {
    if (box_ != nullptr) box_->refresh();
}

void StatusBox::showInitial() {
    put(0, 0, "@   UPS is not installed");
    put(1, 0, "@   System AC power");
    put(2, 0, "@   UPS battery status");
    put(3, 0, "@   Shutdown count down");
    finish();
}

void StatusBox::showDetecting() {
    // Bring back anything a closed form left behind.
    ::touchwin(::stdscr);
    for (PANEL* p = ::panel_above(nullptr); p != nullptr; p = ::panel_above(p)) ::touchwin(::panel_window(p));
    int wide = layout_.tall ? 40 : 36, narrow = layout_.tall ? 38 : 33;
    put(0, wide, "@   UPS status: Detecting...");
    put(1, narrow, "@   System AC power");
    put(2, narrow, "@   UPS battery status");
    put(3, narrow, "@   Shutdown count down");
    finish();
}

void StatusBox::showNotInstalled() {
    int wide = layout_.tall ? 40 : 36, narrow = layout_.tall ? 38 : 33;
    put(0, wide, "@   UPS is not installed!");
    put(1, narrow, "@   System AC power");
    put(2, narrow, "@   UPS battery status");
    put(3, narrow, "@   Shutdown count down");
    finish();
}

void StatusBox::showInstalled(const char* port) {
    char line[300];
    std::snprintf(line, sizeof line, "@   UPS is installed on: %.255s", port);
    put(0, layout_.tall ? 36 : 37, line);
    put(1, 31, "@   System AC power : OK");
    put(2, 31, "@   UPS battery status : OK");
    put(3, 37, "@   Shutdown count down");
    finish();
}

void StatusBox::showBatteryLow() {
    put(2, 28, "@   UPS battery status : Low", true);
    finish();
}

void StatusBox::showAcFail() {
    put(1, 26, "@   System AC power : Fail", true);
    finish();
}

void StatusBox::showCountDown(int32_t seconds) {
    char line[64];
    std::snprintf(line, sizeof line, "@   Shutdown count down : %d Seconds", static_cast<int>(seconds));
    // Blank the whole line, not only 31 columns: a number that gets shorter
    // must not leave the tail of the longer one behind.
    put(3, innerRight_, line, true);
    finish();
}

void StatusBox::showPulses(uint32_t count) {
    if (count == 0) return;
    char line[64];
    std::snprintf(line, sizeof line, "@   Short line changes not logged : %u", static_cast<unsigned>(count));
    putRow(layout_.rows[3] + (layout_.rows[3] - layout_.rows[2]), innerRight_, line, false);
    finish();
}

}  // namespace qor::console
