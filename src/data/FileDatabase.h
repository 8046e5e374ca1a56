#pragma once

#include <QSqlDatabase>
#include <QString>

class DbError;
struct sqlite3;
namespace Background {
class Context;
}

// A connection of its own to a database file other than the live one (a backup to
// check, a copy to compare), closed and removed when it goes out of scope.
class FileDatabase
{
public:
    enum Mode
    {
        ReadOnly,
        ReadWrite
    };
    explicit FileDatabase(const QString &path, Mode mode = ReadOnly);
    ~FileDatabase();
    FileDatabase(const FileDatabase &) = delete;
    FileDatabase &operator=(const FileDatabase &) = delete;

    // Open and usable; false when the file could not be opened.
    bool isOpen() const { return m_db.isOpen(); }
    QSqlDatabase database() const { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

// A failure of SQLite's C API on `db` (which may be null), said in Chinese after
// `notDone`.
DbError sqliteFailure(sqlite3 *db, int resultCode, const QString &notDone);

// Copies the whole database `from` over `to` with SQLite's online backup, telling
// `work` how far it is: the destination receives all of it or, on any failure or a
// cancel, keeps what it had.
void copyDatabase(sqlite3 *from, sqlite3 *to, const QString &notDone, Background::Context &work);
