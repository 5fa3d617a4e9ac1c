#include "test_notice_screen.h"

#include <cursesp.h>

#include <algorithm>
#include <string>

#include "key_source.h"

namespace qor::console {

namespace {

constexpr int kRefreshMs = 200;

// Gives the loop the panel's window.
class TestPanel : public NCursesPanel {
public:
    TestPanel(int lines, int cols, int y, int x) : NCursesPanel(lines, cols, y, x) {}
    WINDOW* win() const { return w; }
};

std::string fit(const std::string& text, int width) {
    if (width <= 0) return "";
    std::string t = text.substr(0, static_cast<size_t>(width));
    t.resize(static_cast<size_t>(width), ' ');
    return t;
}

void draw(TestPanel& p, const std::shared_ptr<TestNoticeProgress>& progress) {
    int lines = p.height(), cols = p.width();
    int width = cols - 4;
    std::vector<TestItem> items;
    bool done = true;
    if (progress) {
        items = progress->items();
        done = progress->finished();
    }
    std::string head;
    if (!progress) {
        head = "Nothing to test: mail, pagers and test commands are off.";
    } else if (!done) {
        head = "Sending a test notice through every channel that is on...";
    } else {
        int ok = static_cast<int>(std::count_if(items.begin(), items.end(),
                                                [](const TestItem& i) { return i.state == TestItem::Delivered; }));
        head = "Test finished: " + std::to_string(ok) + " of " + std::to_string(items.size()) + " delivered.";
    }
    p.addstr(2, 2, fit(head, width).c_str());
    // Two lines a result: what was tried, then the server's or the
    // program's own words.
    int row = 4, last = lines - 4;
    size_t shown = 0;
    for (; shown < items.size() && row + 1 <= last; ++shown, row += 2) {
        const TestItem& it = items[shown];
        p.addstr(row, 2,
                 fit(fit(testChannelName(it.channel), 8) + fit(testStateName(it.state), 15) + it.target, width).c_str());
        p.addstr(row + 1, 2, fit("        " + it.detail, width).c_str());
    }
    if (shown < items.size()) p.addstr(last, 2, fit("(the rest in the system log)", width).c_str());
    p.addstr(lines - 2, (cols - 10) / 2, "[   OK   ]");
    p.move(lines - 2, (cols - 10) / 2 + 1);
    p.refresh();
}

}  // namespace

void runTestNoticeScreen(const std::shared_ptr<TestNoticeProgress>& progress) {
    int lines = std::min(::LINES - 2, 20), cols = std::min(::COLS - 2, 76);
    if (lines < 8 || cols < 40) {
        ::beep();  // too small a screen for the results
        return;
    }
    TestPanel panel(lines, cols, 1, (::COLS - cols) / 2);
    panel.boldframe("Send a Test", "Qor");
    int seen = -1;
    for (;;) {
        int gen = progress ? progress->generation() : 0;
        if (gen != seen) {
            draw(panel, progress);
            seen = gen;
        }
        int ch = readKeyFor(panel.win(), kRefreshMs);
        if (ch == kQuitKey || ch == '\n' || ch == '\r' || ch == KEY_ENTER) break;
    }
    panel.hide();
    ::update_panels();
    ::doupdate();
}

}  // namespace qor::console
