#include "app/Startup.h"
#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "support/DiskFull.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

// Before the main window: the data folder's lock, leftovers of a crash, a data
// file that cannot be saved.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void aFolderThatCannotBeWrittenIsNamed();
    void aFullDiskIsSaidSo();
    void aCopyRunningHereStillSaysItIsOpen();
    void aLockFromAnotherMachineIsOfferedForRemoval();
    void oldOrUnreadableLocksMayBeLeftOver();
    void leftoverTemporaryCopiesAreRemoved();
    void aReadOnlyDataFileIsSaidAtStartAndInFailures();
};

namespace {

void writeFile(const QString &path, const QByteArray &content = "x")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

void TestStartup::aFolderThatCannotBeWrittenIsNamed()
{
    QTemporaryDir dir;
    MessageRecorder messages;
    writeFile(dir.filePath("plain-file"));
    const QString dataDir = dir.filePath("plain-file/Data");
    QVERIFY(!Startup::lockDataFolder(dataDir));
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.lastText().contains(QDir::toNativeSeparators(dataDir)));
    QVERIFY(messages.lastText().contains("不能写入"));
}

void TestStartup::aFullDiskIsSaidSo()
{
    FullFolder full;
    if (!full.isActive())
        QSKIP("a full file system cannot be mounted here");
    MessageRecorder messages;
    QVERIFY(!Startup::lockDataFolder(full.path()));
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY2(
        messages.lastText().contains(QDir::toNativeSeparators(full.path()) + " 所在的磁盘已满"),
        qPrintable(messages.lastText()));
}

void TestStartup::aCopyRunningHereStillSaysItIsOpen()
{
    QTemporaryDir dir;
    MessageRecorder messages;
    QLockFile running(Startup::lockFilePath(dir.path()));
    QVERIFY(running.tryLock(0));
    QVERIFY(!Startup::lockDataFolder(dir.path()));
    QCOMPARE(messages.texts(), QStringList{"青禾簿 已经打开了！"});
}

void TestStartup::aLockFromAnotherMachineIsOfferedForRemoval()
{
    QTemporaryDir dir;
    MessageRecorder messages;
    const QString path = Startup::lockFilePath(dir.path());
    writeFile(path, "4242\nqinghebu\nthe-other-laptop\n");

    // Kept: the program ends and the lock stays.
    QVERIFY(!Startup::lockDataFolder(dir.path()));
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(messages.messages.first().defaultButton, QMessageBox::No);
    QVERIFY(messages.lastText().contains("the-other-laptop"));
    QVERIFY(messages.lastText().contains("4242"));
    QVERIFY(QFile::exists(path));

    messages.clear();
    messages.answer(QMessageBox::Yes);
    const std::unique_ptr<QLockFile> lock = Startup::lockDataFolder(dir.path());
    QVERIFY(lock && lock->isLocked());
    QCOMPARE(messages.messages.size(), 1);
}

void TestStartup::oldOrUnreadableLocksMayBeLeftOver()
{
    using Startup::LockVerdict;
    const QDateTime now(QDate(2026, 3, 2), QTime(9, 0));
    const QString here = QSysInfo::machineHostName();
    const auto verdict = [&](qint64 pid, const QString &host, qint64 hoursAgo) {
        return Startup::judge({pid, host, now.addSecs(-hoursAgo * 3600)}, here, now);
    };
    QCOMPARE(verdict(10, here, 23), LockVerdict::Running);
    QCOMPARE(verdict(10, "", 1), LockVerdict::Running); // no host recorded: this one
    QCOMPARE(verdict(10, here, 25), LockVerdict::LeftOver);
    QCOMPARE(verdict(10, "elsewhere", 0), LockVerdict::LeftOver);
    QCOMPARE(verdict(0, here, 0), LockVerdict::LeftOver);
}

void TestStartup::leftoverTemporaryCopiesAreRemoved()
{
    TestEnvironment env;
    MessageRecorder messages;
    QVERIFY(QDir().mkpath(AutoBackup::folder()));
    const QString data = env.dataDir() + "/";
    const QString autoBackups = AutoBackup::folder() + "/";
    const QStringList leftovers = {data + "恢复前的数据-20260301-093015-123.db.0a1b2c3d.tmp",
                                   data +
                                       "恢复前的数据-20260301-093015-123.db.0a1b2c3d.tmp-journal",
                                   autoBackups + "2026-03-01_093015.db.deadbeef.tmp"};
    const QStringList kept = {data + "我的.db.tmp", data + "笔记.db.0a1b2c3d.tmp.txt",
                              data + "x.db.0A1B2C3G.tmp", autoBackups + "2026-03-01_093015.db"};
    for (const QString &path : leftovers + kept)
        writeFile(path);

    Startup::prepare(*env.dm());
    for (const QString &path : leftovers)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    for (const QString &path : kept)
        QVERIFY2(QFile::exists(path), qPrintable(path));
    QVERIFY(messages.messages.isEmpty());
}

void TestStartup::aReadOnlyDataFileIsSaidAtStartAndInFailures()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    QTemporaryDir folder;
    const QString backup = folder.filePath("backup.db");
    BookStore::backupTo(backup);

    WriteProtected readOnly(env.dm()->databasePath());
    if (!readOnly.isActive())
        QSKIP("the data file cannot be made read-only here");
    QVERIFY(env.dm()->reopen());
    Startup::prepare(*env.dm());
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.lastText().startsWith(
        QStringLiteral("数据文件 %1 是只读的")
            .arg(QDir::toNativeSeparators(env.dm()->databasePath()))));

    // Written through SQLite's own calls, a restore says it in Chinese too.
    try {
        BookStore::restoreFrom(backup);
        QFAIL("a restore into a read-only file succeeded");
    } catch (const DbError &e) {
        QVERIFY2(e.message().startsWith("数据没有恢复，原有的数据没有改变：数据文件是只读的"),
                 qPrintable(e.message()));
        QVERIFY(e.message().contains("readonly"));
    }
    QVERIFY(BookStore::bookExists("甲"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
