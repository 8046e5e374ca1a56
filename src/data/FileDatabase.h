#pragma once

#include <QSqlDatabase>
#include <QString>

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
