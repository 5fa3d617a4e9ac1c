#include "help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QUrl>

#include "help_lists.h"

static void initHelpResources() { Q_INIT_RESOURCE(qor_art); }

namespace qor::gui {

namespace {

// Plain paths are files (relative ones go through the search path); anything
// with a scheme is taken as a URL.
QUrl urlFor(const QString& location) {
    QUrl url(location);
    if (!url.scheme().isEmpty() && url.scheme().size() > 1) return url;
    if (QFileInfo(location).isAbsolute()) return QUrl::fromLocalFile(location);
    return QUrl(location);
}

QString locationOf(const QUrl& url) { return url.isLocalFile() ? url.toLocalFile() : url.toString(); }

}  // namespace

int printRichText(QPrinter& printer, const QString& html, const QUrl& base) {
    QPainter p;
    if (!p.begin(&printer)) return 0;
    const int margin = printer.logicalDpiY();  // 72 points
    const int marginX = printer.logicalDpiX();
    QRect body(marginX, margin, printer.width() - 2 * marginX, printer.height() - 2 * margin);
    if (body.width() <= 0 || body.height() <= 0) return 0;

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&printer);
    doc.setDefaultFont(QFont(QStringLiteral("times"), 10));
    doc.setBaseUrl(base);
    doc.setHtml(html);
    doc.setPageSize(QSizeF(body.size()));

    const int pages = doc.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) return page;
        p.save();
        QRectF view(0, page * body.height(), body.width(), body.height());
        p.translate(body.left(), body.top() - view.top());
        p.setClipRect(view);
        doc.drawContents(&p, view);
        p.restore();
    }
    p.end();
    return pages;
}

HelpWindow::HelpWindow(const QString& home, const QString& path, QWidget* parent, const char* name,
                       HelpFiles files)
    : QMainWindow(parent), files_(std::move(files)) {
    initHelpResources();
    if (name != nullptr) setObjectName(QString::fromLatin1(name));
    // Each help window lives on its own: closing one frees it, and none of
    // them keeps the program running once the main window has closed.
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);

    initialHistory_ = trimHistory(readStringListFile(files_.history));
    initialBookmarks_ = readStringListFile(files_.bookmarks);

    browser_ = new QTextBrowser(this);
    browser_->setSearchPaths(QStringList{path});
    browser_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setCentralWidget(browser_);
    // historyChanged comes once the new page is in place (sourceChanged comes before).
    connect(browser_, &QTextBrowser::historyChanged, this, &HelpWindow::textChanged);

    buildMenusAndToolBar();
    if (!home.isEmpty()) browser_->setSource(urlFor(home));

    connect(browser_, &QTextBrowser::backwardAvailable, this, &HelpWindow::setBackwardAvailable);
    connect(browser_, &QTextBrowser::forwardAvailable, this, &HelpWindow::setForwardAvailable);
    connect(browser_, qOverload<const QUrl&>(&QTextBrowser::highlighted), this,
            [this](const QUrl& link) { statusBar()->showMessage(link.toString()); });

    resize(300, 420);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect g = screen->geometry();
        move(g.width() / 2, g.height() / 2 - 200);
    }
    if (!home.isEmpty() && pathCombo_->findText(home) < 0) pathCombo_->insertItem(0, home);
    browser_->setFocus();
}

HelpWindow::~HelpWindow() {
    writeStringListFile(files_.history, mHistory.values());
    writeStringListFile(files_.bookmarks, mBookmarks.values());
}

void HelpWindow::buildMenusAndToolBar() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&New Window"), QKeySequence(Qt::ALT | Qt::Key_N), this, &HelpWindow::newWindow);
    file->addAction(tr("&Open File"), QKeySequence(Qt::ALT | Qt::Key_O), this, &HelpWindow::openFile);
    file->addAction(tr("&Print"), QKeySequence(Qt::ALT | Qt::Key_P), this, &HelpWindow::print);
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence(Qt::ALT | Qt::Key_Q), this, &QWidget::close);

    QIcon backIcon(QStringLiteral(":/art/help_back.png"));
    QIcon forwardIcon(QStringLiteral(":/art/help_forward.png"));
    QIcon homeIcon(QStringLiteral(":/art/help_home.png"));

    QMenu* go = menuBar()->addMenu(tr("&Go"));
    backward_ = go->addAction(backIcon, tr("&Backward"), QKeySequence(Qt::ALT | Qt::Key_Left), browser_,
                              &QTextBrowser::backward);
    forward_ = go->addAction(forwardIcon, tr("&Forward"), QKeySequence(Qt::ALT | Qt::Key_Right), browser_,
                             &QTextBrowser::forward);
    home_ = go->addAction(homeIcon, tr("&Home"), browser_, &QTextBrowser::home);
    backward_->setEnabled(false);
    forward_->setEnabled(false);

    hist_ = menuBar()->addMenu(tr("History"));
    for (const QString& entry : initialHistory_) addHistoryItem(entry);

    bookm_ = menuBar()->addMenu(tr("Bookmarks"));
    bookm_->addAction(tr("Add Bookmark"), this, &HelpWindow::addBookmark);
    bookm_->addSeparator();
    for (const QString& entry : initialBookmarks_) addBookmarkItem(entry);

    QToolBar* bar = addToolBar(QStringLiteral("Navigation"));
    QAction* b = bar->addAction(backIcon, tr("Backward"));
    QAction* f = bar->addAction(forwardIcon, tr("Forward"));
    QAction* h = bar->addAction(homeIcon, tr("Home"));
    connect(b, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(f, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(h, &QAction::triggered, browser_, &QTextBrowser::home);
    b->setEnabled(false);
    f->setEnabled(false);
    connect(backward_, &QAction::changed, b, [b, this] { b->setEnabled(backward_->isEnabled()); });
    connect(forward_, &QAction::changed, f, [f, this] { f->setEnabled(forward_->isEnabled()); });
    bar->addSeparator();

    pathCombo_ = new QComboBox(bar);
    pathCombo_->setEditable(true);
    pathCombo_->setInsertPolicy(QComboBox::NoInsert);
    pathCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pathCombo_->setMinimumContentsLength(12);
    bar->addWidget(pathCombo_);
    connect(pathCombo_, &QComboBox::textActivated, this, &HelpWindow::pathSelected);
    connect(pathCombo_->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { pathSelected(pathCombo_->currentText()); });
}

void HelpWindow::addHistoryItem(const QString& location) {
    int id = nextId_++;
    mHistory.insert(id, location);
    hist_->addAction(location, this, [this, id] { histChosen(id); });
}

void HelpWindow::addBookmarkItem(const QString& location) {
    int id = nextId_++;
    mBookmarks.insert(id, location);
    bookm_->addAction(location, this, [this, id] { bookmChosen(id); });
}

void HelpWindow::showPage(const QString& location) { browser_->setSource(urlFor(location)); }

QString HelpWindow::currentLocation() const { return locationOf(browser_->source()); }

void HelpWindow::setBackwardAvailable(bool on) { backward_->setEnabled(on); }

void HelpWindow::setForwardAvailable(bool on) { forward_->setEnabled(on); }

void HelpWindow::textChanged() {
    const QString location = currentLocation();
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? location : title);
    // The path box and the history hold the page's location, so that choosing
    // an entry opens the page again (a title could not be opened).
    if (location.isEmpty()) return;
    int index = pathCombo_->findText(location);
    if (index < 0) {
        pathCombo_->insertItem(0, location);
        pathCombo_->setCurrentIndex(0);
        if (!mHistory.values().contains(location)) addHistoryItem(location);
    } else {
        pathCombo_->setCurrentIndex(index);
    }
}

void HelpWindow::openFile() {
    QString fn = QFileDialog::getOpenFileName(this, QString(), QString(), QString());
    if (!fn.isEmpty()) showPage(fn);
}

void HelpWindow::newWindow() {
    auto* w = new HelpWindow(currentLocation(), QStringLiteral("qbrowser"), nullptr, nullptr, files_);
    w->show();
}

void HelpWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    printRichText(printer, browser_->document()->toHtml(), browser_->source());
}

void HelpWindow::pathSelected(const QString& path) {
    if (path.isEmpty()) return;
    showPage(path);
    if (!mHistory.values().contains(path)) addHistoryItem(path);
}

void HelpWindow::histChosen(int id) {
    auto it = mHistory.constFind(id);
    if (it != mHistory.constEnd()) showPage(*it);
}

void HelpWindow::bookmChosen(int id) {
    auto it = mBookmarks.constFind(id);
    if (it != mBookmarks.constEnd()) showPage(*it);
}

void HelpWindow::addBookmark() {
    const QString location = currentLocation();
    if (!location.isEmpty()) addBookmarkItem(location);
}

}  // namespace qor::gui
