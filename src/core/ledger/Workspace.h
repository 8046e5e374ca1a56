#pragma once

#include "core/ledger/Upgrade.h"
#include "data/Connection.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <vector>

// One name of a drop-down list with its pinyin initials, so that typing "gz" finds 工资.
struct LookupItem
{
    QString name;
    QString initials;
};
using Lookups = std::vector<LookupItem>;

// The data module: the one database connection, the current book and the lookup
// lists that fill drop-down boxes. Created before the main window and alive until
// the program ends. Windows tell the main window what happened through its
// signals, which the main window connects (caption, menus, summary panel, closing
// the book's windows). Balances are moved by the ledger only (data/Ledger.h).
class Workspace : public QObject
{
    Q_OBJECT
public:
    explicit Workspace(QObject *parent = nullptr);
    ~Workspace() override;

    static Workspace *instance();

    // Where the data lives: --data-dir DIR, QINGHEBU_DATA_DIR, a Data folder beside
    // the program, or the platform's application-data folder, in that order.
    static QString resolveDataDir();
    static QString databaseFileName() { return QStringLiteral("db.db"); }

    QString dataDir() const { return m_dataDir; }
    QString databasePath() const;
    // The screen's thread's connection to the data file, which this module hands
    // down to the code running there (data/Connection.h); a worker has its own.
    QSqlDatabase database() const;
    bool isOpen() const;
    // Why the database could not be opened at start-up; empty when it is open.
    QString openError() const { return m_openError; }
    // Closes the connection and opens the file again (after a restore replaced it).
    bool reopen();
    void closeDatabase();

    QString currentBook() const { return m_currentBook; }
    void setCurrentBook(const QString &book) { m_currentBook = book; }
    // The current book, for a statement that writes into it; throws DbError when
    // no book is open.
    QString bookForWriting() const;
    // Makes the book current and says bookOpened. The
    // windows of another book that was open are closed first; false, and nothing
    // changes, when one of them stays open (a pending row its user keeps).
    bool openBook(const QString &book);
    // Closes the book's windows, then the book: no book is current any more and
    // bookClosed is said. False as for openBook.
    bool closeBook();
    // Asks for every window of the open book to close (before its data goes
    // away); false when one of them stayed open.
    bool closeBookWindows();
    // Says balancesChanged: balances and totals were replaced outside the ledger (a
    // restore, the kept totals rebuilt). Actions of the ledger announce themselves
    // (data/Changes.h).
    void notifyBalancesChanged();

    // Hears how far the upgrade of a file written by an earlier version is, while
    // it is opened (the program shows a progress dialog).
    static Upgrade::Progress &upgradeProgress();

    // The day the program was started, "yyyy-MM-dd"; today until one is set.
    QString startDate() const;
    void setStartDate(const QString &date) { m_startDate = date; }

    // Lookup feeders: the names of the current book (members: of all books), in
    // the database's order, with their initials. Throw DbError.
    Lookups accounts() const;
    Lookups members() const;
    Lookups incomeCategories() const;
    Lookups expenseCategories() const;
    Lookups investmentCategories() const;
    // The windows and kinds of action the book's history names (操作记录's conditions).
    Lookups historyWindows() const;
    Lookups historyKinds() const;
    using Feeder = Lookups (Workspace::*)() const;

signals:
    void bookOpened(const QString &book);
    void bookClosed();
    void balancesChanged();
    // A receiver closes the book's windows and sets *refused when one stays open.
    void bookWindowsClosing(bool *refused);

private:
    bool openDatabase();
    Lookups lookups(const QString &statement, bool perBook) const;

    QString m_connectionName;
    Connection::Provide m_provide;
    QString m_dataDir;
    QString m_openError;
    QString m_currentBook;
    QString m_startDate;
};
