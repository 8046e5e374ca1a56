#include "app/ChineseUi.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/ledger/Workspace.h"

#include <QApplication>
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
    const std::unique_ptr<QLockFile> lock = Startup::lockDataFolder(Workspace::resolveDataDir());
    if (!lock)
        return 1;

    Startup::showUpgradeProgress();
    Workspace dataModule;
    Startup::prepare(dataModule);
    MainWindow mainWindow;
    mainWindow.show();
    return app.exec();
}
