#include "app/ChineseUi.h"
#include "app/TfrmMain.h"
#include "data/TfrmDM.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>

int main(int argc, char *argv[])
{
    chooseChineseLocale();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Qinghebu"));
    QCoreApplication::setApplicationName(QStringLiteral("qinghebu"));
    // Lets the desktop match the window with the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("qinghebu"));

    useChineseUi(app);

    // One copy of the program at a time, guarded by a lock in the data folder.
    const QString dataDir = TfrmDM::resolveDataDir();
    QDir().mkpath(dataDir);
    QLockFile lock(dataDir + QStringLiteral("/Account.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        Msg::warning(nullptr, QStringLiteral("警告"), QStringLiteral("青禾簿 已经打开了！"));
        return 1;
    }

    TfrmDM dataModule;
    TfrmMain mainWindow;
    mainWindow.show();
    return app.exec();
}
