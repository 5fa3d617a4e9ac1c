// The dial-up setting dialog: account, modem device and line, modem commands
// and IP settings. Writes into the record only when closed with OK.
#pragma once

#include <QDialog>

#include "ups_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace qor::gui {

class CModemSetting : public QDialog {
    Q_OBJECT
public:
    CModemSetting(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings* settings);

    // Shows the dialog modally; on OK writes back. 1 on OK, 0 on Cancel.
    int run();

public slots:
    void Dynamic();
    void Static();

private:
    QWidget* buildAccount();
    QWidget* buildDevice();
    QWidget* buildCommands();
    QWidget* buildIp();
    void fill();
    void writeBack();

    UpsSettings* s_;
    QLineEdit* LineEdit1_ = nullptr;
    QLineEdit* editPassword_ = nullptr;
    QLineEdit* editPhone_ = nullptr;
    QComboBox* comboAuthen_ = nullptr;
    QComboBox* comboDevice_ = nullptr;
    QComboBox* comboFlow_ = nullptr;
    QComboBox* comboTermination_ = nullptr;
    QComboBox* comboSpeed_ = nullptr;
    QSpinBox* spinTimeout_ = nullptr;
    QLineEdit* lineInit_ = nullptr;
    QLineEdit* lineDial_ = nullptr;
    QLineEdit* editHangup_ = nullptr;
    QLineEdit* editEscape_ = nullptr;
    QCheckBox* checkDynamic_ = nullptr;
    QCheckBox* checkStatic_ = nullptr;
    QLineEdit* editIP_ = nullptr;
    QLineEdit* editMask_ = nullptr;
};

}  // namespace qor::gui
