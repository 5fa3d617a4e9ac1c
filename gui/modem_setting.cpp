#include "modem_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialog_widgets.h"
#include "field_text.h"

namespace qor::gui {

CModemSetting::CModemSetting(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl,
                             UpsSettings* settings)
    : QDialog(parent, fl), s_(settings) {
    setObjectName(QString::fromLatin1(name != nullptr ? name : "CModemSetting"));
    setModal(modal);
    setWindowTitle(tr("Modem Setting"));
    setFixedSize(465, 273);

    QTabWidget* tabs = named<QTabWidget>("TabWidget");
    tabs->addTab(buildAccount(), tr("Account"));
    tabs->addTab(buildDevice(), tr("Device"));
    tabs->addTab(buildCommands(), tr("Commands"));
    tabs->addTab(buildIp(), tr("IP"));

    auto* top = new QVBoxLayout(this);
    top->addWidget(tabs);
    top->addLayout(okCancelRow(this, {"PushButton2", tr("&OK"), "PushButton1", tr("&Cancel")}, false));

    fill();
}

QWidget* CModemSetting::buildAccount() {
    QWidget* page = named<QWidget>("tab");
    LineEdit1_ = named<QLineEdit>("LineEdit1");
    editPassword_ = named<QLineEdit>("editPassword");
    editPassword_->setEchoMode(QLineEdit::Password);
    editPhone_ = named<QLineEdit>("editPhone");
    comboAuthen_ = namedCombo("comboAuthen", {"PAP", "CHAP"});
    auto* form = new QFormLayout(page);
    form->addRow(tr("User Name:"), LineEdit1_);
    form->addRow(tr("Password:"), editPassword_);
    form->addRow(tr("Phone Number:"), editPhone_);
    form->addRow(tr("Authentication :"), comboAuthen_);
    return page;
}

QWidget* CModemSetting::buildDevice() {
    QWidget* page = named<QWidget>("tab_2");
    comboDevice_ = portCombo("comboDevice");
    comboFlow_ = namedCombo("comboFlow", {"CRTSCTS", "XON/XOF", "NONE"});
    comboTermination_ = namedCombo("comboTermination", {"CR", "LF", "CR/LF"});
    comboSpeed_ = modemSpeedCombo("comboSpeed");
    spinTimeout_ = named<QSpinBox>("spinTimeout");
    spinTimeout_->setRange(0, 99);
    auto* timeout = new QHBoxLayout;
    timeout->addWidget(spinTimeout_);
    timeout->addWidget(new QLabel(tr("Seconds")));
    timeout->addStretch();
    auto* form = new QFormLayout(page);
    form->addRow(tr("Modem  Device:"), comboDevice_);
    form->addRow(tr("Flow Control:"), comboFlow_);
    form->addRow(tr("Line Termination:"), comboTermination_);
    form->addRow(tr("Connection Speed:"), comboSpeed_);
    form->addRow(tr("Modem Timeout:"), timeout);
    return page;
}

QWidget* CModemSetting::buildCommands() {
    QWidget* page = named<QWidget>("tab_3");
    lineInit_ = named<QLineEdit>("lineInit");
    lineDial_ = named<QLineEdit>("lineDial");
    editHangup_ = named<QLineEdit>("editHangup");
    editEscape_ = named<QLineEdit>("editEscape");
    auto* form = new QFormLayout(page);
    form->addRow(tr("Initialization:"), lineInit_);
    form->addRow(tr("Dial:"), lineDial_);
    form->addRow(tr("Hang Up:"), editHangup_);
    form->addRow(tr("Escape:"), editEscape_);
    return page;
}

QWidget* CModemSetting::buildIp() {
    QWidget* page = named<QWidget>("tab_4");
    checkDynamic_ = named<QCheckBox>("checkDynamic", tr("Dynamic IP Address"));
    checkStatic_ = named<QCheckBox>("checkStatic", tr("Static IP Address"));
    editIP_ = named<QLineEdit>("editIP");
    editMask_ = named<QLineEdit>("editMask");
    connect(checkDynamic_, &QCheckBox::clicked, this, &CModemSetting::Dynamic);
    connect(checkStatic_, &QCheckBox::clicked, this, &CModemSetting::Static);
    auto* form = new QFormLayout(page);
    form->addRow(checkDynamic_);
    form->addRow(checkStatic_);
    form->addRow(tr("IP Address:"), editIP_);
    form->addRow(tr("Subnet Mask:"), editMask_);
    return page;
}

void CModemSetting::fill() {
    LineEdit1_->setText(fieldText(s_->dialUser));
    editPassword_->setText(fieldText(s_->dialPassword));
    editPhone_->setText(fieldText(s_->dialPhone));
    selectIndex(comboAuthen_, s_->dialAuth);
    selectIndex(comboDevice_, s_->modemDevice);
    selectIndex(comboFlow_, s_->modemFlow);
    selectIndex(comboTermination_, s_->modemTermination);
    selectIndex(comboSpeed_, s_->modemSpeed);
    spinTimeout_->setValue(s_->modemTimeoutSec);
    lineInit_->setText(fieldText(s_->modemInit));
    lineDial_->setText(fieldText(s_->modemDial));
    editHangup_->setText(fieldText(s_->modemHangup));
    editEscape_->setText(fieldText(s_->modemEscape));
    editIP_->setText(fieldText(s_->ipAddress));
    editMask_->setText(fieldText(s_->subnetMask));
    const bool dynamic = s_->dynamicIp == 1;
    checkDynamic_->setChecked(dynamic);
    checkStatic_->setChecked(false);
    editIP_->setEnabled(!dynamic);
    editMask_->setEnabled(!dynamic);
}

void CModemSetting::Dynamic() {
    checkStatic_->setChecked(false);
    editIP_->setEnabled(false);
    editMask_->setEnabled(false);
}

void CModemSetting::Static() {
    checkDynamic_->setChecked(false);
    editIP_->setEnabled(true);
    editMask_->setEnabled(true);
}

void CModemSetting::writeBack() {
    storeField(s_->dialUser, LineEdit1_->text());
    storeField(s_->dialPhone, editPhone_->text());
    storeField(s_->dialPassword, editPassword_->text());
    s_->dialAuth = comboAuthen_->currentIndex();
    s_->modemFlow = comboFlow_->currentIndex();
    s_->modemDevice = comboDevice_->currentIndex();
    s_->modemTermination = comboTermination_->currentIndex();
    s_->modemSpeed = comboSpeed_->currentIndex();
    s_->modemTimeoutSec = spinTimeout_->value();
    storeField(s_->modemInit, lineInit_->text());
    storeField(s_->modemDial, lineDial_->text());
    storeField(s_->modemHangup, editHangup_->text());
    storeField(s_->modemEscape, editEscape_->text());
    s_->dynamicIp = checkDynamic_->isChecked() ? 1 : 0;
    storeField(s_->ipAddress, editIP_->text());
    storeField(s_->subnetMask, editMask_->text());
    setText(s_->ipAddress3, "0.0.0.0");
}

int CModemSetting::run() {
    if (exec() != QDialog::Accepted) return 0;
    writeBack();
    return 1;
}

}  // namespace qor::gui
