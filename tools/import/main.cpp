// Imports bill files of 支付宝, 微信支付 and the banks into a book:
//
//   qinghebu-import --data-dir DIR --book NAME --password PW [--zip-password PW]
//       [--account 'PAYMENT=ACCOUNT']... [--member NAME] [--dry-run] FILE...
#include "app/Startup.h"
#include "core/bills/ImportCommand.h"
#include "core/ledger/Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Named as the program names itself: without --data-dir, its data folder is the
    // program's.
    QCoreApplication::setOrganizationName(QStringLiteral("Qinghebu"));
    QCoreApplication::setApplicationName(QStringLiteral("qinghebu"));
    QTextStream out(stdout), err(stderr);
    const QString dataDir = Workspace::resolveDataDir();
    // The command imports into the program's data, and never makes a folder of its own.
    if (!QFileInfo(dataDir).isDir()) {
        err << QStringLiteral("数据文件夹 %1 不存在：请用 --data-dir 指定青禾簿的数据文件夹。")
                   .arg(QDir::toNativeSeparators(dataDir))
            << Qt::endl;
        return 1;
    }
    // One copy of the program at a time on a data folder, this command included.
    QLockFile lock(Startup::lockFilePath(dataDir));
    if (!lock.tryLock(0)) {
        const QString failure = Startup::lockFailure(lock, dataDir);
        err << (failure.isEmpty()
                    ? QStringLiteral("数据文件夹 %1 正被青禾簿使用：请先退出程序，再导入帐单。")
                          .arg(QDir::toNativeSeparators(dataDir))
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
    return ImportCommand::run(app.arguments(), out, err);
}
