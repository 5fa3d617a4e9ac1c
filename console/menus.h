// The main menu and the Options menu in the left column of the main screen.
#pragma once

#include <cursesm.h>

#include "extra_in_force.h"
#include "ups_settings.h"

namespace qor::console {

class MainWin;

// Whether the menus fit the screen: the binding ends the program on a window
// that does not.
inline bool menuFits(int lines, int cols) { return lines >= 12 && cols >= 16; }
inline bool optionsMenuFits(int lines, int cols) { return lines >= 19 && cols >= 21; }

class CMenuItem : public NCursesMenuItem {
public:
    enum class Action { Options, DetectUps, ViewLog, Quit };
    CMenuItem(const char* text, Action action, UpsSettings& settings, MainWin& app)
        : NCursesMenuItem(text), action_(action), settings_(settings), app_(app) {}
    bool action() override;

private:
    Action action_;
    UpsSettings& settings_;
    MainWin& app_;
};

class CMenu : public NCursesMenu {
public:
    CMenu(UpsSettings& settings, MainWin& app);

protected:
    int getKey() override;
};

class COptionsItem : public NCursesMenuItem {
public:
    enum class Action { Back, Characteristics, Messages, Email, Pager, More };
    COptionsItem(const char* text, Action action, UpsSettings& settings, ExtraInForce* extra = nullptr)
        : NCursesMenuItem(text), action_(action), settings_(settings), extra_(extra) {}
    bool action() override;

private:
    Action action_;
    UpsSettings& settings_;
    ExtraInForce* extra_;
};

// With `extra`, a sixth item, "More Settings ", edits /etc/Qor.extra when the
// screen has the line it takes.
class COptionsMenu : public NCursesMenu {
public:
    explicit COptionsMenu(UpsSettings& settings, ExtraInForce* extra = nullptr);

protected:
    int getKey() override;
};

}  // namespace qor::console
