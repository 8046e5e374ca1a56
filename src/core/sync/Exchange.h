#pragma once

#include "core/sync/ChangeFiles.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

// Keeping a household's shared books the same on each of its computers through a
// folder a sync service keeps the same everywhere. This data folder writes its
// own actions there as change files and applies the other computers' files
// through its ledger, each file once, in each computer's order.
namespace Sync {

// Whether this data folder takes part in a household's sync, and as which computer.
bool isSetUp();
QString computerName();
QString folderPath();
// The last file of each other computer applied here, by computer.
std::map<QString, qint64> appliedSequences();
// The household's sync folder, opened with the key this computer keeps. Throws
// SyncError when it is not there (moved, deleted, its disk not connected).
Folder householdFolder();
// The other computers of the folder: its folders but the snapshots'.
QStringList otherComputers(const Folder &folder);

// The first computer: makes `folder` the household's sync folder with its
// password, names this computer and shares the books given (each must be here).
// Throws SyncError (the folder, the name or a book refused) with nothing written.
void setUpFirst(const QString &folder, const QString &password, const QString &computer,
                const QStringList &books);
// Shares one more book of this data folder.
void share(const QString &book);

// Another computer: joins the household of `folder`, taking the shared books from
// the newest copy there and the changes written after it. A shared book whose
// name this data folder already has takes the name `renames` gives it, and is
// refused without one. Throws SyncError with nothing written.
void join(const QString &folder, const QString &password, const QString &computer,
          const QMap<QString, QString> &renames = {});

// What one exchange did.
struct Report
{
    int written = 0;      // files written
    int appliedFiles = 0; // files of other computers applied
    int appliedRows = 0;  // rows they wrote here
    int conflicts = 0;    // versions that lost and wait in the recycle bin
    QStringList refused;  // "file: why", never applied
    QStringList waiting;  // written by a newer version: kept until this one is updated
    QStringList taken;    // books another computer began to share, by their names here
    // Why the exchange stopped before the end (a full disk, a folder that cannot be
    // written): nothing of it half done, the rest tried again at the next exchange.
    QString stopped;
    // "写出 N 个文件, 应用 N 个文件 (N 项), 冲突 N 项, 拒绝 N 个文件"
    QString summary() const;
};

// Hears how far a long catch-up is; what it throws stops it between two files
// (everything applied so far stays).
using Progress = std::function<void(int done, int total)>;

// Writes this computer's waiting actions out, then applies what the others
// wrote. Throws SyncError when the folder cannot be used at all; what fails on the
// way (a full disk) stops it, said once in the report.
Report exchange(const Progress &progress = {});

} // namespace Sync
