#include "more_settings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialog_widgets.h"

namespace qor::gui {
namespace {

QString joinLines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& l : lines) out << QString::fromStdString(l);
    return out.join(QLatin1Char('\n'));
}

std::vector<std::string> splitLines(const QString& text) {
    std::vector<std::string> out;
    for (const QString& l : text.split(QLatin1Char('\n'))) out.push_back(l.toStdString());
    return out;
}

QSpinBox* secondsSpin(const char* name, int lo, int hi) {
    QSpinBox* spin = named<QSpinBox>(name);
    spin->setRange(lo, hi);
    spin->setSuffix(QObject::tr(" s"));
    return spin;
}

}  // namespace

CMoreSettings::CMoreSettings(QWidget* parent, const char* name, ExtraInForce& extra)
    : QDialog(parent), extra_(extra) {
    setObjectName(QString::fromLatin1(name != nullptr ? name : "More Settings"));
    setModal(true);
    setWindowTitle(tr("More Settings"));

    editPorts_ = named<QPlainTextEdit>("editPorts");
    editPorts_->setFixedHeight(56);
    editPorts_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editPorts_->setPlaceholderText(tr("/dev/ttyUSB0\n/dev/serial/by-id/usb-..."));
    QGroupBox* ports = new QGroupBox(tr("Further UPS ports, searched after /dev/ttyS0 and /dev/ttyS1 (one a line)"));
    (new QVBoxLayout(ports))->addWidget(editPorts_);

    comboSecurity_ = namedCombo("comboSecurity", {tr("Plain SMTP"), tr("STARTTLS"), tr("TLS")});
    spinMailPort_ = named<QSpinBox>("spinMailPort");
    spinMailPort_->setRange(0, 65535);
    spinMailPort_->setSpecialValueText(tr("usual (25, 587 or 465)"));
    comboAuth_ = namedCombo("comboAuth", {tr("any the server offers"), tr("PLAIN"), tr("LOGIN")});
    editUser_ = named<QLineEdit>("editUser");
    editPassword_ = named<QLineEdit>("editPassword");
    editPassword_->setEchoMode(QLineEdit::Password);
    editCaFile_ = named<QLineEdit>("editCaFile");
    editCaFile_->setPlaceholderText(tr("the system's trusted authorities"));
    QGroupBox* mail = new QGroupBox(tr("Mail server"));
    auto* mailForm = new QFormLayout(mail);
    mailForm->addRow(tr("Security:"), comboSecurity_);
    mailForm->addRow(tr("Port:"), spinMailPort_);
    mailForm->addRow(tr("Login:"), comboAuth_);
    mailForm->addRow(tr("User:"), editUser_);
    mailForm->addRow(tr("Password:"), editPassword_);
    mailForm->addRow(tr("CA file:"), editCaFile_);

    editCommands_ = named<QPlainTextEdit>("editCommands");
    editCommands_->setMinimumHeight(60);
    editCommands_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editCommands_->setPlaceholderText(tr("acfail,batterylow,test /usr/local/sbin/tell-chat --room ups"));
    spinCommandTimeout_ = secondsSpin("spinCommandTimeout", 1, kMaxCommandTimeoutSec);
    QGroupBox* commands = new QGroupBox(tr("Commands: events program arguments (one a line)"));
    auto* commandsBox = new QVBoxLayout(commands);
    commandsBox->addWidget(editCommands_);
    auto* timeoutForm = new QFormLayout;
    timeoutForm->addRow(tr("Killed after:"), spinCommandTimeout_);
    commandsBox->addLayout(timeoutForm);

    spinOutageDelay_ = secondsSpin("spinOutageDelay", 0, kMaxOutageDelaySec);
    spinOutageDelay_->setSpecialValueText(tr("off"));
    QGroupBox* delay = new QGroupBox(tr("Short mains failures"));
    auto* delayForm = new QFormLayout(delay);
    delayForm->addRow(tr("Tell nobody of one shorter than:"), spinOutageDelay_);

    labelState_ = named<QLabel>("labelState");
    labelState_->setWordWrap(true);
    const QString file =
        QString::fromStdString(extra_.path().empty() ? std::string(kExtraSettingsPath) : extra_.path());
    if (extra_.state() == ExtraLoad::Refused) {
        say(tr("%1 was refused at start (see the system log): shown are the defaults, not its contents.").arg(file));
    } else {
        labelState_->setText(tr("Saved in %1 (root's alone) when you press OK.").arg(file));
    }

    auto* right = new QVBoxLayout;
    right->addWidget(commands, 1);
    right->addWidget(delay);
    auto* middle = new QHBoxLayout;
    middle->addWidget(mail, 1);
    middle->addLayout(right, 1);
    auto* top = new QVBoxLayout(this);
    top->addWidget(ports);
    top->addLayout(middle);
    top->addWidget(labelState_);
    top->addLayout(okCancelRow(this, {"buttonOk", tr("OK"), "buttonCancel", tr("Cancel")}, false));

    fill(extraFields(extra_.settings()));
}

void CMoreSettings::fill(const ExtraFields& f) {
    editPorts_->setPlainText(joinLines(f.ports));
    comboSecurity_->setCurrentIndex(static_cast<int>(f.security));
    spinMailPort_->setValue(f.mailPort);
    comboAuth_->setCurrentIndex(static_cast<int>(f.auth));
    editUser_->setText(QString::fromStdString(f.user));
    editPassword_->setText(QString::fromStdString(f.password));
    editCaFile_->setText(QString::fromStdString(f.caFile));
    editCommands_->setPlainText(joinLines(f.commands));
    spinCommandTimeout_->setValue(f.commandTimeoutSec);
    spinOutageDelay_->setValue(f.outageDelaySec);
}

ExtraFields CMoreSettings::fields() const {
    ExtraFields f;
    f.ports = splitLines(editPorts_->toPlainText());
    f.security = static_cast<MailSecurity>(comboSecurity_->currentIndex());
    f.mailPort = spinMailPort_->value();
    f.auth = static_cast<MailAuth>(comboAuth_->currentIndex());
    f.user = editUser_->text().toStdString();
    f.password = editPassword_->text().toStdString();
    f.caFile = editCaFile_->text().toStdString();
    f.commands = splitLines(editCommands_->toPlainText());
    f.commandTimeoutSec = spinCommandTimeout_->value();
    f.outageDelaySec = spinOutageDelay_->value();
    return f;
}

QString CMoreSettings::stateText() const { return labelState_->text(); }

void CMoreSettings::say(const QString& text) {
    labelState_->setText(text);
    labelState_->setStyleSheet(QStringLiteral("color: #a00000"));
}

// Faults are said in the dialog itself, which stays open to mend them.
void CMoreSettings::accept() {
    ExtraSettings edited;
    std::string why;
    if (!extraFromFields(fields(), edited, why)) {
        say(QString::fromStdString(why));
        return;
    }
    if (extra_.state() == ExtraLoad::Refused && !replaceConfirmed_) {
        replaceConfirmed_ = true;
        say(tr("The file in place was refused at start: press OK again to replace it with these settings."));
        return;
    }
    if (!extra_.save(edited)) {
        say(extra_.path().empty()
                ? tr("There is no settings file to write.")
                : tr("%1 could not be written; the settings in force stay as they were (see the system log).")
                      .arg(QString::fromStdString(extra_.path())));
        return;
    }
    QDialog::accept();
}

}  // namespace qor::gui
