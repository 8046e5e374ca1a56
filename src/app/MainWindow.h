#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

class BookChores;
class MainMenus;
class QMdiArea;
class QPrinter;
class SummaryPanel;
class SyncRunner;
class QLabel;
class UndoRedo;
class Workspace;
struct Change;

// The MDI main window: the home summary panel behind the child windows, the
// status bar, and the windows it opens. Its menus and side bar (MainMenus), the
// chores done when a book opens (BookChores), undo and redo (UndoRedo) and bill
// files dropped on it (FileDrops) each have their own file.
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

    // How long a note that needs no answer stays in the status bar (ms).
    static constexpr int NoteTimeout = 15000;

    QString startDate() const { return m_startDate; }
    QMdiArea *mdiArea() const { return m_mdiArea; }
    SummaryPanel *summaryPanel() const { return m_summary; }
    QPrinter *printer() const { return m_printer.get(); }

    // Recomputes the home summary panel from the database.
    void refreshSummary();
    // Opens the window of that class: a new maximized MDI child (one open already,
    // for a window there is one of, brought forward), or a modal dialog made anew
    // and waited for. Returns the child (nullptr for a dialog).
    QWidget *openWindow(const QString &className);
    // Closes every child window (before the data under them is replaced) and frees
    // them at once; false when a child refused to close.
    bool closeAllChildren();
    // Shows or hides the book menus: those that work on the open book.
    void showBookMenus(bool show);
    // A note in the status bar, beside a notice it shows already; 0: until replaced.
    void showNote(const QString &note, int timeout = 0);

    // The start: the date, the book menus hidden, and the new-book or open-book
    // dialog.
    void startUp();
    // Closes the book: its windows first; the book stays open when one of them
    // does (a pending row the user keeps).
    void closeBook();
    void setUpPages();
    void exitProgram();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The new-book dialog when no book exists (then the open-book dialog for the
    // book just made), else the open-book dialog.
    void startupDialogs(bool anyBook);
    // What the workspace says: a book opened or closed, balances replaced, the
    // book's windows to close before its data goes away; and what actions change.
    void listenTo(Workspace *workspace);
    void showBook(const QString &book);
    // What an action of the open book changed: the home page, the open lists and
    // the budget warnings follow.
    void bookChanged(const Change &change);

    QString m_startDate;
    QMdiArea *m_mdiArea = nullptr;
    SummaryPanel *m_summary = nullptr;
    MainMenus *m_menus = nullptr;
    BookChores *m_chores = nullptr;
    UndoRedo *m_undoRedo = nullptr;
    SyncRunner *m_sync = nullptr;
    QLabel *m_syncStatus = nullptr; // the last exchange, in the status bar
    std::unique_ptr<QPrinter> m_printer;
    bool m_exitConfirmed = false;
    int m_noteTimeout = 0; // of the note shown last
};
