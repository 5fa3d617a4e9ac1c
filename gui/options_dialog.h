// The desktop options dialog: UPS times, warning texts and channels, e-mail
// and pager settings, and the event log. It edits the main window's settings
// record in place, and only when closed with OK.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

#include "event_log.h"
#include "extra_in_force.h"
#include "ups_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

namespace qor::gui {

class CUIMain;

// "%Y-%m-%d      %H:%M:%S" in local time (six blanks between date and time).
QString eventTimeText(int32_t time);

class Qor : public QDialog {
    Q_OBJECT
public:
    Qor(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, CUIMain* mainWindow);
    // The same on a record and event list of the caller's.
    Qor(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings& settings,
        const EventList& events, ExtraInForce* extra = nullptr);

    // Shows the dialog modally; on OK writes the widgets back. Always 1.
    int run();

    // "Send a test" sends a test notice with the settings as the dialog
    // shows them (edits not yet taken with OK included); without a starter
    // the button stays disabled.
    using TestStarter = std::function<void(QWidget* parent, const UpsSettings& shown)>;
    void setTestStarter(TestStarter starter);

public slots:
    void OnDialSetup();
    void OnDialup();
    void OnLan();
    void OnEmailMore();
    void OnPagerMore();
    void OnSendTest();
    // "More Settings...": the further settings of /etc/Qor.extra.
    void OnMoreSettings();

private:
    void build(const char* name, bool modal);
    QWidget* buildGeneral();
    QWidget* buildMessages();
    QWidget* buildEmail();
    QWidget* buildPager();
    QWidget* buildEventLog();
    void fill();
    void fillEventLog();
    void writeBack();
    UpsSettings shownSettings();

    UpsSettings& s_;
    const EventList& events_;
    ExtraInForce* extra_ = nullptr;  // none: no "More Settings..." button

    QTabWidget* tabs_ = nullptr;
    QLabel* labelUPS_ = nullptr;
    QSpinBox* spinExpBat_ = nullptr;
    QSpinBox* spinLowBat_ = nullptr;
    QSpinBox* spinPeriodWar_ = nullptr;
    QLineEdit* editACFail_ = nullptr;
    QLineEdit* editLowBat_ = nullptr;
    QLineEdit* edtiACRecoveried_ = nullptr;
    QCheckBox* checkACFail1_ = nullptr;
    QCheckBox* checkACFail2_ = nullptr;
    QCheckBox* checkLowBat1_ = nullptr;
    QCheckBox* checkLowBat2_ = nullptr;
    QCheckBox* checkACRecovery_ = nullptr;
    QCheckBox* checkRecoveried2_ = nullptr;
    QLineEdit* editACFailSuf_ = nullptr;
    QLineEdit* editLowBatSuf_ = nullptr;
    QLineEdit* editACRecoveriedSuf_ = nullptr;
    QRadioButton* radioLan_ = nullptr;
    QRadioButton* radioDialup_ = nullptr;
    QPushButton* dialSetup_ = nullptr;
    QLineEdit* editName_ = nullptr;
    QLineEdit* editEmail_ = nullptr;
    QLineEdit* editSmtp_ = nullptr;
    QCheckBox* checkEnableMail_ = nullptr;
    QLineEdit* editPagerNumber_ = nullptr;
    QCheckBox* checkEnablePager_ = nullptr;
    QComboBox* comboPort_ = nullptr;
    QComboBox* comboBaud_ = nullptr;
    QComboBox* comboDatabit_ = nullptr;
    QComboBox* comboStopbit_ = nullptr;
    QComboBox* comboParity_ = nullptr;
    QTreeWidget* listEvent_ = nullptr;
    QPushButton* sendTest_ = nullptr;
    TestStarter testStarter_;
};

}  // namespace qor::gui
