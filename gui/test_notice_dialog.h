// The desktop's "Send a test": a dialog that shows the test notice going out
// (a progress bar) and then a result per recipient, pager and command. The
// test runs on its own thread; the dialog polls its progress, and the main
// window's timers keep running while it is open.
#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

#include "extra_settings.h"
#include "test_notice.h"
#include "ups_settings.h"

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace qor::gui {

class TestNoticeDialog : public QDialog {
    Q_OBJECT
public:
    // `progress` null: nothing was on to test, and the dialog says so.
    TestNoticeDialog(QWidget* parent, std::shared_ptr<TestNoticeProgress> progress);

public slots:
    void refresh();

private:
    std::shared_ptr<TestNoticeProgress> progress_;
    QTimer poll_;
    int seen_ = -1;
    QLabel* head_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

// Starts a test with `shown` and `x` through the real channels and shows its
// dialog modally.
void openTestNotice(QWidget* parent, const UpsSettings& shown, const ExtraSettings& x);

}  // namespace qor::gui
