#include "options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <ctime>

#include "address_lists.h"
#include "cui_main.h"
#include "dialog_widgets.h"
#include "field_text.h"
#include "modem_setting.h"
#include "more_settings.h"
#include "qt3_font.h"

namespace qor::gui {

QString eventTimeText(int32_t time) {
    std::time_t t = time;
    struct tm local {};
    if (localtime_r(&t, &local) == nullptr) return QString();
    char buf[64];
    size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d      %H:%M:%S", &local);
    return QString::fromLatin1(buf, static_cast<qsizetype>(n));
}

namespace {

QSpinBox* timeSpin(const char* name) {
    QSpinBox* spin = named<QSpinBox>(name);
    spin->setRange(0, 999);
    return spin;
}

}  // namespace

Qor::Qor(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, CUIMain* mainWindow)
    : QDialog(parent, fl), s_(mainWindow->settings()), events_(mainWindow->eventList()),
      extra_(&mainWindow->extra()) {
    build(name, modal);
}

Qor::Qor(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl, UpsSettings& settings,
         const EventList& events, ExtraInForce* extra)
    : QDialog(parent, fl), s_(settings), events_(events), extra_(extra) {
    build(name, modal);
}

void Qor::build(const char* name, bool modal) {
    setObjectName(QString::fromLatin1(name != nullptr ? name : "Qor"));
    setModal(modal);
    setWindowTitle(tr("Brantel HalvoraQor Option"));
    setFont(qt3Font("time", 11));
    setFixedSize(575, 381);

    tabs_ = named<QTabWidget>("TabWidget2");
    tabs_->addTab(buildGeneral(), tr("General"));
    tabs_->addTab(buildMessages(), tr("Message Setting"));
    tabs_->addTab(buildEmail(), tr("E-Mail Setting "));
    tabs_->addTab(buildPager(), tr("Pager Setting"));
    tabs_->addTab(buildEventLog(), tr("Event Log"));

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    top->addWidget(tabs_);
    QHBoxLayout* buttons = okCancelRow(this, {"PushButton1_4", tr("OK"), "PushButton1", tr("Cancel")}, true, 40);
    sendTest_ = named<QPushButton>("SendTest", tr("Send a test"));
    sendTest_->setAutoDefault(false);
    sendTest_->setEnabled(false);
    connect(sendTest_, &QPushButton::clicked, this, &Qor::OnSendTest);
    buttons->insertWidget(0, sendTest_);
    top->addLayout(buttons);

    fill();
    fillEventLog();
}

QWidget* Qor::buildGeneral() {
    QWidget* page = named<QWidget>("tab");
    labelUPS_ = named<QLabel>("labelUPS");
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel(tr("Current UPS is installed on:")));
    portRow->addWidget(labelUPS_, 1);

    QGroupBox* group = new QGroupBox(tr("Characteristics"));
    spinExpBat_ = timeSpin("spinExpBat");
    spinLowBat_ = timeSpin("spinLowBat");
    spinPeriodWar_ = timeSpin("spinPeriodWar");
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Expected Battery Life:")), 0, 0);
    grid->addWidget(spinExpBat_, 0, 1);
    grid->addWidget(new QLabel(tr("Min")), 0, 2);
    grid->addWidget(new QLabel(tr("Battery Life when battery low:")), 1, 0);
    grid->addWidget(spinLowBat_, 1, 1);
    grid->addWidget(new QLabel(tr("Min")), 1, 2);
    grid->addWidget(new QLabel(tr("Period Count down:")), 2, 0);
    grid->addWidget(spinPeriodWar_, 2, 1);
    grid->addWidget(new QLabel(tr("Sec")), 2, 2);
    grid->setColumnStretch(3, 1);

    auto* v = new QVBoxLayout(page);
    v->addLayout(portRow);
    v->addSpacing(10);
    v->addWidget(group);
    v->addStretch();
    if (extra_ != nullptr) {
        auto* moreRow = new QHBoxLayout;
        moreRow->addWidget(new QLabel(tr("Further ports, secure mail, commands, outage delay:")));
        QPushButton* more = named<QPushButton>("MoreSettings", tr("More Settings..."));
        connect(more, &QPushButton::clicked, this, &Qor::OnMoreSettings);
        moreRow->addWidget(more);
        moreRow->addStretch();
        v->addLayout(moreRow);
    }
    return page;
}

QWidget* Qor::buildMessages() {
    QWidget* page = named<QWidget>("tab_2");
    QGroupBox* group = new QGroupBox(tr("Message"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Email")), 0, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(tr("Pager")), 0, 3, Qt::AlignCenter);
    grid->addWidget(new QLabel(tr("Suffix")), 0, 4, Qt::AlignCenter);

    editACFail_ = named<QLineEdit>("editACFail");
    editLowBat_ = named<QLineEdit>("editLowBat");
    edtiACRecoveried_ = named<QLineEdit>("edtiACRecoveried");
    checkACFail1_ = named<QCheckBox>("checkACFail1");
    checkACFail2_ = named<QCheckBox>("checkACFail2");
    checkLowBat1_ = named<QCheckBox>("checkLowBat1");
    checkLowBat2_ = named<QCheckBox>("checkLowBat2");
    checkACRecovery_ = named<QCheckBox>("checkACRecovery");
    checkRecoveried2_ = named<QCheckBox>("checkRecoveried2");
    editACFailSuf_ = named<QLineEdit>("editACFailSuf");
    editLowBatSuf_ = named<QLineEdit>("editLowBatSuf");
    editACRecoveriedSuf_ = named<QLineEdit>("editACRecoveriedSuf");

    struct Row {
        QString label;
        QLineEdit* text;
        QCheckBox* mail;
        QCheckBox* pager;
        QLineEdit* suffix;
    } rows[] = {
        {tr("AC Fail Warning"), editACFail_, checkACFail1_, checkACFail2_, editACFailSuf_},
        {tr("Low Battery Warning"), editLowBat_, checkLowBat1_, checkLowBat2_, editLowBatSuf_},
        {tr("AC Recoveried Warning"), edtiACRecoveried_, checkACRecovery_, checkRecoveried2_,
         editACRecoveriedSuf_},
    };
    int r = 1;
    for (const Row& row : rows) {
        grid->addWidget(new QLabel(row.label), r, 0);
        grid->addWidget(row.text, r, 1);
        grid->addWidget(row.mail, r, 2, Qt::AlignCenter);
        grid->addWidget(row.pager, r, 3, Qt::AlignCenter);
        row.suffix->setMaximumWidth(60);
        grid->addWidget(row.suffix, r, 4);
        ++r;
    }
    grid->setColumnStretch(1, 1);
    auto* v = new QVBoxLayout(page);
    v->addWidget(group);
    v->addStretch();
    return page;
}

QWidget* Qor::buildEmail() {
    QWidget* page = named<QWidget>("tab_3");

    QGroupBox* connectBox = new QGroupBox(tr("Connect"));
    radioLan_ = named<QRadioButton>("radioLan", tr("Always Connect to Internet"));
    radioDialup_ = named<QRadioButton>("radioDialup", tr("Use Dialup Account"));
    dialSetup_ = named<QPushButton>("DialSetup", tr("Dialup Setup"));
    auto* cgrid = new QGridLayout(connectBox);
    cgrid->addWidget(radioLan_, 0, 0);
    cgrid->addWidget(radioDialup_, 1, 0);
    cgrid->addWidget(dialSetup_, 1, 1);
    cgrid->setColumnStretch(2, 1);
    connect(radioDialup_, &QRadioButton::clicked, this, &Qor::OnDialup);
    connect(radioLan_, &QRadioButton::clicked, this, &Qor::OnLan);
    connect(dialSetup_, &QPushButton::clicked, this, &Qor::OnDialSetup);

    QGroupBox* addressBox = new QGroupBox(tr("Address"));
    editName_ = named<QLineEdit>("editName");
    editEmail_ = named<QLineEdit>("editEmail");
    QPushButton* more = named<QPushButton>("EmailMore", tr("More"));
    connect(more, &QPushButton::clicked, this, &Qor::OnEmailMore);
    auto* agrid = new QGridLayout(addressBox);
    agrid->addWidget(new QLabel(tr("Name:")), 0, 0);
    agrid->addWidget(editName_, 0, 1);
    agrid->addWidget(new QLabel(tr("Email Address:")), 0, 2);
    agrid->addWidget(editEmail_, 0, 3);
    agrid->addWidget(more, 0, 4);
    agrid->setColumnStretch(3, 1);

    editSmtp_ = named<QLineEdit>("editSmtp");
    auto* smtpRow = new QHBoxLayout;
    smtpRow->addWidget(new QLabel(tr("SMTP Server:")));
    smtpRow->addWidget(editSmtp_, 1);
    checkEnableMail_ = named<QCheckBox>("checkEnableMail", tr("Enable E-Mail notification"));

    auto* v = new QVBoxLayout(page);
    v->addWidget(connectBox);
    v->addWidget(addressBox);
    v->addLayout(smtpRow);
    v->addWidget(checkEnableMail_);
    v->addStretch();
    return page;
}

QWidget* Qor::buildPager() {
    QWidget* page = named<QWidget>("tab_4");

    QGroupBox* numberBox = new QGroupBox(tr("Pager Number"));
    editPagerNumber_ = named<QLineEdit>("editPagerNumber");
    QPushButton* more = named<QPushButton>("PagerMore", tr("More"));
    connect(more, &QPushButton::clicked, this, &Qor::OnPagerMore);
    auto* nrow = new QHBoxLayout(numberBox);
    nrow->addWidget(new QLabel(tr("Pager Number:")));
    nrow->addWidget(editPagerNumber_, 1);
    nrow->addWidget(more);

    checkEnablePager_ = named<QCheckBox>("checkEnablePager", tr("Enable Pager notification"));

    QGroupBox* modemBox = new QGroupBox(tr("Modem Setting"));
    comboPort_ = portCombo("comboPort");
    comboBaud_ = namedCombo("comboBaud", {"2400", "4800", "9600", "115200"});
    comboDatabit_ = namedCombo("comboDatabit", {"8", "5", "6", "7"});
    comboStopbit_ = namedCombo("comboStopbit", {"1", "1.5", "2"});
    comboParity_ = namedCombo("comboParity", {"NONE", "ODD", "EVEN"});
    auto* mgrid = new QGridLayout(modemBox);
    mgrid->addWidget(new QLabel(tr("COM Port:")), 0, 0);
    mgrid->addWidget(comboPort_, 0, 1);
    mgrid->addWidget(new QLabel(tr("BaudRate:")), 0, 2);
    mgrid->addWidget(comboBaud_, 0, 3);
    mgrid->addWidget(new QLabel(tr("Data bit:")), 1, 0);
    mgrid->addWidget(comboDatabit_, 1, 1);
    mgrid->addWidget(new QLabel(tr("Stop Bit:")), 1, 2);
    mgrid->addWidget(comboStopbit_, 1, 3);
    mgrid->addWidget(new QLabel(tr("Parity Bit:")), 2, 0);
    mgrid->addWidget(comboParity_, 2, 1);

    auto* v = new QVBoxLayout(page);
    v->addWidget(numberBox);
    v->addWidget(checkEnablePager_);
    v->addWidget(modemBox);
    v->addStretch();
    return page;
}

QWidget* Qor::buildEventLog() {
    QWidget* page = named<QWidget>("tab_5");
    listEvent_ = named<QTreeWidget>("listEvent");
    listEvent_->setColumnCount(3);
    listEvent_->setHeaderLabels({tr("NO."), tr("Time"), tr("Event")});
    listEvent_->setRootIsDecorated(false);
    listEvent_->setUniformRowHeights(true);
    listEvent_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* v = new QVBoxLayout(page);
    v->addWidget(listEvent_);
    return page;
}

void Qor::fill() {
    labelUPS_->setText(fieldText(s_.upsPort));
    spinExpBat_->setValue(s_.expBatMin);
    spinLowBat_->setValue(s_.lowBatMin);
    spinPeriodWar_->setValue(s_.periodSec);

    editACFail_->setText(fieldText(s_.msgAcFail));
    editLowBat_->setText(fieldText(s_.msgLowBat));
    edtiACRecoveried_->setText(fieldText(s_.msgAcRecoveried));
    editACFailSuf_->setText(fieldText(s_.sufAcFail));
    editLowBatSuf_->setText(fieldText(s_.sufLowBat));
    editACRecoveriedSuf_->setText(fieldText(s_.sufAcRecoveried));
    QCheckBox* flags[6] = {checkACFail1_, checkACFail2_,    checkLowBat1_,
                           checkLowBat2_, checkACRecovery_, checkRecoveried2_};
    for (int i = 0; i < 6; ++i) flags[i]->setChecked(s_.notifyFlags[i] != 0);

    const bool dialup = s_.connectMode != 0;
    radioLan_->setChecked(!dialup);
    radioDialup_->setChecked(dialup);
    dialSetup_->setEnabled(dialup);
    editName_->setText(fieldText(s_.mailNames[0]));
    editEmail_->setText(fieldText(s_.mailAddrs[0]));
    editSmtp_->setText(fieldText(s_.smtpServer));
    checkEnableMail_->setChecked(s_.mailEnable != 0);

    editPagerNumber_->setText(fieldText(s_.pagerNumbers[0]));
    checkEnablePager_->setChecked(s_.pagerEnable != 0);
    selectIndex(comboPort_, s_.pagerPort);
    selectIndex(comboBaud_, s_.pagerBaud);
    selectIndex(comboDatabit_, s_.pagerDataBits);
    selectIndex(comboStopbit_, s_.pagerStopBits);
    selectIndex(comboParity_, s_.pagerParity);
}

void Qor::fillEventLog() {
    // Entry 1 is the newest; the rows read 1, 2, 3... from the top.
    for (size_t i = 0; i < events_.size() && i < kMaxEvents; ++i) {
        const qor::event& e = events_.at(i);
        auto* item = new QTreeWidgetItem(listEvent_);
        item->setText(0, QString::number(i + 1));
        item->setText(1, eventTimeText(e.time));
        item->setText(2, QString::fromLatin1(eventDisplayName(e.kind)));
    }
}

void Qor::writeBack() {
    s_.expBatMin = spinExpBat_->value();
    s_.lowBatMin = spinLowBat_->value();
    s_.periodSec = spinPeriodWar_->value();
    storeField(s_.msgAcFail, editACFail_->text());
    storeField(s_.msgLowBat, editLowBat_->text());
    storeField(s_.msgAcRecoveried, edtiACRecoveried_->text());
    storeField(s_.sufAcFail, editACFailSuf_->text());
    storeField(s_.sufLowBat, editLowBatSuf_->text());
    storeField(s_.sufAcRecoveried, editACRecoveriedSuf_->text());
    QCheckBox* flags[6] = {checkACFail1_, checkACFail2_,    checkLowBat1_,
                           checkLowBat2_, checkACRecovery_, checkRecoveried2_};
    for (int i = 0; i < 6; ++i) s_.notifyFlags[i] = flags[i]->isChecked() ? 1 : 0;
    s_.mailEnable = checkEnableMail_->isChecked() ? 1 : 0;
    if (radioLan_->isChecked()) s_.connectMode = 0;
    if (radioDialup_->isChecked()) s_.connectMode = 1;
    storeField(s_.smtpServer, editSmtp_->text());
    storeField(s_.mailNames[0], editName_->text());
    storeField(s_.mailAddrs[0], editEmail_->text());
    s_.pagerEnable = checkEnablePager_->isChecked() ? 1 : 0;
    s_.pagerPort = comboPort_->currentIndex();
    s_.pagerBaud = comboBaud_->currentIndex();
    s_.pagerDataBits = comboDatabit_->currentIndex();
    s_.pagerStopBits = comboStopbit_->currentIndex();
    s_.pagerParity = comboParity_->currentIndex();
    storeField(s_.pagerNumbers[0], editPagerNumber_->text());
}

UpsSettings Qor::shownSettings() {
    // writeBack is the one reading of the widgets: run it on the record and
    // put the record back as it was.
    UpsSettings kept = s_;
    writeBack();
    UpsSettings shown = s_;
    s_ = kept;
    return shown;
}

void Qor::setTestStarter(TestStarter starter) {
    testStarter_ = std::move(starter);
    sendTest_->setEnabled(static_cast<bool>(testStarter_));
}

void Qor::OnSendTest() {
    if (testStarter_) testStarter_(this, shownSettings());
}

int Qor::run() {
    if (exec() == QDialog::Accepted) writeBack();
    return 1;
}

void Qor::OnDialSetup() {
    CModemSetting dialog(this, "modem setting", true, Qt::WindowFlags(), &s_);
    dialog.run();
}

void Qor::OnDialup() {
    radioLan_->setChecked(false);
    dialSetup_->setEnabled(radioDialup_->isChecked());
}

void Qor::OnLan() { radioDialup_->setChecked(false); }

void Qor::OnEmailMore() {
    CEmailMore dialog(this, "Email Settings", true, Qt::WindowFlags(), &s_);
    dialog.run();
}

void Qor::OnPagerMore() {
    CPagerMore dialog(this, "Pager Settings", true, Qt::WindowFlags(), &s_);
    dialog.run();
}

void Qor::OnMoreSettings() {
    if (extra_ == nullptr) return;
    CMoreSettings dialog(this, "More Settings", *extra_);
    dialog.exec();
}

}  // namespace qor::gui
