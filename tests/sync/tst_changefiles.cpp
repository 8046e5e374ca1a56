#include "core/sync/ChangeFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using Sync::Folder;
using Sync::SyncError;
namespace Reason = Sync::Reason;

class TestChangeFiles : public QObject
{
    Q_OBJECT
private slots:
    void payloadsComeBackAsWritten_data();
    void payloadsComeBackAsWritten();
    void twoComputersReadEachOthersFiles();
    void openRefusesAWrongPasswordAndFoldersNotOurs();
    void createRefusesASyncFolderAShortPasswordAndAPathThatCannotBeMade();
    void damagedOrMovedFilesAreRefused_data();
    void damagedOrMovedFilesAreRefused();
    void conflictedCopiesAreRefusedAndTemporaryFilesIgnored();
    void aNewerLayoutIsKeptUnapplied();
    void aSequenceIsWrittenOnceAndOnlyUnderASafeName();
    void snapshotsComeBackAndTheLastWrittenIsLatest();
    void removeUpToRemovesOnlyThatComputersEarlierFiles();
};

namespace {

const QString Password = QStringLiteral("全家的密码2024");

// A fresh household sync folder, as the first computer sets it up.
struct SyncFolder
{
    QTemporaryDir dir;
    Folder folder = Folder::create(dir.path(), Password);
};

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void overwrite(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString messageOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const SyncError &error) {
        return error.message();
    }
    return {};
}

QStringList reasonsByName(const QList<Folder::Refused> &refused)
{
    QStringList lines;
    for (const auto &r : refused)
        lines << QFileInfo(r.path).fileName() + QStringLiteral(": ") + r.reason;
    lines.sort();
    return lines;
}

} // namespace

void TestChangeFiles::payloadsComeBackAsWritten_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("binary") << QByteArray("\0\x01\xff 青禾簿\n", 12);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("5 MB") << randomBytes(5 << 20);
}

void TestChangeFiles::payloadsComeBackAsWritten()
{
    QFETCH(QByteArray, payload);
    SyncFolder sync;
    sync.folder.write(QStringLiteral("客厅台式机"), 1, payload);

    const Folder::Scan scan = sync.folder.scan();
    QVERIFY(scan.refused.isEmpty());
    QCOMPARE(scan.files.size(), 1);
    QCOMPARE(scan.files[0].computer, QStringLiteral("客厅台式机"));
    QCOMPARE(scan.files[0].sequence, 1);
    QCOMPARE(QFileInfo(scan.files[0].path).fileName(), QStringLiteral("0000000001"));
    const Folder::Read read = sync.folder.read(scan.files[0]);
    QVERIFY2(read.ok(), qPrintable(read.refusal));
    QCOMPARE(read.layout, Sync::Layout);
    QCOMPARE(read.payload, payload);
    // Nothing of the payload can be seen in the file.
    if (payload.size() > 100)
        QVERIFY(!contents(scan.files[0].path).contains(payload.left(64)));

    // A snapshot, written the same way.
    sync.folder.writeSnapshot(QStringLiteral("客厅台式机"), 1, payload);
    const Folder::Read snapshot = sync.folder.readSnapshot(*sync.folder.latestSnapshot());
    QVERIFY2(snapshot.ok(), qPrintable(snapshot.refusal));
    QCOMPARE(snapshot.layout, Sync::Layout);
    QCOMPARE(snapshot.payload, payload);
}

void TestChangeFiles::twoComputersReadEachOthersFiles()
{
    SyncFolder sync;
    Folder laptop = Folder::open(sync.dir.path(), Password);
    sync.folder.write(QStringLiteral("台式机"), 2, "desk 2");
    laptop.write(QStringLiteral("笔记本"), 1, "laptop 1");
    sync.folder.write(QStringLiteral("台式机"), 1, "desk 1");

    for (const Folder *reader : {&sync.folder, &laptop}) {
        QStringList seen;
        for (const auto &file : reader->scan().files)
            seen << file.computer + QLatin1Char('/') +
                        QString::fromUtf8(reader->read(file).payload);
        QCOMPARE(seen, (QStringList{"台式机/desk 1", "台式机/desk 2", "笔记本/laptop 1"}));
    }
}

void TestChangeFiles::openRefusesAWrongPasswordAndFoldersNotOurs()
{
    SyncFolder sync;
    QCOMPARE(messageOf([&] { Folder::open(sync.dir.path(), QStringLiteral("全家的密码2025")); }),
             QStringLiteral("家庭同步密码不对。"));

    QTemporaryDir empty;
    QVERIFY(messageOf([&] {
                Folder::open(empty.path(), Password);
            }).contains(QDir::toNativeSeparators(empty.path()) + " 不是青禾簿的同步文件夹"));
    overwrite(empty.path() + "/qinghebu-sync.json", R"({"format": "something else"})");
    QVERIFY(messageOf([&] {
                Folder::open(empty.path(), Password);
            }).contains("不是青禾簿的同步文件夹"));
    QVERIFY(messageOf([&] {
                Folder::open(empty.path() + "/nowhere", Password);
            }).contains("nowhere 不存在"));
}

void TestChangeFiles::createRefusesASyncFolderAShortPasswordAndAPathThatCannotBeMade()
{
    SyncFolder sync;
    QVERIFY(messageOf([&] {
                Folder::create(sync.dir.path(), Password);
            }).contains("已经是青禾簿的同步文件夹"));
    Folder::open(sync.dir.path(), Password); // still opens with its own password

    QTemporaryDir dir;
    QCOMPARE(messageOf([&] { Folder::create(QString(), Password); }),
             QStringLiteral("请选择同步文件夹。"));
    QCOMPARE(messageOf([&] { Folder::create(dir.path(), QStringLiteral("一二三四五")); }),
             QStringLiteral("家庭同步密码至少 6 个字符。"));
    QVERIFY(!QFile::exists(dir.path() + "/qinghebu-sync.json"));

    overwrite(dir.path() + "/a-file", "x");
    const QString below = dir.path() + "/a-file/sync";
    QVERIFY(messageOf([&] {
                Folder::create(below, Password);
            }).contains("不能写入同步文件夹 " + QDir::toNativeSeparators(below)));
}

void TestChangeFiles::damagedOrMovedFilesAreRefused_data()
{
    using Damage = std::function<void(const QString &path)>;
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("reason");
    const auto flipByteAt = [](qsizetype offset) {
        return Damage([offset](const QString &path) {
            QByteArray bytes = contents(path);
            const qsizetype at = offset < 0 ? bytes.size() + offset : offset;
            bytes[at] = char(bytes[at] ^ 0x01);
            overwrite(path, bytes);
        });
    };
    const auto keepFirst = [](qsizetype size) {
        return Damage([size](const QString &path) {
            QByteArray bytes = contents(path);
            overwrite(path, bytes.left(size < 0 ? bytes.size() + size : size));
        });
    };
    const auto moveTo = [](const QString &relative) {
        return Damage([relative](const QString &path) {
            const QString target = QFileInfo(path).dir().filePath(relative);
            QVERIFY(QDir().mkpath(QFileInfo(target).path()));
            QVERIFY(QFile::rename(path, target));
        });
    };
    QTest::newRow("time written in header") << flipByteAt(20) << Reason::Damaged;
    QTest::newRow("computer name in header") << flipByteAt(29) << Reason::Misplaced;
    QTest::newRow("sequence in header") << flipByteAt(18) << Reason::Misplaced;
    QTest::newRow("body") << flipByteAt(60) << Reason::Damaged;
    QTest::newRow("tag") << flipByteAt(-1) << Reason::Damaged;
    QTest::newRow("cut short") << keepFirst(-5) << Reason::Damaged;
    QTest::newRow("only the magic") << keepFirst(8) << Reason::Damaged;
    QTest::newRow("empty") << keepFirst(0) << Reason::Damaged;
    QTest::newRow("renamed to another sequence") << moveTo("0000000009") << Reason::Misplaced;
    QTest::newRow("copied to another computer")
        << moveTo("../书房/0000000007") << Reason::Misplaced;
}

void TestChangeFiles::damagedOrMovedFilesAreRefused()
{
    QFETCH(std::function<void(const QString &)>, damage);
    QFETCH(QString, reason);
    SyncFolder sync;
    sync.folder.write(QStringLiteral("客厅"), 7, randomBytes(200));
    damage(sync.dir.path() + "/客厅/0000000007");

    const Folder::Scan scan = sync.folder.scan();
    QCOMPARE(scan.files.size(), 1);
    const Folder::Read read = sync.folder.read(scan.files[0]);
    QCOMPARE(read.refusal, reason);
    QVERIFY(!read.ok());
    QVERIFY(!read.newer);
    QVERIFY(read.payload.isEmpty());
}

void TestChangeFiles::conflictedCopiesAreRefusedAndTemporaryFilesIgnored()
{
    SyncFolder sync;
    sync.folder.write(QStringLiteral("客厅"), 1, "one");
    const QString folder = sync.dir.path() + "/客厅/";
    const QByteArray written = contents(folder + "0000000001");
    for (const char *name : {"0000000001.sync-conflict-20240101-120000-ABCDEFG",
                             "0000000001 (conflicted copy 2024-01-01 120000)", "0000000001 (1)",
                             "0000000001-冲突", "0000000001-LAPTOP", "notes.txt",
                             ".0000000002.1f2e.tmp", ".syncthing.0000000003.tmp", "desktop.ini"})
        overwrite(folder + QString::fromUtf8(name), written);
    QVERIFY(QDir(sync.dir.path()).mkpath("snapshots"));
    overwrite(sync.dir.path() + "/snapshots/客厅-0000000001 (1)", written);

    const Folder::Scan scan = sync.folder.scan();
    QCOMPARE(scan.files.size(), 1);
    QCOMPARE(sync.folder.read(scan.files[0]).payload, QByteArray("one"));
    const QString conflict = ": " + Reason::ConflictedCopy;
    QCOMPARE(reasonsByName(scan.refused),
             (QStringList{"0000000001 (1)" + conflict,
                          "0000000001 (conflicted copy 2024-01-01 120000)" + conflict,
                          "0000000001-LAPTOP" + conflict, "0000000001-冲突" + conflict,
                          "0000000001.sync-conflict-20240101-120000-ABCDEFG" + conflict,
                          "notes.txt: " + Reason::NotSyncFile, "客厅-0000000001 (1)" + conflict}));
}

void TestChangeFiles::aNewerLayoutIsKeptUnapplied()
{
    SyncFolder sync;
    sync.folder.write(QStringLiteral("客厅"), 3, "from a newer program");
    const QString path = sync.dir.path() + "/客厅/0000000003";
    QByteArray bytes = contents(path);
    bytes[8] = char((Sync::Layout + 1) >> 8);
    bytes[9] = char((Sync::Layout + 1) & 0xff);
    overwrite(path, bytes);

    const Folder::Read read = sync.folder.read(sync.folder.scan().files.value(0));
    QVERIFY(read.newer);
    QCOMPARE(read.layout, Sync::Layout + 1);
    QCOMPARE(read.refusal, Reason::Newer);
    QVERIFY(read.payload.isEmpty());
    QCOMPARE(contents(path), bytes);
}

void TestChangeFiles::aSequenceIsWrittenOnceAndOnlyUnderASafeName()
{
    SyncFolder sync;
    sync.folder.write(QStringLiteral("客厅"), 5, "first");
    QVERIFY(messageOf([&] {
                sync.folder.write(QStringLiteral("客厅"), 5, "second");
            }).contains("0000000005 已经写过"));
    QCOMPARE(sync.folder.read(sync.folder.scan().files.value(0)).payload, QByteArray("first"));

    for (const QString &name :
         {QString(), QStringLiteral(".."), QStringLiteral(".hidden"), QStringLiteral("a/b"),
          QStringLiteral("a\\b"), QStringLiteral("tab\there"), QStringLiteral("snapshots"),
          QStringLiteral("NUL"), QStringLiteral("ends with dot.")})
        QVERIFY2(messageOf([&] { sync.folder.write(name, 1, "x"); }).contains("不能用作"),
                 qPrintable(name));
    QVERIFY(messageOf([&] {
                sync.folder.write(QStringLiteral("客厅"), -1, "x");
            }).contains("超出范围"));
    QCOMPARE(QDir(sync.dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{"客厅"});
    // Nothing but the one file is left behind, temporary or not.
    QCOMPARE(QDir(sync.dir.path() + "/客厅").entryList(QDir::Files | QDir::Hidden),
             QStringList{"0000000005"});
}

void TestChangeFiles::snapshotsComeBackAndTheLastWrittenIsLatest()
{
    SyncFolder sync;
    QVERIFY(!sync.folder.latestSnapshot());
    const QByteArray books = randomBytes(300000);
    sync.folder.writeSnapshot(QStringLiteral("书房"), 40, "older");
    // The next is written a millisecond later at least, so it is the later by time.
    for (const qint64 first = QDateTime::currentMSecsSinceEpoch();
         QDateTime::currentMSecsSinceEpoch() == first;) {
    }
    sync.folder.writeSnapshot(QStringLiteral("客厅"), 12, books);
    sync.folder.write(QStringLiteral("客厅"), 12, "a change file");

    QCOMPARE(sync.folder.snapshots().size(), 2);
    QVERIFY(sync.folder.scan().refused.isEmpty());
    QCOMPARE(sync.folder.scan().files.size(), 1); // snapshots are no computer's changes
    const auto latest = sync.folder.latestSnapshot();
    QVERIFY(latest);
    QCOMPARE(latest->computer, QStringLiteral("客厅"));
    QCOMPARE(latest->sequence, 12);
    QCOMPARE(QFileInfo(latest->path).fileName(), QStringLiteral("客厅-0000000012"));
    const Folder::Read read = Folder::open(sync.dir.path(), Password).readSnapshot(*latest);
    QVERIFY2(read.ok(), qPrintable(read.refusal));
    QCOMPARE(read.payload, books);

    // A change file put among the snapshots under a snapshot's name is not one.
    QVERIFY(QFile::copy(sync.dir.path() + "/客厅/0000000012",
                        sync.dir.path() + "/snapshots/客厅-0000000099"));
    const auto copied = Folder::Listed{"客厅", 99, sync.dir.path() + "/snapshots/客厅-0000000099"};
    QCOMPARE(sync.folder.readSnapshot(copied).refusal, Reason::Misplaced);
}

void TestChangeFiles::removeUpToRemovesOnlyThatComputersEarlierFiles()
{
    SyncFolder sync;
    for (qint64 sequence = 1; sequence <= 4; ++sequence) {
        sync.folder.write(QStringLiteral("客厅"), sequence, "x");
        sync.folder.write(QStringLiteral("书房"), sequence, "y");
    }
    sync.folder.removeUpTo(QStringLiteral("客厅"), 2);
    QStringList left;
    for (const auto &file : sync.folder.scan().files)
        left << file.computer + QString::number(file.sequence);
    QCOMPARE(left, (QStringList{"书房1", "书房2", "书房3", "书房4", "客厅3", "客厅4"}));
}

QTEST_GUILESS_MAIN(TestChangeFiles)
#include "tst_changefiles.moc"
