#include "address_lists.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "field_text.h"

namespace qor::gui {

namespace {

QLabel* labelAt(QWidget* parent, const QString& text, int x, int y, int w, int h) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, w, h);
    return label;
}

QLineEdit* editAt(QWidget* parent, const QString& text, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QStringLiteral("edit"));
    edit->setGeometry(x, y, w, h);
    return edit;
}

void okCancel(QDialog* d, int cancelX) {
    auto* ok = new QPushButton(QObject::tr("Ok"), d);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setGeometry(100, 310, 80, 25);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QObject::tr("Cancel"), d);
    cancel->setObjectName(QStringLiteral("Cancel"));
    cancel->setGeometry(cancelX, 310, 80, 25);
    QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
}

}  // namespace

CEmailMore::CEmailMore(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings* settings)
    : QDialog(parent, fl), s_(settings) {
    if (name != nullptr) setObjectName(QString::fromLatin1(name));
    setModal(modal);
    setWindowTitle(tr("Email Settings"));
    setFixedSize(600, 350);
    for (int r = 0; r < kMoreRows; ++r) {
        const int y = 20 + 30 * r;
        labelAt(this, tr("Name%1:").arg(r + 2), 50, y, 60, 20);
        names_[r] = editAt(this, fieldText(s_->mailNames[r + 1]), 120, y, 100, 20);
        labelAt(this, tr("Address%1:").arg(r + 2), 270, y, 70, 20);
        addrs_[r] = editAt(this, fieldText(s_->mailAddrs[r + 1]), 360, y, 190, 20);
    }
    okCancel(this, 420);
}

void CEmailMore::writeBack() {
    for (int r = 0; r < kMoreRows; ++r) {
        storeField(s_->mailNames[r + 1], names_[r]->text());
        storeField(s_->mailAddrs[r + 1], addrs_[r]->text());
    }
}

int CEmailMore::run() {
    if (exec() == QDialog::Accepted) writeBack();
    return 1;
}

CPagerMore::CPagerMore(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings* settings)
    : QDialog(parent, fl), s_(settings) {
    if (name != nullptr) setObjectName(QString::fromLatin1(name));
    setModal(modal);
    setWindowTitle(tr("Pager Settings"));
    setFixedSize(400, 350);
    for (int r = 0; r < kMoreRows; ++r) {
        const int y = 20 + 30 * r;
        labelAt(this, tr("Pager Number%1:").arg(r + 2), 50, y, 130, 20);
        numbers_[r] = editAt(this, fieldText(s_->pagerNumbers[r + 1]), 180, y, 170, 20);
    }
    okCancel(this, 220);
}

void CPagerMore::writeBack() {
    for (int r = 0; r < kMoreRows; ++r) storeField(s_->pagerNumbers[r + 1], numbers_[r]->text());
}

int CPagerMore::run() {
    if (exec() == QDialog::Accepted) writeBack();
    return 1;
}

}  // namespace qor::gui
