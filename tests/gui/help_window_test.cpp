// The help viewer: history and bookmarks files, navigation, printing.
#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>

#include "help_lists.h"
#include "help_window.h"

namespace qor::gui::test {
namespace {

QStringList numbered(const QString& prefix, int n) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << prefix + QString::number(i);
    return out;
}

QStringList menuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) out << a->text();
    return out;
}

void writePage(const QString& path, const QString& title, const QString& body) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>").arg(title, body).toUtf8());
}

class HelpWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HelpFiles files;
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        files.history = dir.filePath("Qor.his");
        files.bookmarks = dir.filePath("Qor.bmk");
    }
};

TEST_F(HelpWindowTest, ListFilesAreQt3DataStreams) {
    ASSERT_TRUE(writeStringListFile(files.history, {"a", "bc"}));
    QFile f(files.history);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    // Count, then each string as its UTF-16 byte length and big-endian characters.
    const char expected[] = {0, 0, 0, 2, 0, 0, 0, 2, 0, 'a', 0, 0, 0, 4, 0, 'b', 0, 'c'};
    EXPECT_EQ(f.readAll(), QByteArray(expected, sizeof expected));
    EXPECT_EQ(readStringListFile(files.history), (QStringList{"a", "bc"}));
    EXPECT_TRUE(readStringListFile(dir.filePath("missing")).isEmpty());
    // A torn file is no list at all.
    QFile torn(dir.filePath("torn"));
    ASSERT_TRUE(torn.open(QIODevice::WriteOnly));
    torn.write(QByteArray("\0\0\0\x05\0\0", 6));
    torn.close();
    EXPECT_TRUE(readStringListFile(dir.filePath("torn")).isEmpty());
}

// Highest address-space size of this process so far, in kB.
long vmPeakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmPeak:")) return line.mid(7).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A damaged file whose count is wild reads as empty, without the list being
// sized for that many entries first (a count of 2^28 asks for gigabytes).
TEST_F(HelpWindowTest, WildCountReadsAsEmptyWithoutReservingForIt) {
    for (quint32 count : {0x10000000u, 0xFFFFFFF0u, 3u}) {
        QFile f(dir.filePath("wild"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QDataStream out(&f);
        out.setVersion(QDataStream::Qt_3_3);
        out << count << QStringLiteral("a") << QStringLiteral("b");
        f.close();
        long before = vmPeakKb();
        QStringList read;
        EXPECT_NO_THROW(read = readStringListFile(dir.filePath("wild"))) << count;
        EXPECT_TRUE(read.isEmpty()) << count;
        EXPECT_LT(vmPeakKb() - before, 256 * 1024) << "address space grew for count " << count;
    }
}

TEST_F(HelpWindowTest, HistoryOfTwentyFiveLoadsTheLastTwenty) {
    QStringList stored = numbered(QStringLiteral("/doc/page"), 25);
    ASSERT_TRUE(writeStringListFile(files.history, stored));
    ASSERT_TRUE(writeStringListFile(files.bookmarks, {"/doc/mark"}));
    {
        HelpWindow w(QString(), QStringLiteral("."), nullptr, "help viewer", files);
        EXPECT_EQ(w.historyEntries(), stored.mid(5));
        EXPECT_EQ(menuTexts(w.historyMenu()), stored.mid(5));
        EXPECT_EQ(menuTexts(w.bookmarksMenu()), (QStringList{"Add Bookmark", "/doc/mark"}));
        EXPECT_EQ(w.size(), QSize(300, 420));
    }
    // Written back whole when the window goes.
    EXPECT_EQ(readStringListFile(files.history), stored.mid(5));
    EXPECT_EQ(readStringListFile(files.bookmarks), QStringList{"/doc/mark"});
}

TEST_F(HelpWindowTest, NavigationHistoryAndBookmarksOpenPagesAgain) {
    const QString home = dir.filePath("HelpE.htm");
    const QString other = dir.filePath("other.htm");
    writePage(home, "Qor Help", "<p>home <a href=\"other.htm\">other</a></p>");
    writePage(other, "", "<p>other page</p>");
    auto* w = new HelpWindow(home, QStringLiteral("."), nullptr, "help viewer", files);
    w->show();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Qor Help"));
    EXPECT_EQ(w->pathBox()->itemText(0), home);
    EXPECT_EQ(w->historyEntries(), QStringList{home});
    EXPECT_FALSE(w->backwardAction()->isEnabled());

    w->pathSelected(other);
    EXPECT_EQ(w->browser()->source(), QUrl::fromLocalFile(other));
    EXPECT_EQ(w->windowTitle(), other);  // no title: the location
    EXPECT_TRUE(w->backwardAction()->isEnabled());
    EXPECT_EQ(w->historyEntries(), (QStringList{home, other}));
    // Choosing a path already in the history adds no second item.
    w->pathSelected(home);
    w->pathSelected(other);
    EXPECT_EQ(menuTexts(w->historyMenu()), (QStringList{home, other}));

    w->addBookmark();
    w->historyMenu()->actions().first()->trigger();
    EXPECT_EQ(w->browser()->source(), QUrl::fromLocalFile(home));
    w->bookmarksMenu()->actions().last()->trigger();  // the bookmark opens its page
    EXPECT_EQ(w->browser()->source(), QUrl::fromLocalFile(other));
    w->browser()->backward();
    EXPECT_EQ(w->browser()->source(), QUrl::fromLocalFile(home));
    EXPECT_TRUE(w->forwardAction()->isEnabled());

    // "&Close" closes this window only, and its lists reach the files.
    QAction* close = nullptr;
    for (QAction* a : w->menuBar()->actions().first()->menu()->actions())
        if (a->text() == QStringLiteral("&Close")) close = a;
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Q));
    QPointer<HelpWindow> guard(w);
    close->trigger();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(readStringListFile(files.history), (QStringList{home, other}));
    EXPECT_EQ(readStringListFile(files.bookmarks), QStringList{other});
}

TEST_F(HelpWindowTest, ShowsTheProgramsHelpPage) {
    auto* w = new HelpWindow(QStringLiteral(QOR_HELP_PAGE), QStringLiteral("."), nullptr, "help viewer", files);
    w->show();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("HalvoraQor Help"));
    const QString text = w->browser()->toPlainText();
    for (const char* topic : {"How the shutdown is decided", "Expected Battery Life", "Dialup Setup",
                              "Period Count down", "UPS is being detecting...", "/etc/Qor.event"})
        EXPECT_TRUE(text.contains(QLatin1String(topic))) << topic;
    // Links inside the page work.
    w->browser()->setSource(QUrl::fromLocalFile(QStringLiteral(QOR_HELP_PAGE)).resolved(QUrl("#shutdown")));
    EXPECT_EQ(w->browser()->source().fragment(), QStringLiteral("shutdown"));
    QDir().mkpath(QStringLiteral(QOR_TEST_ARTIFACT_DIR));
    w->grab().save(QStringLiteral(QOR_TEST_ARTIFACT_DIR "/help_window.png"));
    w->close();
}

TEST_F(HelpWindowTest, MissingHelpFileShowsAnEmptyPage) {
    HelpWindow w(dir.filePath("nothing.htm"), QStringLiteral("."), nullptr, "help viewer", files);
    EXPECT_TRUE(w.browser()->toPlainText().isEmpty());
}

TEST_F(HelpWindowTest, PrintsPageByPage) {
    QString body;
    for (int i = 0; i < 400; ++i) body += QStringLiteral("<p>Line %1 of the help text.</p>").arg(i);
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("out.pdf"));
    int pages = printRichText(printer, "<html><body>" + body + "</body></html>", QUrl());
    EXPECT_GT(pages, 3);
    QFile pdf(dir.filePath("out.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), pages);

    QPrinter small(QPrinter::HighResolution);
    small.setOutputFormat(QPrinter::PdfFormat);
    small.setOutputFileName(dir.filePath("one.pdf"));
    EXPECT_EQ(printRichText(small, "<p>short</p>", QUrl()), 1);
}

}  // namespace
}  // namespace qor::gui::test
