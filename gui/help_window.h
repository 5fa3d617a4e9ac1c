// The help viewer: a rich-text browser with back, forward and home, a path box,
// History and Bookmarks menus, and printing.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QStringList>

class QAction;
class QComboBox;
class QMenu;
class QPrinter;
class QTextBrowser;
class QUrl;

namespace qor::gui {

// Where the history and the bookmarks persist. Empty paths keep neither, so
// only a window given system() touches /etc.
struct HelpFiles {
    static HelpFiles system() { return {QStringLiteral("/etc/Qor.his"), QStringLiteral("/etc/Qor.bmk")}; }
    QString history;
    QString bookmarks;
};

// Lays `html` out in "times" 10 pt with a 72-point margin on every side and
// prints it page by page. Returns the number of pages printed, 0 on failure.
int printRichText(QPrinter& printer, const QString& html, const QUrl& base);

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    HelpWindow(const QString& home, const QString& path, QWidget* parent = nullptr,
               const char* name = nullptr, HelpFiles files = HelpFiles());
    // Writes the history and the bookmarks, each file replaced whole.
    ~HelpWindow() override;

    QTextBrowser* browser() const { return browser_; }
    QComboBox* pathBox() const { return pathCombo_; }
    QMenu* historyMenu() const { return hist_; }
    QMenu* bookmarksMenu() const { return bookm_; }
    QStringList historyEntries() const { return mHistory.values(); }
    QStringList bookmarkEntries() const { return mBookmarks.values(); }
    QAction* backwardAction() const { return backward_; }
    QAction* forwardAction() const { return forward_; }

public slots:
    void setBackwardAvailable(bool);
    void setForwardAvailable(bool);
    void textChanged();
    void openFile();
    void newWindow();
    void print();
    void pathSelected(const QString&);
    void histChosen(int);
    void bookmChosen(int);
    void addBookmark();

private:
    void buildMenusAndToolBar();
    void addHistoryItem(const QString& location);
    void addBookmarkItem(const QString& location);
    void showPage(const QString& location);
    QString currentLocation() const;

    HelpFiles files_;
    QTextBrowser* browser_ = nullptr;
    QComboBox* pathCombo_ = nullptr;
    QMenu* hist_ = nullptr;
    QMenu* bookm_ = nullptr;
    QAction* backward_ = nullptr;
    QAction* forward_ = nullptr;
    QAction* home_ = nullptr;
    QStringList initialHistory_;
    QStringList initialBookmarks_;
    // Menu item id to page location.
    QMap<int, QString> mHistory;
    QMap<int, QString> mBookmarks;
    int nextId_ = 1;
};

}  // namespace qor::gui
