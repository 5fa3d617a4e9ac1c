// The further notification targets: mail recipients 2 to 10 and pager numbers
// 2 to 10 (slots 1 to 9 of the record's lists; slot 0 is on the options dialog).
#pragma once

#include <QDialog>

#include "ups_settings.h"

class QLineEdit;

namespace qor::gui {

constexpr int kMoreRows = kListSlots - 1;

class CEmailMore : public QDialog {
    Q_OBJECT
public:
    CEmailMore(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings* settings);
    // Shows the dialog modally; on OK writes back. Always 1.
    int run();

private:
    void writeBack();

    UpsSettings* s_;
    QLineEdit* names_[kMoreRows] = {};
    QLineEdit* addrs_[kMoreRows] = {};
};

class CPagerMore : public QDialog {
    Q_OBJECT
public:
    CPagerMore(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings* settings);
    // Shows the dialog modally; on OK writes back. Always 1.
    int run();

private:
    void writeBack();

    UpsSettings* s_;
    QLineEdit* numbers_[kMoreRows] = {};
};

}  // namespace qor::gui
