#include "app/MainWindow.h"
#include "books/RestoreDialog.h"
#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
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
    void theFailureAtStartIsReadableInTheStatusBar();
    void restoringAnAutomaticBackupBringsItsDataBack();
    void aCopyThatFailsOnTheWorkerIsSaidInTheStatusBar();
    void quittingDuringTheBackupLeavesNoPartialFile();
    void keptTotalsThatDisagreeAreRebuiltAfterOpening();
};

namespace {

// 09:30:15 (or another hour) on day `day` of March 2026.
void setDay(int day, int hour = 9)
{
    const QDateTime time(QDate(2026, 3, day), QTime(hour, 30, 15));
    AutoBackup::setClock([time] { return time; });
}

void openThroughMenu(MainWindow &main, const QString &book)
{
    Drive::whenModal([&](QWidget *dialog) {
        Drive::choose(dialog, "DBLookupComboBox1", book);
        Drive::setText(dialog, "Edit1", BookStore::InitialPassword);
        Drive::click(dialog, "ButOpen");
        if (dialog->isVisible())
            dialog->close();
    });
    main.findChild<QAction *>("N3")->trigger();
    QCOMPARE(Workspace::instance()->currentBook(), book);
    Background::waitForIdle(); // the backup and the check of the totals
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
    MainWindow main;
    QCOMPARE(AutoBackup::folder(), env.dataDir() + "/自动备份");

    setDay(1, 9);
    openThroughMenu(main, "甲");
    QCOMPARE(backupNames(), QStringList{"2026-03-01_093015.db"});
    QCOMPARE(Db::dumpFile(AutoBackup::list().first()), Db::dump());
    setDay(1, 21);
    openThroughMenu(main, "乙");
    QCOMPARE(backupNames(), QStringList{"2026-03-01_093015.db"});
    setDay(2, 8);
    openThroughMenu(main, "甲");
    QCOMPARE(backupNames(), QStringList({"2026-03-02_083015.db", "2026-03-01_093015.db"}));
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(main.statusBar()->currentMessage(),
             QString("今天的自动备份已完成：2026-03-02_083015.db"));
}

void TestAutoBackup::keepsTheNewestFourteen()
{
    TestEnvironment env;
    BookStore::createBook("甲");
    QVERIFY(QDir().mkpath(AutoBackup::folder()));
    const QString usersFile = AutoBackup::folder() + "/我的备份.db";
    QFile(usersFile).open(QIODevice::WriteOnly);
    for (int day = 1; day <= 14; ++day) {
        setDay(day);
        QVERIFY(!AutoBackup::runIfDue().isEmpty());
    }
    QCOMPARE(backupNames().size(), 14);

    setDay(15);
    AutoBackup::runIfDue();
    const QStringList names = backupNames();
    QCOMPARE(names.size(), AutoBackup::Kept);
    QCOMPARE(names.first(), QString("2026-03-15_093015.db"));
    QCOMPARE(names.last(), QString("2026-03-02_093015.db"));
    QVERIFY(QFile::exists(usersFile)); // what the program did not write stays
}

void TestAutoBackup::aFolderThatCannotBeWrittenLeavesTheBookUsable()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    QFile(AutoBackup::folder()).open(QIODevice::WriteOnly); // a file where the folder goes
    MainWindow main;

    openThroughMenu(main, "甲");
    QVERIFY(messages.messages.isEmpty());
    const QString shown = main.statusBar()->currentMessage();
    QVERIFY2(shown.startsWith("自动备份失败：无法创建文件夹"), qPrintable(shown));
    Drive::click(&main, "Side_N15");
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QVERIFY(main.closeAllChildren());
    Seed seed("甲");
    seed.account("现金", yuan("12.5"));
    seed.commit();
    QCOMPARE(Db::balance("甲", "现金"), *Money::parse("12.5"));

    // Shown once: opening again does not repeat it.
    main.statusBar()->clearMessage();
    openThroughMenu(main, "甲");
    QVERIFY(main.statusBar()->currentMessage().isEmpty());
}

void TestAutoBackup::theFailureAtStartIsReadableInTheStatusBar()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    QFile(AutoBackup::folder()).open(QIODevice::WriteOnly);
    // The book is opened by the start-up dialog, before the main window is shown.
    env.withStartupDialog();
    Drive::whenModal([](QWidget *dialog) {
        Drive::setText(dialog, "Edit1", BookStore::InitialPassword);
        Drive::click(dialog, "ButOpen");
    });
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(main.statusBar()->currentMessage().startsWith("自动备份失败："));
    // The status text gives the notice its place instead of being drawn under it.
    QVERIFY(!main.findChild<QLabel *>("StatusPanel")->isVisible());
    main.statusBar()->clearMessage();
    QVERIFY(main.findChild<QLabel *>("StatusPanel")->isVisible());
}

void TestAutoBackup::restoringAnAutomaticBackupBringsItsDataBack()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    setDay(1);
    AutoBackup::runIfDue();
    const QStringList atBackup = Db::dump();
    BookStore::deleteBook("乙");
    setDay(2);
    AutoBackup::runIfDue();

    MainWindow main;
    RestoreDialog dialog(&main);
    dialog.show();
    auto *list = Drive::find<QListWidget>(&dialog, "ListAutoBackup");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("2026-03-02 09:30:15"));
    QCOMPARE(list->item(1)->text(), QString("2026-03-01 09:30:15"));
    list->setCurrentRow(1);
    QCOMPARE(Drive::text(&dialog, "Edit1"), QDir::toNativeSeparators(AutoBackup::list().last()));
    messages.answer(QMessageBox::Yes);
    Drive::click(&dialog, "ButRecover");
    QVERIFY(messages.lastText().startsWith("数据恢复成功！"));
    QCOMPARE(Db::dump(), atBackup);
}

void TestAutoBackup::aCopyThatFailsOnTheWorkerIsSaidInTheStatusBar()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    QVERIFY(QDir().mkpath(AutoBackup::folder()));
    WriteProtected readOnly(AutoBackup::folder());
    if (!readOnly.isActive())
        QSKIP("the folder cannot be made read-only here");
    MainWindow main;
    openThroughMenu(main, "甲");
    const QString shown = main.statusBar()->currentMessage();
    QVERIFY2(shown.startsWith("自动备份失败：") && !shown.contains('\n'), qPrintable(shown));
    QVERIFY(messages.messages.isEmpty());
    QVERIFY(QDir(AutoBackup::folder()).entryList(QDir::Files).isEmpty());
}

void TestAutoBackup::quittingDuringTheBackupLeavesNoPartialFile()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    // Enough data that the copy and its check take a while.
    Db::exec("with recursive n(i) as (select 1 union all select i+1 from n where i<50000) "
             "insert into SFamily (FName, Remark) select '成员' || i, hex(randomblob(40)) from n");
    MainWindow main;
    Drive::whenModal([](QWidget *dialog) {
        Drive::choose(dialog, "DBLookupComboBox1", "甲");
        Drive::setText(dialog, "Edit1", BookStore::InitialPassword);
        Drive::click(dialog, "ButOpen");
    });
    main.findChild<QAction *>("N3")->trigger();
    QCOMPARE(Workspace::instance()->currentBook(), QString("甲"));
    QVERIFY(Background::isBusy()); // the book is open, the backup still running

    Background::finishAll(); // as the program does when it ends
    // Cut off, the copy is gone; finished, it is complete and checked.
    const QStringList left = QDir(AutoBackup::folder()).entryList(QDir::Files);
    QVERIFY2(left.size() <= 1, qPrintable(left.join(", ")));
    for (const QString &name : left)
        QCOMPARE(BookStore::checkBackup(AutoBackup::folder() + "/" + name), QString());
}

void TestAutoBackup::keptTotalsThatDisagreeAreRebuiltAfterOpening()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    setDay(1);
    AutoBackup::runIfDue(); // today's is there: the check follows the opening at once
    // Kept totals that no row gives, written by hand: the damage the check repairs.
    Db::exec("insert into MonthTotal (BName, Month, Kind, Name, AName, AName2, FName, Amount, "
             "Cnt) values ('甲', '2026-02', 'InTable', '工资', '现金', '', '', 10000, 1)");
    QVERIFY(!MonthTotals::differences(env.dm()->database()).isEmpty());
    MainWindow main;
    openThroughMenu(main, "甲");
    QVERIFY(MonthTotals::differences(env.dm()->database()).isEmpty());
    QCOMPARE(main.statusBar()->currentMessage(), QString("各月合计与明细不符，已重新计算。"));
    QVERIFY(messages.messages.isEmpty());
}

QTEST_MAIN(TestAutoBackup)
#include "tst_autobackup.moc"
