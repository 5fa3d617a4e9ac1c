#include "menus.h"

#include "form_launcher.h"
#include "key_source.h"
#include "main_win.h"

namespace qor::console {

bool CMenuItem::action() {
    switch (action_) {
    case Action::Options: {
        if (!optionsMenuFits(::LINES, ::COLS)) {
            ::beep();  // too small a screen: say so rather than do nothing
            return false;
        }
        COptionsMenu options(settings_, app_);
        options();
        return false;
    }
    case Action::DetectUps:
        settings_.detectRequest = 1;
        return false;
    case Action::ViewLog:
        runViewLogForm(app_.eventPath().c_str());
        return false;
    case Action::Quit:
        return true;
    }
    return false;
}

CMenu::CMenu(UpsSettings& settings, MainWin& app) : NCursesMenu(6, 14, 6, 2) {
    auto** items = new NCursesMenuItem*[5];
    items[0] = new CMenuItem("Options ", CMenuItem::Action::Options, settings, app);
    items[1] = new CMenuItem("Detect UPS ", CMenuItem::Action::DetectUps, settings, app);
    items[2] = new CMenuItem("View Log", CMenuItem::Action::ViewLog, settings, app);
    items[3] = new CMenuItem("Quit ", CMenuItem::Action::Quit, settings, app);
    items[4] = new NCursesMenuItem();  // terminates the list
    InitMenu(items, true, true);
    boldframe("Main", "Qor");
}

int CMenu::getKey() { return readKey(w); }

bool COptionsItem::action() {
    switch (action_) {
    case Action::Back:
        return true;
    case Action::Characteristics:
        runUpsSetForm(settings_);
        break;
    case Action::Messages:
        runMsgSetForm(settings_);
        break;
    case Action::Email:
        runEmailSetForm(settings_);
        break;
    case Action::Pager:
        runPagerSetForm(settings_);
        break;
    case Action::SendTest:
        app_.sendTest();
        break;
    case Action::More:
        runMoreSetForm(app_.extra());
        break;
    }
    return false;
}

COptionsMenu::COptionsMenu(UpsSettings& settings, MainWin& app) : NCursesMenu(9, 19, 12, 2) {
    auto** items = new NCursesMenuItem*[8];
    items[0] = new COptionsItem("Back to Main ", COptionsItem::Action::Back, settings, app);
    items[1] = new COptionsItem("Characteristics ", COptionsItem::Action::Characteristics, settings, app);
    items[2] = new COptionsItem("Message Setting ", COptionsItem::Action::Messages, settings, app);
    items[3] = new COptionsItem("E-Mail Setting ", COptionsItem::Action::Email, settings, app);
    items[4] = new COptionsItem("Pager Setting ", COptionsItem::Action::Pager, settings, app);
    items[5] = new COptionsItem("Send a Test ", COptionsItem::Action::SendTest, settings, app);
    items[6] = new COptionsItem("More Settings ", COptionsItem::Action::More, settings, app);
    items[7] = new NCursesMenuItem();
    InitMenu(items, true, true);
    boldframe("Options", "Qor");
}

int COptionsMenu::getKey() { return readKey(w); }

}  // namespace qor::console
