// The options dialog and its sub-dialogs on a settings record of the test's.
#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "address_lists.h"
#include "gui_fakes.h"
#include "modem_setting.h"
#include "more_settings.h"
#include "options_dialog.h"
#include "settings_file.h"
#ifdef QOR_HAVE_NOTIFY
#include <QProgressBar>

#include "test_notice_dialog.h"
#endif

namespace qor::gui::test {
namespace {

template <class W>
W* child(QWidget* d, const char* name) {
    W* w = d->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

UpsSettings defaults() {
    UpsSettings s;
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Desktop);
    return s;
}

void saveArtifact(QWidget* w, const char* name) {
    QDir().mkpath(QStringLiteral(QOR_TEST_ARTIFACT_DIR));
    w->grab().save(QStringLiteral(QOR_TEST_ARTIFACT_DIR "/%1.png").arg(QLatin1String(name)));
}

TEST(OptionsDialog, FillsFromTheRecordAndWritesBackOnlyOnOk) {
    UpsSettings s = defaults();
    setText(s.upsPort, "/dev/ttyS1");
    s.notifyFlags[3] = 0;
    setText(s.mailAddrs[0], "ops@example.org");
    s.pagerBaud = 1;
    EventList events;
    Qor d(nullptr, nullptr, true, Qt::WindowFlags(), s, events);
    EXPECT_EQ(d.objectName(), QStringLiteral("Qor"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Brantel HalvoraQor Option"));
    EXPECT_EQ(d.size(), QSize(575, 381));
    auto* tabs = child<QTabWidget>(&d, "TabWidget2");
    ASSERT_EQ(tabs->count(), 5);
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("E-Mail Setting "));
    const char* pages[] = {"tab", "tab_2", "tab_3", "tab_4", "tab_5"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tabs->widget(i)->objectName(), QLatin1String(pages[i]));

    EXPECT_EQ(child<QLabel>(&d, "labelUPS")->text(), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(child<QSpinBox>(&d, "spinExpBat")->value(), 10);
    EXPECT_EQ(child<QSpinBox>(&d, "spinPeriodWar")->maximum(), 999);
    EXPECT_EQ(child<QLineEdit>(&d, "edtiACRecoveried")->text(), QStringLiteral("AC Recoveried!"));
    EXPECT_TRUE(child<QCheckBox>(&d, "checkLowBat1")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(&d, "checkLowBat2")->isChecked());
    EXPECT_EQ(child<QLineEdit>(&d, "editEmail")->text(), QStringLiteral("ops@example.org"));
    EXPECT_EQ(child<QComboBox>(&d, "comboBaud")->currentText(), QStringLiteral("4800"));
    EXPECT_EQ(child<QComboBox>(&d, "comboPort")->currentText(), QStringLiteral("NONE"));
    tabs->setCurrentIndex(1);
    d.show();
    saveArtifact(&d, "options_messages");
    tabs->setCurrentIndex(3);
    saveArtifact(&d, "options_pager");
    tabs->setCurrentIndex(0);
    saveArtifact(&d, "options_general");
    d.hide();

    // Cancel writes nothing.
    UpsSettings before = s;
    child<QSpinBox>(&d, "spinExpBat")->setValue(25);
    onNextModal([](QDialog* dlg) { dlg->reject(); });
    EXPECT_EQ(d.run(), 1);
    EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0);

    // OK writes every field it shows; long texts keep their first 255 characters.
    child<QLineEdit>(&d, "editACFail")->setText(QString(300, QChar('x')));
    child<QCheckBox>(&d, "checkACRecovery")->setChecked(false);
    child<QLineEdit>(&d, "editSmtp")->setText(QStringLiteral("mail.example.org"));
    child<QComboBox>(&d, "comboParity")->setCurrentIndex(2);
    child<QLineEdit>(&d, "editPagerNumber")->setText(QStringLiteral("555-0100"));
    child<QCheckBox>(&d, "checkEnablePager")->setChecked(true);
    onNextModal([](QDialog* dlg) { dlg->accept(); });
    EXPECT_EQ(d.run(), 1);
    EXPECT_EQ(s.expBatMin, 25);
    EXPECT_EQ(std::strlen(s.msgAcFail), 255u);
    EXPECT_EQ(s.notifyFlags[4], 0);
    EXPECT_EQ(s.notifyFlags[3], 0);
    EXPECT_EQ(s.notifyFlags[0], 1);
    EXPECT_STREQ(s.smtpServer, "mail.example.org");
    EXPECT_EQ(s.pagerParity, 2);
    EXPECT_EQ(s.pagerPort, 4);
    EXPECT_STREQ(s.pagerNumbers[0], "555-0100");
    EXPECT_EQ(s.pagerEnable, 1);
    EXPECT_EQ(s.connectMode, 1);
    // Fields the dialog does not show keep their values.
    EXPECT_STREQ(s.msgConnectFail, "Connect Fail!");
    EXPECT_EQ(s.notifyFlags[6], 1);
    EXPECT_EQ(s.notifyFlags[7], 1);
}

TEST(OptionsDialog, ConnectRadiosDriveTheDialupButton) {
    UpsSettings s = defaults();
    s.connectMode = 0;
    EventList events;
    Qor d(nullptr, "x", true, Qt::WindowFlags(), s, events);
    auto* lan = child<QRadioButton>(&d, "radioLan");
    auto* dialup = child<QRadioButton>(&d, "radioDialup");
    auto* setup = child<QPushButton>(&d, "DialSetup");
    EXPECT_TRUE(lan->isChecked());
    EXPECT_FALSE(dialup->isChecked());
    EXPECT_FALSE(setup->isEnabled());
    d.show();
    child<QTabWidget>(&d, "TabWidget2")->setCurrentIndex(2);
    QTest::mouseClick(dialup, Qt::LeftButton);
    EXPECT_TRUE(dialup->isChecked());
    EXPECT_FALSE(lan->isChecked());
    EXPECT_TRUE(setup->isEnabled());
    saveArtifact(&d, "options_email");
    QTest::mouseClick(lan, Qt::LeftButton);
    EXPECT_TRUE(lan->isChecked());
    EXPECT_FALSE(dialup->isChecked());
    EXPECT_TRUE(setup->isEnabled());  // left as it was
    onNextModal([](QDialog* dlg) { dlg->accept(); });
    d.run();
    EXPECT_EQ(s.connectMode, 0);
}

TEST(OptionsDialog, EventLogRowsNumberedNewestFirstWithBlankUnknownKinds) {
    UpsSettings s = defaults();
    EventList events;
    events.recordEvent(EvAcFail, 1700000000);
    events.recordEvent(7, 1700000060);
    events.recordEvent(EvAcRecoveried, 1700000120);  // the newest
    Qor d(nullptr, nullptr, true, Qt::WindowFlags(), s, events);
    auto* list = child<QTreeWidget>(&d, "listEvent");
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("NO."));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Time"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Event"));
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const char* kinds[] = {"AC Recoveried", "", "AC Fail"};
    const int32_t times[] = {1700000120, 1700000060, 1700000000};
    for (int row = 0; row < 3; ++row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        EXPECT_EQ(item->text(0), QString::number(row + 1));
        EXPECT_EQ(item->text(1), eventTimeText(times[row]));
        EXPECT_EQ(item->text(2), QLatin1String(kinds[row]));
    }
    d.show();
    child<QTabWidget>(&d, "TabWidget2")->setCurrentIndex(4);
    saveArtifact(&d, "options_event_log");
}

TEST(OptionsDialog, EventTimeFormatHasSixBlanks) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(eventTimeText(0), QStringLiteral("1970-01-01      00:00:00"));
    EXPECT_EQ(eventTimeText(1700000000), QStringLiteral("2023-11-14      22:13:20"));
}

TEST(OptionsDialog, SubDialogChangesStayWhenTheOptionsDialogIsCancelled) {
    UpsSettings s = defaults();
    EventList events;
    Qor d(nullptr, nullptr, true, Qt::WindowFlags(), s, events);
    QString seen;
    // Inside the options dialog: open "Dialup Setup", change the user, OK; then cancel the options.
    onNextModal([&](QDialog* opts) {
        QTimer::singleShot(0, [&] {
            auto* modem = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(modem, nullptr);
            seen = modem->objectName();
            modem->findChild<QLineEdit*>("LineEdit1")->setText(QStringLiteral("dialer"));
            modem->accept();
        });
        opts->findChild<QPushButton*>("DialSetup")->click();
        opts->reject();
    });
    d.run();
    EXPECT_EQ(seen, QStringLiteral("modem setting"));
    EXPECT_STREQ(s.dialUser, "dialer");
}

TEST(OptionsDialog, SendATestTakesTheSettingsAsShownAndIsOffWithoutAStarter) {
    UpsSettings s = defaults();
    setText(s.mailAddrs[0], "old@example.org");
    EventList events;
    Qor d(nullptr, nullptr, true, Qt::WindowFlags(), s, events);
    auto* send = child<QPushButton>(&d, "SendTest");
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(send->text(), QStringLiteral("Send a test"));
    EXPECT_FALSE(send->isEnabled());
    std::string sentTo;
    int mailOn = -1;
    d.setTestStarter([&](QWidget*, const UpsSettings& shown) {
        sentTo = shown.mailAddrs[0];
        mailOn = shown.mailEnable;
    });
    EXPECT_TRUE(send->isEnabled());
    child<QLineEdit>(&d, "editEmail")->setText(QStringLiteral("new@example.org"));
    child<QCheckBox>(&d, "checkEnableMail")->setChecked(true);
    send->click();
    EXPECT_EQ(sentTo, "new@example.org");  // what the dialog shows, not yet taken
    EXPECT_EQ(mailOn, 1);
    EXPECT_STREQ(s.mailAddrs[0], "old@example.org");
    EXPECT_EQ(s.mailEnable, 0);
}

#ifdef QOR_HAVE_NOTIFY
TEST(TestNoticeDialog, ShowsProgressThenAResultPerRecipientWithTheServersWords) {
    TestItem mail;
    mail.target = "bob@example.org";
    TestItem cmd;
    cmd.channel = TestItem::Command;
    cmd.target = "/usr/local/sbin/tell-chat";
    auto progress = std::make_shared<TestNoticeProgress>(std::vector<TestItem>{mail, cmd});
    TestNoticeDialog d(nullptr, progress);
    auto* list = child<QTreeWidget>(&d, "TestResults");
    auto* head = child<QLabel>(&d, "TestHead");
    auto* bar = child<QProgressBar>(&d, "TestProgress");
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("waiting"));
    EXPECT_EQ(bar->value(), 0);

    mail.state = TestItem::Refused;
    mail.detail = "550 5.1.1 <bob@example.org>: Recipient address rejected";
    progress->set(0, mail);
    d.refresh();
    EXPECT_EQ(bar->value(), 1);
    EXPECT_TRUE(head->text().startsWith(QStringLiteral("Sending")));
    cmd.state = TestItem::Delivered;
    cmd.detail = "exit status 0";
    progress->set(1, cmd);
    progress->finish();
    d.refresh();
    ASSERT_EQ(list->topLevelItemCount(), 4);  // each result, then its words
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("bob@example.org"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("refused"));
    EXPECT_EQ(list->topLevelItem(1)->text(0).trimmed(),
              QStringLiteral("550 5.1.1 <bob@example.org>: Recipient address rejected"));
    EXPECT_EQ(list->topLevelItem(2)->text(2), QStringLiteral("delivered"));
    EXPECT_EQ(head->text(), QStringLiteral("Test finished: 1 of 2 delivered."));
    EXPECT_EQ(bar->value(), 2);

    TestNoticeDialog none(nullptr, nullptr);
    EXPECT_TRUE(child<QLabel>(&none, "TestHead")->text().startsWith(QStringLiteral("Nothing to test")));
}
#endif

TEST(ModemSetting, PasswordHiddenDynamicStaticRulesAndIpAddress3Reset) {
    UpsSettings s = defaults();
    setText(s.dialPassword, "s3cret");
    setText(s.ipAddress3, "10.1.2.3");
    s.modemSpeed = 6;
    CModemSetting d(nullptr, nullptr, true, Qt::WindowFlags(), &s);
    EXPECT_EQ(d.objectName(), QStringLiteral("CModemSetting"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Modem Setting"));
    EXPECT_EQ(d.size(), QSize(465, 273));
    auto* password = child<QLineEdit>(&d, "editPassword");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_NE(password->displayText(), QStringLiteral("s3cret"));
    EXPECT_EQ(child<QComboBox>(&d, "comboSpeed")->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(child<QComboBox>(&d, "comboDevice")->currentText(), QStringLiteral("NONE"));
    EXPECT_EQ(child<QSpinBox>(&d, "spinTimeout")->value(), 40);

    auto* dynamic = child<QCheckBox>(&d, "checkDynamic");
    auto* stat = child<QCheckBox>(&d, "checkStatic");
    auto* ip = child<QLineEdit>(&d, "editIP");
    auto* mask = child<QLineEdit>(&d, "editMask");
    EXPECT_TRUE(dynamic->isChecked());
    EXPECT_FALSE(ip->isEnabled());
    EXPECT_FALSE(mask->isEnabled());
    d.show();
    d.findChild<QTabWidget*>()->setCurrentIndex(3);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    ASSERT_TRUE(stat->isVisible());
    QTest::mouseClick(stat, Qt::LeftButton, Qt::NoModifier, QPoint(8, stat->height() / 2));
    EXPECT_TRUE(stat->isChecked());
    EXPECT_FALSE(dynamic->isChecked());
    EXPECT_TRUE(ip->isEnabled());
    EXPECT_TRUE(mask->isEnabled());
    saveArtifact(&d, "modem_ip");
    ip->setText(QStringLiteral("192.0.2.7"));

    // Cancel writes nothing, not even ipAddress3.
    onNextModal([](QDialog* dlg) { dlg->reject(); });
    d.run();
    EXPECT_STREQ(s.ipAddress3, "10.1.2.3");
    EXPECT_EQ(s.dynamicIp, 1);

    onNextModal([](QDialog* dlg) { dlg->accept(); });
    d.run();
    EXPECT_STREQ(s.ipAddress3, "0.0.0.0");
    EXPECT_EQ(s.dynamicIp, 0);
    EXPECT_STREQ(s.ipAddress, "192.0.2.7");
    EXPECT_STREQ(s.dialPassword, "s3cret");
    EXPECT_EQ(s.modemSpeed, 6);

    // Clicking "Dynamic" disables the edits again; they are still stored as typed.
    QTest::mouseClick(dynamic, Qt::LeftButton, Qt::NoModifier, QPoint(8, dynamic->height() / 2));
    EXPECT_FALSE(stat->isChecked());
    EXPECT_FALSE(ip->isEnabled());
    mask->setText(QStringLiteral("255.255.255.0"));
    onNextModal([](QDialog* dlg) { dlg->accept(); });
    d.run();
    EXPECT_EQ(s.dynamicIp, 1);
    EXPECT_STREQ(s.subnetMask, "255.255.255.0");
}

TEST(ModemSetting, StaticStoredStartsWithNeitherBoxChecked) {
    UpsSettings s = defaults();
    s.dynamicIp = 0;
    CModemSetting d(nullptr, "m", true, Qt::WindowFlags(), &s);
    EXPECT_FALSE(child<QCheckBox>(&d, "checkDynamic")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(&d, "checkStatic")->isChecked());
    EXPECT_TRUE(child<QLineEdit>(&d, "editIP")->isEnabled());
}

TEST(AddressLists, RowsTwoToTenFillSlotsOneToNine) {
    UpsSettings s = defaults();
    setText(s.mailNames[0], "first");
    setText(s.mailAddrs[0], "first@example.org");
    setText(s.mailNames[1], "second");
    setText(s.mailAddrs[9], "tenth@example.org");
    std::memset(s.mailNames[2], 'Q', sizeof s.mailNames[2] - 1);  // a long stored text
    CEmailMore d(nullptr, "Email Settings", true, Qt::WindowFlags(), &s);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Email Settings"));
    EXPECT_EQ(d.size(), QSize(600, 350));
    QList<QLineEdit*> edits = d.findChildren<QLineEdit*>("edit");
    ASSERT_EQ(edits.size(), 18);
    // Rows at y = 20 + 30r: name then address.
    EXPECT_EQ(edits[0]->geometry(), QRect(120, 20, 100, 20));
    EXPECT_EQ(edits[1]->geometry(), QRect(360, 20, 190, 20));
    EXPECT_EQ(edits[17]->geometry(), QRect(360, 260, 190, 20));
    EXPECT_EQ(edits[0]->text(), QStringLiteral("second"));
    EXPECT_EQ(edits[17]->text(), QStringLiteral("tenth@example.org"));
    d.show();
    saveArtifact(&d, "email_more");

    edits[0]->clear();
    edits[2]->setText(QStringLiteral("x"));
    onNextModal([](QDialog* dlg) { dlg->findChild<QPushButton*>("OK")->click(); });
    EXPECT_EQ(d.run(), 1);
    // A cleared edit leaves all 256 bytes zero; a shorter text zero-fills the rest.
    const char zero[kTextLen] = {};
    EXPECT_EQ(std::memcmp(s.mailNames[1], zero, kTextLen), 0);
    EXPECT_STREQ(s.mailNames[2], "x");
    EXPECT_EQ(std::memcmp(s.mailNames[2] + 1, zero, kTextLen - 1), 0);
    EXPECT_STREQ(s.mailNames[0], "first");
    EXPECT_STREQ(s.mailAddrs[0], "first@example.org");
    EXPECT_STREQ(s.mailAddrs[9], "tenth@example.org");

    // Cancel writes nothing but still answers 1.
    edits[17]->clear();
    onNextModal([](QDialog* dlg) { dlg->reject(); });
    EXPECT_EQ(d.run(), 1);
    EXPECT_STREQ(s.mailAddrs[9], "tenth@example.org");
}

TEST(AddressLists, PagerNumbersTwoToTen) {
    UpsSettings s = defaults();
    setText(s.pagerNumbers[0], "100");
    setText(s.pagerNumbers[1], "200");
    CPagerMore d(nullptr, "Pager Settings", true, Qt::WindowFlags(), &s);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Pager Settings"));
    EXPECT_EQ(d.size(), QSize(400, 350));
    QList<QLineEdit*> edits = d.findChildren<QLineEdit*>("edit");
    ASSERT_EQ(edits.size(), 9);
    EXPECT_EQ(edits[0]->text(), QStringLiteral("200"));
    EXPECT_EQ(edits[8]->geometry(), QRect(180, 260, 170, 20));
    QList<QLabel*> labels = d.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 9);
    EXPECT_EQ(labels.first()->text(), QStringLiteral("Pager Number2:"));
    EXPECT_EQ(labels.last()->text(), QStringLiteral("Pager Number10:"));
    d.show();
    saveArtifact(&d, "pager_more");
    edits[8]->setText(QStringLiteral("1-800-555"));
    edits[0]->clear();
    onNextModal([](QDialog* dlg) { dlg->accept(); });
    d.run();
    EXPECT_STREQ(s.pagerNumbers[9], "1-800-555");
    EXPECT_STREQ(s.pagerNumbers[1], "");
    EXPECT_STREQ(s.pagerNumbers[0], "100");
}

}  // namespace
}  // namespace qor::gui::test

namespace qor::gui::test {
namespace {

TEST(MoreSettings, OpenedFromTheOptionsShowsTheFileSavesItOnOkAndSaysWhatIsWrong) {
    if (geteuid() != 0) GTEST_SKIP() << "the file is root's";
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Qor.extra")).toStdString();
    {
        std::ofstream(path) << "PORT /dev/ttyUSB0\nMAIL-SECURITY starttls\nMAIL-USER me\nMAIL-PASSWORD s3cret\n"
                               "COMMAND acfail /usr/local/bin/tell \"ups room\"\n";
    }
    ::chmod(path.c_str(), 0666);  // refused: anyone could have written it
    ExtraInForce extra(path);
    ASSERT_EQ(extra.load(), ExtraLoad::Refused);

    UpsSettings s = defaults();
    EventList events;
    Qor options(nullptr, nullptr, true, Qt::WindowFlags(), s, events, &extra);
    auto* more = child<QPushButton>(&options, "MoreSettings");
    ASSERT_NE(more, nullptr);
    Qor plain(nullptr, nullptr, true, Qt::WindowFlags(), s, events);
    EXPECT_EQ(plain.findChild<QPushButton*>(QStringLiteral("MoreSettings")), nullptr);

    CMoreSettings d(nullptr, "More Settings", extra);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("More Settings"));
    EXPECT_TRUE(d.stateText().contains(QStringLiteral("refused"))) << d.stateText().toStdString();
    auto* ports = child<QPlainTextEdit>(&d, "editPorts");
    auto* password = child<QLineEdit>(&d, "editPassword");
    auto* commands = child<QPlainTextEdit>(&d, "editCommands");
    EXPECT_TRUE(ports->toPlainText().isEmpty()) << "a refused file's contents are not shown";
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    ports->setPlainText(QStringLiteral("/dev/ttyUSB0\nttyUSB1"));
    d.show();
    d.accept();
    EXPECT_TRUE(d.isVisible()) << "a fault keeps the dialog open";
    EXPECT_EQ(d.stateText(), QStringLiteral("Port 2: PORT takes one absolute path"));

    ports->setPlainText(QStringLiteral("/dev/ttyUSB0\n/dev/serial/by-id/usb-FTDI_UPS"));
    child<QComboBox>(&d, "comboSecurity")->setCurrentIndex(1);
    child<QLineEdit>(&d, "editUser")->setText(QStringLiteral("ups@example.org"));
    password->setText(QStringLiteral("pass word"));
    commands->setPlainText(QStringLiteral("acfail,test /usr/local/bin/tell --room \"ups room\""));
    child<QSpinBox>(&d, "spinOutageDelay")->setValue(20);
    saveArtifact(&d, "more_settings");
    d.accept();
    EXPECT_TRUE(d.isVisible()) << "the refused file is replaced only when asked twice";
    EXPECT_TRUE(d.stateText().contains(QStringLiteral("OK again"))) << d.stateText().toStdString();
    d.accept();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(extra.state(), ExtraLoad::Loaded);
    EXPECT_EQ(extra.settings().ports,
              (std::vector<std::string>{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_UPS"}));
    EXPECT_EQ(extra.settings().mailPassword, "pass word");
    EXPECT_EQ(extra.settings().outageDelaySec, 20);
    ASSERT_EQ(extra.settings().commands.size(), 1u);
    EXPECT_EQ(extra.settings().commands[0].argv.back(), "ups room");
    ExtraInForce reread(path);
    EXPECT_EQ(reread.load(), ExtraLoad::Loaded) << "saved root's alone";
    EXPECT_TRUE(reread.settings() == extra.settings());

    // Opened again, it shows what is in force.
    CMoreSettings again(nullptr, "More Settings", extra);
    EXPECT_EQ(child<QPlainTextEdit>(&again, "editPorts")->toPlainText(),
              QStringLiteral("/dev/ttyUSB0\n/dev/serial/by-id/usb-FTDI_UPS"));
    EXPECT_EQ(child<QLineEdit>(&again, "editPassword")->text(), QStringLiteral("pass word"));
}

}  // namespace
}  // namespace qor::gui::test
