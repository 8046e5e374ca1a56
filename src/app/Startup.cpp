#include "app/Startup.h"

#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "widgets/MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProgressDialog>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTextStream>

namespace Startup {
namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

LockHolder holderOf(const QLockFile &lock, const QString &path)
{
    LockHolder holder;
    QString application;
    if (!lock.getLockInfo(&holder.pid, &holder.host, &application))
        holder.pid = 0;
    holder.since = QFileInfo(path).lastModified();
    return holder;
}

QString leftOverQuestion(const LockHolder &holder, const QString &dataDir)
{
    const QString since = holder.since.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString made =
        holder.pid <= 0 ? QStringLiteral("锁文件建立于 %1，内容无法读出。").arg(since)
                        : QStringLiteral("锁文件是计算机“%1”上的青禾簿（进程号 %2）于 %3 建立的。")
                              .arg(holder.host, QString::number(holder.pid), since);
    return QStringLiteral("数据文件夹 %1 正被另一个青禾簿使用，或者上次没有正常退出。\n\n%2\n\n"
                          "如果那个青禾簿已经关闭（例如它曾意外退出），可以删除锁文件后继续；"
                          "如果它还开着，请先在那里退出，否则两处的修改可能互相覆盖。\n\n"
                          "要删除锁文件并继续吗？")
        .arg(native(dataDir), made);
}

} // namespace

QString lockFilePath(const QString &dataDir)
{
    return dataDir + QStringLiteral("/Account.lock");
}

QString lockFailure(const QLockFile &lock, const QString &dataDir)
{
    if (lock.error() == QLockFile::NoError || lock.error() == QLockFile::LockFailedError)
        return {};
    const QString folder = native(dataDir);
    if (!QFileInfo(dataDir).isDir())
        return QStringLiteral("数据文件夹 %1 不存在，也无法建立（它所在的位置不能写入）。请用 "
                              "--data-dir 指定另一个数据文件夹。")
            .arg(folder);
    // Less than a block left: the lock file's few bytes cannot be written.
    const QStorageInfo disk(dataDir);
    if (disk.isValid() && disk.bytesAvailable() < 4096)
        return QStringLiteral("数据文件夹 %1 所在的磁盘已满，无法在其中建立锁文件。请腾出磁盘空间"
                              "后再试，或用 --data-dir 指定另一个数据文件夹。")
            .arg(folder);
    return QStringLiteral("数据文件夹 %1 不能写入（文件夹或磁盘是只读的，或没有写入权限）。请让它"
                          "可以写入，或用 --data-dir 指定另一个数据文件夹。")
        .arg(folder);
}

LockVerdict judge(const LockHolder &holder, const QString &thisHost, const QDateTime &now)
{
    const bool thisMachine = holder.host.isEmpty() || holder.host == thisHost;
    if (holder.pid <= 0 || !thisMachine || holder.since.secsTo(now) > 24 * 3600)
        return LockVerdict::LeftOver;
    return LockVerdict::Running;
}

std::unique_ptr<QLockFile> lockDataFolder(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    const QString path = lockFilePath(dataDir);
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // the age is judged here, and removal asked for
    if (lock->tryLock(0))
        return lock;
    const auto cannotLock = [&] {
        Msg::warning(nullptr, QStringLiteral("警告"),
                     QStringLiteral("青禾簿 无法使用数据文件夹。\n\n") +
                         lockFailure(*lock, dataDir));
        return nullptr;
    };
    if (lock->error() != QLockFile::LockFailedError)
        return cannotLock();
    const LockHolder holder = holderOf(*lock, path);
    if (judge(holder, QSysInfo::machineHostName(), QDateTime::currentDateTime()) ==
        LockVerdict::LeftOver) {
        if (!Msg::ask(nullptr, Msg::programTitle(), leftOverQuestion(holder, dataDir),
                      QMessageBox::No))
            return nullptr;
        if (lock->removeStaleLockFile() && lock->tryLock(0))
            return lock;
        // The lock left over is gone, but no new one could be made.
        if (lock->error() != QLockFile::LockFailedError)
            return cannotLock();
    }
    Msg::warning(nullptr, QStringLiteral("警告"), QStringLiteral("青禾簿 已经打开了！"));
    return nullptr;
}

void showUpgradeProgress()
{
    Workspace::upgradeProgress() = [](const QString &what, int percent) {
        static std::unique_ptr<QProgressDialog> dialog;
        if (!dialog) {
            dialog = std::make_unique<QProgressDialog>(what, QString(), 0, 100);
            dialog->setWindowTitle(QStringLiteral("青禾簿：更新数据文件"));
            dialog->setMinimumDuration(0);
            dialog->setMinimumWidth(360);
        }
        dialog->setLabelText(what);
        dialog->setValue(percent);
        QCoreApplication::processEvents();
        if (percent >= 100)
            dialog.reset();
    };
}

void prepare(const Workspace &dm)
{
    BookStore::removeLeftovers(dm.dataDir());
    BookStore::removeLeftovers(AutoBackup::folder());
    if (!dm.isOpen())
        return; // the main window says why
    const QFileInfo file(dm.databasePath());
    const QString what =
        !file.isWritable()
            ? QStringLiteral("数据文件 %1 是只读的").arg(native(file.absoluteFilePath()))
        : !QFileInfo(dm.dataDir()).isWritable()
            ? QStringLiteral("数据文件夹 %1 不能写入").arg(native(dm.dataDir()))
            : QString();
    if (what.isEmpty())
        return;
    Msg::warning(nullptr, QStringLiteral("警告"),
                 what + QStringLiteral("：帐簿可以查看，但任何修改都无法保存。\n\n"
                                       "请退出青禾簿，去掉它的只读属性（或给予写入权限）后"
                                       "再启动。"));
}

} // namespace Startup

namespace Startup {

int runCommand(int argc, char *argv[], const QString &doing, const Command &run)
{
    QCoreApplication app(argc, argv);
    // Named as the program names itself: without --data-dir, its data folder is the
    // program's.
    QCoreApplication::setOrganizationName(QStringLiteral("Qinghebu"));
    QCoreApplication::setApplicationName(QStringLiteral("qinghebu"));
    QTextStream out(stdout), err(stderr);
    const QString dataDir = Workspace::resolveDataDir();
    if (!QFileInfo(dataDir).isDir()) {
        err << QStringLiteral("数据文件夹 %1 不存在：请用 --data-dir 指定青禾簿的数据文件夹。")
                   .arg(QDir::toNativeSeparators(dataDir))
            << Qt::endl;
        return 1;
    }
    // One copy of the program at a time on a data folder, this command included.
    QLockFile lock(lockFilePath(dataDir));
    if (!lock.tryLock(0)) {
        const QString failure = lockFailure(lock, dataDir);
        err << (failure.isEmpty()
                    ? QStringLiteral("数据文件夹 %1 正被青禾簿使用：请先退出程序，%2。")
                          .arg(QDir::toNativeSeparators(dataDir), doing)
                    : failure)
            << Qt::endl;
        return 1;
    }
    // The data module finds the folder in --data-dir, as the program does.
    Workspace dm;
    if (!dm.isOpen()) {
        err << dm.openError() << Qt::endl;
        return 1;
    }
    return run(app.arguments(), out, err);
}

} // namespace Startup
