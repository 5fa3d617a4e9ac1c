#include "view_log_form.h"

#include "form_keys.h"

namespace qor::console {

namespace {
constexpr int kLeft = 5, kRight = 70;  // outer border columns
constexpr int kTop = 3, kBottom = 19;  // outer border lines
constexpr int kSeparators[] = {11, 24, 35};

bool isSeparator(int column) {
    for (int s : kSeparators) {
        if (s == column) return true;
    }
    return false;
}
}  // namespace

CViewLogForm::CViewLogForm(const char* path) : CConsoleForm(24, 75, 24, 75), pages_(LogPages::fromFile(path)) {
    prev_ = add<CButton>("[ Prev ]", 20, 42);
    next_ = add<CButton>("[ Next ]", 20, 59);
    add<CButton>("[   OK   ]", 20, 8);
    add<CButton>("[ Cancel ]", 20, 25);
    total_ = add<CLabel>(totalText(pages_.count()).c_str(), 10, 20);
    finish("View Logs");
}

void CViewLogForm::beforeKey() {
    total_->setText("");
    drawTable();
}

int CViewLogForm::onEnter() {
    CField* cur = currentField();
    if (cur == prev_ || cur == next_) {
        if (cur == next_) {
            pages_.next();
        } else {
            pages_.prev();
        }
        drawTable();
        return kConsumed;
    }
    if (cur == nullptr) return REQ_NEXT_FIELD;
    switch (enterAction(cur->text(), true, cancelWord())) {
    case EnterAction::Save:
    case EnterAction::Cancel: return endRequest();  // the viewer changes nothing
    default: return REQ_NEXT_FIELD;
    }
}

void CViewLogForm::drawTable() {
    WINDOW* win = w;
    mvwvline(win, kTop + 1, kLeft, ACS_VLINE, 15);
    mvwvline(win, kTop + 1, kRight, ACS_VLINE, 15);
    mvwhline(win, kTop, kLeft + 1, ACS_HLINE, 64);
    mvwhline(win, kBottom, kLeft + 1, ACS_HLINE, 64);
    mvwaddch(win, kTop, kLeft, ACS_ULCORNER);
    mvwaddch(win, kTop, kRight, ACS_URCORNER);
    mvwaddch(win, kBottom, kLeft, ACS_LLCORNER);
    mvwaddch(win, kBottom, kRight, ACS_LRCORNER);
    for (int r = 0; r <= 7; ++r) {
        int line = 2 * r + 3;
        mvwaddch(win, line, kLeft, ACS_LTEE);
        mvwaddch(win, line, kRight, ACS_RTEE);
        for (int c = kLeft + 1; c < kRight; ++c) {
            if (!isSeparator(c)) mvwaddch(win, line, c, ACS_HLINE);
        }
    }
    for (int c : kSeparators) {
        mvwaddch(win, kTop, c, ACS_TTEE);
        mvwaddch(win, kTop + 1, c, ACS_VLINE);
        for (int r = 1; r <= 6; ++r) {
            mvwaddch(win, 2 * r + 3, c, ACS_PLUS);
            mvwaddch(win, 2 * r + 4, c, ACS_VLINE);
            mvwaddch(win, 2 * r + 5, c, ACS_PLUS);
        }
        mvwaddch(win, 18, c, ACS_VLINE);
        mvwaddch(win, kBottom, c, ACS_BTEE);
    }
    mvwaddstr(win, 4, 7, "NO.");
    mvwaddstr(win, 4, 15, "Date");
    mvwaddstr(win, 4, 27, "Time");
    mvwaddstr(win, 4, 48, "Event");
    for (int r = 1; r <= kRowsPerPage; ++r) {
        int line = 2 * r + 4;
        mvwaddstr(win, line, 6, "     ");
        mvwaddstr(win, line, 13, "           ");
        mvwaddstr(win, line, 26, "         ");
        mvwaddstr(win, line, 43, "                           ");
        LogRow row = pages_.row(r);
        if (!row.used) continue;
        mvwaddstr(win, line, 6, row.number.c_str());
        mvwaddstr(win, line, 13, row.date.c_str());
        mvwaddstr(win, line, 26, row.time.c_str());
        mvwaddstr(win, line, 43, row.name.c_str());
    }
    ::update_panels();
    ::doupdate();
}

}  // namespace qor::console
