#include "core/sync/SyncStatus.h"

#include "core/sync/ChangeFiles.h"
#include "core/sync/Exchange.h"
#include "core/sync/Snapshot.h"
#include "core/sync/SyncActions.h"
#include "data/Sql.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlQuery>
#include <map>

namespace Sync {

namespace {

QString shownFolderPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// When the file was written by its computer's clock; null when it cannot be read.
QDateTime writtenAt(const Folder::Read &read)
{
    return read.ok() || read.newer ? read.written : QDateTime();
}

// One computer's files as the next exchange meets them: how many wait, and the
// first that stops them (refused, of a newer layout, or one missing before it).
// Only the first waiting file is read: the others wait behind it anyway.
void sortOutWaiting(const Folder &folder, const QList<Folder::Listed> &files, qint64 applied,
                    ComputerStatus &computer, QList<FileStatus> &problems)
{
    qint64 next = applied + 1;
    bool blocked = false, read = false;
    for (const Folder::Listed &file : files) {
        if (file.sequence <= applied)
            continue;
        ++computer.waiting;
        if (blocked)
            continue;
        if (file.sequence != next) {
            problems.append({shownFolderPath(file.path),
                             QStringLiteral("在等待它之前的第 %1 个文件传到").arg(next)});
            blocked = true;
            continue;
        }
        ++next;
        if (read)
            continue;
        read = true;
        const Folder::Read first = folder.read(file);
        blocked = !first.ok();
        if (first.newer)
            problems.append({shownFolderPath(file.path), Reason::Newer, true});
        else if (!first.ok())
            problems.append({shownFolderPath(file.path), first.refusal});
    }
}

} // namespace

Status status()
{
    if (!isSetUp())
        throw SyncError(QStringLiteral("本机还没有加入家庭同步。"));
    const Folder folder = householdFolder();
    const Folder::Scan scan = folder.scan();
    const std::map<QString, qint64> applied = appliedSequences();

    std::map<QString, QList<Folder::Listed>> byComputer;
    for (const auto &[computer, sequence] : applied)
        byComputer[computer];
    for (const QString &name : otherComputers(folder))
        byComputer[name];
    for (const Folder::Listed &file : scan.files)
        byComputer[file.computer].append(file);
    std::map<QString, Folder::Listed> snapshots;
    for (const Folder::Listed &snapshot : folder.snapshots())
        snapshots[snapshot.computer] = snapshot; // the last by sequence
    for (const auto &[computer, snapshot] : snapshots)
        byComputer[computer];

    Status status;
    for (const Folder::Refused &refused : scan.refused)
        status.files.append({shownFolderPath(refused.path), refused.reason});
    for (const auto &[name, files] : byComputer) {
        if (name == computerName())
            continue;
        ComputerStatus computer;
        computer.computer = name;
        const auto done = applied.find(name);
        computer.applied = done == applied.end() ? 0 : done->second;
        if (!files.isEmpty())
            computer.lastHeard = writtenAt(folder.read(files.last()));
        if (const auto snapshot = snapshots.find(name); snapshot != snapshots.end()) {
            const QDateTime written = writtenAt(folder.readSnapshot(snapshot->second));
            if (computer.lastHeard.isNull() || written > computer.lastHeard)
                computer.lastHeard = written;
        }
        sortOutWaiting(folder, files, computer.applied, computer, status.files);
        status.computers.append(computer);
    }
    status.outbox = Sql(QStringLiteral("select count(*) from SyncOutbox")).scalar().toInt();
    return status;
}

QStringList sharedBooks()
{
    QStringList books;
    for (QSqlQuery q = Sql(QStringLiteral("select BName from SyncShare order by ID")).exec();
         q.next();)
        books << q.value(0).toString();
    return books;
}

QStringList sharedBooksIn(const QString &folder, const QString &password)
{
    const Folder opened = Folder::open(folder, password);
    if (!opened.latestSnapshot())
        return {};
    QStringList books;
    for (const Snapshot::Book &book : Snapshot::newest(opened).books())
        books << book.name;
    return books;
}

} // namespace Sync
