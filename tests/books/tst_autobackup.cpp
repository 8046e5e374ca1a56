#include "app/TfrmMain.h"
#include "books/AutoBackup.h"
#include "books/BookStore.h"
#include "books/TfrmRecover.h"
#include "data/TfrmDM.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QStatusBar>
#include <QTest>

class TestAutoBackup : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { AutoBackup::setClock({}); }
    void oneBackupADayWhenABookIsOpened();
    void keepsTheNewestFourteen();
    void aFolderThatCannotBeWrittenLeavesTheBookUsable();
    void restoringAnAutomaticBackupBringsItsDataBack();
};

namespace {

QDateTime at(int day, int hour = 9)
{
    return QDateTime(QDate(2026, 3, 1).addDays(day - 1), QTime(hour, 30, 15));
}

void setTime(const QDateTime &time)
{
    AutoBackup::setClock([time] { return time; });
}

void openThroughMenu(TfrmMain &main, const QString &book)
{
    Drive::whenModal([&](QWidget *dialog) {
        Drive::choose(dialog, "DBLookupComboBox1", book);
        Drive::setText(dialog, "Edit1", BookStore::InitialPassword);
        Drive::click(dialog, "ButOpen");
        if (dialog->isVisible())
            dialog->close();
    });
    main.findChild<QAction *>("N3")->trigger();
}

QStringList backupNames()
{
    QStringList names;
    for (const QString &path : AutoBackup::list())
        names << QFileInfo(path).fileName();
    return names;
}

} // namespace

void TestAutoBackup::oneBackupADayWhenABookIsOpened()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    TfrmMain main;
    QCOMPARE(AutoBackup::folder(), env.dataDir() + "/自动备份");
    QVERIFY(AutoBackup::list().isEmpty());

    setTime(at(1, 9));
    openThroughMenu(main, "甲");
    QCOMPARE(env.dm()->currentBook(), QString("甲"));
    QCOMPARE(backupNames(), QStringList{"2026-03-01_093015.db"});
    QCOMPARE(Db::dumpFile(AutoBackup::list().first()), Db::dump());

    setTime(at(1, 21));
    openThroughMenu(main, "乙");
    QCOMPARE(env.dm()->currentBook(), QString("乙"));
    QCOMPARE(backupNames(), QStringList{"2026-03-01_093015.db"});

    setTime(at(2, 8));
    openThroughMenu(main, "甲");
    QCOMPARE(backupNames(), QStringList({"2026-03-02_083015.db", "2026-03-01_093015.db"}));
    QCOMPARE(AutoBackup::takenAt(AutoBackup::list().first()), QString("2026-03-02 08:30:15"));
    QVERIFY(messages.messages.isEmpty());
    QVERIFY(main.statusBar()->currentMessage().isEmpty());
}

void TestAutoBackup::keepsTheNewestFourteen()
{
    TestEnvironment env;
    BookStore::createBook("甲");
    QVERIFY(QDir().mkpath(AutoBackup::folder()));
    const QString ownFile = AutoBackup::folder() + "/我的备份.db";
    QFile(ownFile).open(QIODevice::WriteOnly);

    for (int day = 1; day <= AutoBackup::Kept; ++day) {
        setTime(at(day));
        QVERIFY(!AutoBackup::runIfDue().isEmpty());
    }
    QCOMPARE(AutoBackup::list().size(), 14);
    QCOMPARE(backupNames().last(), QString("2026-03-01_093015.db"));

    setTime(at(15));
    QCOMPARE(QFileInfo(AutoBackup::runIfDue()).fileName(), QString("2026-03-15_093015.db"));
    const QStringList names = backupNames();
    QCOMPARE(names.size(), 14);
    QCOMPARE(names.first(), QString("2026-03-15_093015.db"));
    QCOMPARE(names.last(), QString("2026-03-02_093015.db"));
    QVERIFY(QFile::exists(ownFile)); // files the program did not write stay
}

void TestAutoBackup::aFolderThatCannotBeWrittenLeavesTheBookUsable()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    // A file where the folder should be: no backup can be written there.
    QFile blocker(AutoBackup::folder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TfrmMain main;

    openThroughMenu(main, "甲");
    QCOMPARE(env.dm()->currentBook(), QString("甲"));
    QCOMPARE(main.windowTitle(), QString("甲"));
    QVERIFY(main.findChild<QMenu *>("N10")->menuAction()->isVisible());
    QVERIFY(messages.messages.isEmpty());
    const QString shown = main.statusBar()->currentMessage();
    QVERIFY2(shown.startsWith("自动备份失败：") && shown.contains("自动备份"), qPrintable(shown));

    // The book works: its windows open and its balances move.
    Drive::click(&main, "Side_N15");
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QVERIFY(main.closeAllChildren());
    env.dm()->AccountUp(*Money::parse("12.5"), "现金");
    QCOMPARE(Db::balance("甲", "现金"), *Money::parse("12.5"));

    // Shown once: opening again does not repeat it.
    main.statusBar()->clearMessage();
    openThroughMenu(main, "甲");
    QCOMPARE(env.dm()->currentBook(), QString("甲"));
    QVERIFY(main.statusBar()->currentMessage().isEmpty());
}

void TestAutoBackup::restoringAnAutomaticBackupBringsItsDataBack()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    setTime(at(1));
    AutoBackup::runIfDue();
    const QStringList atBackup = Db::dump();
    setTime(at(2));
    BookStore::deleteBook("乙");
    AutoBackup::runIfDue();
    BookStore::createBook("丙");

    TfrmMain main;
    TfrmRecover dialog(&main);
    dialog.show();
    auto *list = Drive::find<QListWidget>(&dialog, "ListAutoBackup");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("2026-03-02 09:30:15"));
    QCOMPARE(list->item(1)->text(), QString("2026-03-01 09:30:15"));
    list->setCurrentRow(1);
    QCOMPARE(Drive::text(&dialog, "Edit1"), QDir::toNativeSeparators(AutoBackup::list().last()));

    messages.answer(QMessageBox::Yes);
    Drive::click(&dialog, "ButRecover");
    QCOMPARE(messages.lastText(), QString("数据恢复成功！"));
    QCOMPARE(Db::dump(), atBackup);
    QVERIFY(BookStore::bookExists("乙") && !BookStore::bookExists("丙"));
}

QTEST_MAIN(TestAutoBackup)
#include "tst_autobackup.moc"
