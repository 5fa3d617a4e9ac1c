#include "test_notice_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialog_widgets.h"

namespace qor::gui {

namespace {
constexpr int kPollMs = 200;
}

TestNoticeDialog::TestNoticeDialog(QWidget* parent, std::shared_ptr<TestNoticeProgress> progress)
    : QDialog(parent), progress_(std::move(progress)) {
    setObjectName(QStringLiteral("TestNotice"));
    setWindowTitle(tr("Send a test"));
    setModal(true);
    resize(600, 300);
    head_ = named<QLabel>("TestHead");
    bar_ = named<QProgressBar>("TestProgress");
    list_ = named<QTreeWidget>("TestResults");
    list_->setColumnCount(3);
    list_->setHeaderLabels({tr("Channel"), tr("Recipient"), tr("Result")});
    list_->setRootIsDecorated(false);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(0, 75);
    list_->setColumnWidth(1, 330);
    QPushButton* close = named<QPushButton>("TestClose", tr("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    auto* top = new QVBoxLayout(this);
    top->addWidget(head_);
    top->addWidget(bar_);
    top->addWidget(list_, 1);
    top->addLayout(row);

    connect(&poll_, &QTimer::timeout, this, &TestNoticeDialog::refresh);
    refresh();
    if (progress_) poll_.start(kPollMs);
}

void TestNoticeDialog::refresh() {
    if (!progress_) {
        head_->setText(tr("Nothing to test: mail, pagers and test commands are all off."));
        bar_->setRange(0, 1);
        bar_->setValue(1);
        return;
    }
    int gen = progress_->generation();
    if (gen == seen_) return;
    seen_ = gen;
    std::vector<TestItem> items = progress_->items();
    bool done = progress_->finished();
    int finished = 0, delivered = 0;
    list_->clear();
    for (const TestItem& it : items) {
        if (it.state != TestItem::Waiting && it.state != TestItem::Sending) ++finished;
        if (it.state == TestItem::Delivered) ++delivered;
        auto* row = new QTreeWidgetItem(list_);
        row->setText(0, QString::fromLatin1(testChannelName(it.channel)));
        row->setText(1, QString::fromStdString(it.target));
        row->setText(2, QString::fromLatin1(testStateName(it.state)));
        if (it.detail.empty()) continue;
        // The server's or the program's own words, across the whole width.
        auto* words = new QTreeWidgetItem(list_);
        words->setText(0, QStringLiteral("      ") + QString::fromStdString(it.detail));
        words->setFirstColumnSpanned(true);
        words->setForeground(0, palette().color(QPalette::PlaceholderText));
    }
    bar_->setRange(0, static_cast<int>(items.size()));
    bar_->setValue(finished);
    if (done) {
        head_->setText(tr("Test finished: %1 of %2 delivered.").arg(delivered).arg(items.size()));
        poll_.stop();
    } else {
        head_->setText(tr("Sending a test notice through every channel that is on..."));
    }
}

void openTestNotice(QWidget* parent, const UpsSettings& shown, const ExtraSettings& x) {
    auto progress = startTestNotice(shown, x, std::make_shared<SystemTestChannels>(Edition::Desktop));
    TestNoticeDialog dialog(parent, progress);
    dialog.exec();
}

}  // namespace qor::gui
