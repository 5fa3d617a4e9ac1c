#include "button_bar.h"

namespace qor::gui {

const char* const kButtonLabels[kButtonCount] = {"Options", "Detect UPS", "Help", "Exit"};

bool trackHover(int (&flags)[kButtonCount], QPoint pos) {
    bool changed = false;
    for (int i = 0; i < kButtonCount; ++i) {
        int flag = buttonRect(i).contains(pos) ? HoverOver : HoverNone;
        if (flags[i] != flag) changed = true;
        flags[i] = flag;
    }
    return changed;
}

}  // namespace qor::gui
