#pragma once

#include "data/Background.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>

class QMdiArea;
class QMenu;
class QPrinter;
class QTextBrowser;
class SummaryPanel;
struct Change;
class Workspace;

// The MDI main window: menus, side bar, status bar and the home summary panel.
// Every other window of the program is opened from here.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    static MainWindow *instance();
    // Whether startUp opens the new-book or open-book dialog (on by default).
    // Tests that are not about the start-up turn it off.
    static void setStartupDialog(bool enabled);

    QString startDate() const { return m_startDate; }
    QMdiArea *mdiArea() const { return m_mdiArea; }
    SummaryPanel *summaryPanel() const { return m_summary; }
    QPrinter *printer() const { return m_printer.get(); }

    // Recomputes the home summary panel from the database.
    void refreshSummary();
    // Opens the window of that class: a new maximized MDI child, or a modal
    // dialog made anew and waited for. Returns the child (nullptr for a dialog).
    QWidget *openWindow(const QString &className);
    // Closes every child window (before the data under them is replaced) and frees
    // them at once; false when a child refused to close.
    bool closeAllChildren();

    // Starts the day's automatic backup on the worker when a book has been opened;
    // the status bar says when it is done, or why it failed (once; work goes on).
    // Then the kept monthly totals are checked, once a start.
    void backUpAutomatically();

    // Bill files dropped on the window: the import window reads them (the open
    // one, else a new one). Only while a book is open.
    void importFiles(const QStringList &paths);

    // Shows or hides the book menus: those that work on the open book.
    void showBookMenus(bool show);
    // Whether showBookMenus shows and hides the menu or menu item of that name.
    static bool isBookMenu(const QString &name);

    void startUp();
    // Closes the book: its windows first; the book stays open when one of them
    // does (a pending row the user keeps).
    void closeBook();
    void setUpPages();
    void exitProgram();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct MenuItem;
    // The new-book dialog when no book exists (then the open-book dialog for the
    // book just made), else the open-book dialog.
    void startupDialogs(bool anyBook);
    // What the windows say through the data module: the caption, the summary
    // panel, and closing the book's windows before its data goes away.
    void connectDataModule(Workspace *dm);
    void buildMenus();
    // 窗口: cascade, tile or close the child windows, or bring one forward.
    QMenu *buildWindowMenu();
    void addMenuItems(QMenu *menu, const std::vector<MenuItem> &items, bool bookMenu);
    void buildSideBar(QWidget *central);
    // Enables what can run now: items whose window exists, those that work on a
    // book only while one is open, submenus with an enabled item, and the side-bar
    // buttons as the items they run.
    void updateActions();
    void showBook(const QString &book);
    void runItem(const MenuItem &item);
    void openCalculator();
    // Compares the kept monthly totals with the rows on the worker and rebuilds them
    // when they differ; the status bar says so.
    void checkKeptTotals();
    void autoBackupFailed(const QString &reason);
    // Rows deleted longer ago than the bin keeps them leave it (at start).
    void emptyRecycleBin();
    // 编辑 → 撤销 and 重做 name the action they would undo or redo.
    void nameUndoActions();
    void undoLast();
    void redoLast();
    void stepHistory(bool undo);
    // What an action of the open book changed: the home page, the open lists and
    // the budget warnings follow.
    void bookChanged(const Change &change);
    // A note in the status bar, beside a notice it shows already; 0: until replaced.
    void showNote(const QString &note, int timeout = 0);

    QString m_startDate;
    QMdiArea *m_mdiArea = nullptr;
    SummaryPanel *m_summary = nullptr;
    QTextBrowser *m_sideBarPage = nullptr;
    QList<QMenu *> m_submenus;
    std::unique_ptr<QPrinter> m_printer;
    bool m_exitConfirmed = false;
    bool m_autoBackupFailureShown = false;
    QPointer<Background::Job> m_autoBackup;
    bool m_totalsChecked = false;
    int m_noteTimeout = 0; // of the note shown last
};
