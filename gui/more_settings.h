// "More Settings": what /etc/Qor.extra holds (further ports, secure mail,
// commands, the outage delay), opened from the options. It writes the file
// itself when closed with OK, and the settings are in force from then on.
#pragma once

#include <QDialog>

#include "extra_form.h"
#include "extra_in_force.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace qor::gui {

class CMoreSettings : public QDialog {
    Q_OBJECT
public:
    CMoreSettings(QWidget* parent, const char* name, ExtraInForce& extra);

    // The values shown (also for tests, which fill and read the widgets).
    ExtraFields fields() const;

    // Checks the values, asks before replacing a refused file, saves. On a
    // fault the dialog stays open and says why.
    void accept() override;
    QString stateText() const;

private:
    void fill(const ExtraFields& f);
    void say(const QString& text);

    ExtraInForce& extra_;
    QPlainTextEdit* editPorts_ = nullptr;
    QComboBox* comboSecurity_ = nullptr;
    QSpinBox* spinMailPort_ = nullptr;
    QComboBox* comboAuth_ = nullptr;
    QLineEdit* editUser_ = nullptr;
    QLineEdit* editPassword_ = nullptr;
    QLineEdit* editCaFile_ = nullptr;
    QPlainTextEdit* editCommands_ = nullptr;
    QSpinBox* spinCommandTimeout_ = nullptr;
    QSpinBox* spinOutageDelay_ = nullptr;
    QLabel* labelState_ = nullptr;
    bool replaceConfirmed_ = false;
};

}  // namespace qor::gui
