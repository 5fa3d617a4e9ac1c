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
        COptionsMenu options(settings_, &app_.extra());
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
    case Action::More:
        if (extra_ != nullptr) runMoreSetForm(*extra_);
        break;
    }
    return false;
}

namespace {
bool withMore(ExtraInForce* extra) { return extra != nullptr && ::LINES >= 20; }
}  // namespace

COptionsMenu::COptionsMenu(UpsSettings& settings, ExtraInForce* extra)
    : NCursesMenu(withMore(extra) ? 8 : 7, 19, 12, 2) {
    auto** items = new NCursesMenuItem*[7];
    items[0] = new COptionsItem("Back to Main ", COptionsItem::Action::Back, settings);
    items[1] = new COptionsItem("Characteristics ", COptionsItem::Action::Characteristics, settings);
    items[2] = new COptionsItem("Message Setting ", COptionsItem::Action::Messages, settings);
    items[3] = new COptionsItem("E-Mail Setting ", COptionsItem::Action::Email, settings);
    items[4] = new COptionsItem("Pager Setting ", COptionsItem::Action::Pager, settings);
    int n = 5;
    if (withMore(extra)) items[n++] = new COptionsItem("More Settings ", COptionsItem::Action::More, settings, extra);
    items[n] = new NCursesMenuItem();
    InitMenu(items, true, true);
    boldframe("Options", "Qor");
}

int COptionsMenu::getKey() { return readKey(w); }

}  // namespace qor::console
