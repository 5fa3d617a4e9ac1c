// The main menu and the Options menu in the left column of the main screen.
#pragma once

#include <cursesm.h>

#include "ups_settings.h"

namespace qor::console {

class MainWin;

// Whether the menus fit the screen: the binding ends the program on a window
// that does not.
inline bool menuFits(int lines, int cols) { return lines >= 12 && cols >= 16; }
inline bool optionsMenuFits(int lines, int cols) { return lines >= 21 && cols >= 21; }

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
    enum class Action { Back, Characteristics, Messages, Email, Pager, SendTest, More };
    COptionsItem(const char* text, Action action, UpsSettings& settings, MainWin& app)
        : NCursesMenuItem(text), action_(action), settings_(settings), app_(app) {}
    bool action() override;

private:
    Action action_;
    UpsSettings& settings_;
    MainWin& app_;
};

// After the classic five: "Send a Test " and "More Settings " (/etc/Qor.extra).
class COptionsMenu : public NCursesMenu {
public:
    COptionsMenu(UpsSettings& settings, MainWin& app);

protected:
    int getKey() override;
};

}  // namespace qor::console
