#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What the household sync folder holds as seen from this computer, read without
// applying anything: the other computers and how far this one has applied their
// files, the files that are refused or wait for a newer version, and this
// computer's actions not yet written out.
namespace Sync {

struct ComputerStatus
{
    QString computer;
    QDateTime lastHeard; // when its newest file there was written, by its clock; null: none
    qint64 applied = 0;  // its files applied here (its last sequence applied)
    int waiting = 0;     // its complete files in the folder not applied yet
};

struct FileStatus
{
    QString file; // native path
    QString reason;
    bool newer = false; // kept until this program is updated, not refused
};

struct Status
{
    QList<ComputerStatus> computers; // by name, this computer left out
    QList<FileStatus> files;         // refused, or waiting for a newer version
    int outbox = 0;                  // this computer's actions still to be written
};

// Reads the folder as described. Throws SyncError when it is not set up or the
// folder cannot be read.
Status status();

// This data folder's shared books, in the order they were shared.
QStringList sharedBooks();
// The books the newest snapshot of `folder` shares. Throws SyncError (wrong
// password, not a household sync folder).
QStringList sharedBooksIn(const QString &folder, const QString &password);

} // namespace Sync
