#pragma once

#include "data/Money.h"

#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>

class QComboBox;
#include <QWidget>

// The data module: the one database connection, the current book, the lookup
// lists that fill drop-down boxes, the balance adjustment and the book menus.
// Created before the main window and alive until the program ends.
class TfrmDM : public QObject
{
    Q_OBJECT
public:
    explicit TfrmDM(QObject *parent = nullptr);
    ~TfrmDM() override;

    static TfrmDM *instance();

    // Where the data lives: --data-dir DIR, QINGHEBU_DATA_DIR, a Data folder beside
    // the program, or the platform's application-data folder, in that order.
    static QString resolveDataDir();
    static QString databaseFileName() { return QStringLiteral("db.db"); }

    QString dataDir() const { return m_dataDir; }
    QString databasePath() const;
    QSqlDatabase database() const;
    bool isOpen() const;
    // Why the database could not be opened at start-up; empty when it is open.
    QString openError() const { return m_openError; }
    // Closes the connection and opens the file again (after a restore replaced it).
    bool reopen();
    void closeDatabase();

    QString currentBook() const { return m_currentBook; }
    void setCurrentBook(const QString &book) { m_currentBook = book; }

    // Lookup feeders: the names, in the database's order, with no choice made;
    // each item's data (Qt::UserRole) is the name's pinyin initials.
    void DBComAccount(QComboBox *box) const;
    void DBComFamily(QComboBox *box) const;
    void DBComInType(QComboBox *box) const;
    void DBComOutType(QComboBox *box) const;
    void DBComTZType(QComboBox *box) const;

    // Move an account's balance of the current book; an unknown name changes nothing.
    void AccountUp(Money amount, const QString &account) const;
    void AccountDown(Money amount, const QString &account) const;

    // Shows or hides the book menus of the main window.
    void setMainWindow(QWidget *mainWindow) { m_mainWindow = mainWindow; }
    void myShow(bool show) const;

private:
    bool openDatabase();
    void fillBox(QComboBox *box, const QString &statement, bool perBook) const;

    QString m_connectionName;
    QString m_dataDir;
    QString m_openError;
    QString m_currentBook;
    QPointer<QWidget> m_mainWindow;
};
