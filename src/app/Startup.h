#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

class QTextStream;

class QLockFile;
class Workspace;

// What happens before the main window: one copy of the program at a time on a data
// folder, guarded by a lock file in it, and what a run that ended abruptly left.
namespace Startup {

// <data folder>/Account.lock
QString lockFilePath(const QString &dataDir);

// Who made a lock file, as the file says; pid 0 when it cannot be read.
struct LockHolder
{
    qint64 pid = 0;
    QString host;
    QDateTime since;
};

enum class LockVerdict
{
    Running,  // a copy on this machine that runs: the folder is in use
    LeftOver, // perhaps left by a crash: offered for removal
};
// Qt removes by itself the locks of this machine whose process has ended, so a lock
// of this machine younger than a day belongs to a copy that runs. A lock made on
// another machine (a portable data folder), older than a day or unreadable may be
// left over; removing it still fails while a copy on this machine holds it.
LockVerdict judge(const LockHolder &holder, const QString &thisHost, const QDateTime &now);

// Why the lock file could not be made when no other copy holds it, as a sentence
// naming the folder: it is missing, its disk is full, or it cannot be written.
// Empty when the lock failed because another copy holds it.
QString lockFailure(const QLockFile &lock, const QString &dataDir);

// Locks the data folder for this copy of the program, making the folder when it is
// missing. Null, after saying why, when the folder cannot be written, when another
// copy runs on it, or when the user keeps a lock that looks left over.
std::unique_ptr<QLockFile> lockDataFolder(const QString &dataDir);

// Shows a progress dialog while a data file of an earlier version is brought up
// to date as it is opened (its monthly totals computed); before the data module.
void showUpgradeProgress();

// Once the folder is locked and the data module made: removes the temporary copies
// that backups and restores cut off by a crash left in the folders the program
// writes, and says at once when the data cannot be saved (a read-only file or folder)
// rather than at the first save.
void prepare(const Workspace &dm);

// A command of the program (qinghebu-import, qinghebu-sync): its data folder from
// --data-dir or the program's own, which it never makes; locked as the program
// locks it (`doing` ends the refusal then: "再导入帐单"); the data module opened on
// it; then `run` with the arguments. Its exit status.
using Command =
    std::function<int(const QStringList &arguments, QTextStream &out, QTextStream &err)>;
int runCommand(int argc, char *argv[], const QString &doing, const Command &run);

} // namespace Startup
