#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <stdexcept>

class QSqlError;
struct sqlite3;
struct sqlite3_stmt;

// A failure of the database or of a check made while writing, with the message
// the user is shown.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message);
    // The database's own failure said in Chinese: what was not done (saved, read)
    // and why (disk full, file read-only, file damaged...), the database's own
    // text below.
    static DbError fromDatabase(const QSqlError &error, bool writing);
    // The same for a result code of SQLite's C API and its message, after `notDone`,
    // which says what was not done ("备份没有写成").
    static DbError fromSqlite(int resultCode, const QString &message, const QString &notDone);
    QString message() const { return QString::fromUtf8(what()); }

    // Work of this program that holds its own connection to the data file began or
    // ended: a lock that cannot be had meanwhile is said to be that work's, not
    // another program's.
    static void ownWorkStarted();
    static void ownWorkEnded();
};

// SQLite's handle of an open Qt connection. Throws DbError when there is none.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

// SQL text with "?" placeholders and the values bound to them, in order. Pieces
// are joined as the statement is built, so a statement keeps its written shape
// while every user value travels bound, never pasted into the text.
class Sql
{
public:
    Sql() = default;
    Sql(QString text, QVariantList values = {});

    Sql &add(const QString &piece, const QVariantList &values = {});
    Sql &add(const Sql &other);
    Sql &operator+=(const Sql &other) { return add(other); }

    const QString &text() const { return m_text; }
    const QVariantList &values() const { return m_values; }
    bool isEmpty() const { return m_text.isEmpty(); }

    // Prepares, binds and executes on the connection; throws DbError on failure.
    QSqlQuery exec(const QSqlDatabase &db) const;
    QSqlQuery exec() const;
    // Runs an insert on the data module's connection and returns the new row's key;
    // prepared once while a SqlReuse lives on this thread.
    QVariant insert() const;
    // The first column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar() const;
    // True when the statement returns at least one row.
    bool hasRows() const;

private:
    QString m_text;
    QVariantList m_values;
};

Sql operator+(Sql left, const Sql &right);

// While one lives on a thread, every Sql::insert run there is prepared once per
// connection and text and run again with its new values, bound straight through
// SQLite: an action that writes many thousands of rows (an import) does not
// prepare each. The statements are let go when it ends, before any connection
// could close.
class SqlReuse
{
public:
    SqlReuse();
    ~SqlReuse();
    SqlReuse(const SqlReuse &) = delete;
    SqlReuse &operator=(const SqlReuse &) = delete;

private:
    friend class Sql;
    QHash<QString, sqlite3_stmt *> m_statements; // by connection and text
    SqlReuse *m_outer;
};

// Every statement run through Sql while recording is on, in the order they ran,
// with the values bound to them: what the windows issue, for checking its query
// plans or timing it bare. Off by default; when off it costs one test per statement.
namespace SqlRecording {
struct Statement
{
    QString text;
    QVariantList values;
};
void start(); // forgets what was recorded before
QList<Statement> stop();
} // namespace SqlRecording

// A filter condition kept by a list window: pieces that each begin with " and ",
// with their bound values, appended to the list query on every refresh.
using Condition = Sql;
