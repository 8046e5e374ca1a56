#pragma once

#include <QString>
#include <QTemporaryDir>

// A disk that fills up under SQLite: while one lives, SQLite's files are written
// through a layer that, once fill() is called, refuses (SQLITE_FULL) every write
// that would make a data file longer. The journal still grows, so a commit writes
// it, overwrites the data file's pages in place and then fails at its first new
// page: the data file is whole only together with its journal, as on a real disk
// that filled up at that moment. Make it before the data module opens the file.
class DiskFull
{
public:
    DiskFull();
    ~DiskFull();
    DiskFull(const DiskFull &) = delete;
    DiskFull &operator=(const DiskFull &) = delete;

    void fill();
    void free();
};

// A folder on a small file system of its own, filled up: a file can still be made
// there, but nothing written into it. Mounting needs the right to (root); where it
// cannot be done isActive() is false, and a test then skips.
class FullFolder
{
public:
    FullFolder();
    ~FullFolder();
    FullFolder(const FullFolder &) = delete;
    FullFolder &operator=(const FullFolder &) = delete;

    bool isActive() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
