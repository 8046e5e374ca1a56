// Household sync beside its baselines, each on fresh data folders sharing one sync
// folder (thread CPU time, wall clock beside):
//   apply   N actions of another computer applied here (one file each, through
//           the ledger), against making the same N actions here — goal at most 2x;
//   write   the same N actions written out as change files;
//   save    one save through the ledger in a shared book, against one in the same
//           book not shared (median of 41, alternately) — goal at most 1.2x;
//   month   what 300 actions of a household's month write into the folder, sent
//           five at a time — goal under 100 kB;
//   share   sharing a sample book of M entries: the snapshot written, its size;
//   join    joining from that snapshot on a computer that holds nothing yet,
//           against a restore of that book's backup — goal at most 2x.
//
//   bench_sync [N = 10000] [M = 100000] [cache = /tmp/qinghebu-bench]
// The sample book of M entries is kept in the cache folder between runs.
#include "../common/BenchCommon.h"
#include "core/books/BookStore.h"
#include "core/ledger/Ledger.h"
#include "core/sync/Exchange.h"
#include "data/Sql.h"

#include <QDirIterator>

namespace {

using namespace Bench;
const QString Password = QStringLiteral("我们全家的密码");

// One data folder's data module at a time, as each computer has its own.
class Computers
{
public:
    void use(const QString &dir)
    {
        m_workspace.reset();
        QDir().mkpath(dir);
        qputenv("QINGHEBU_DATA_DIR", dir.toUtf8());
        m_workspace = std::make_unique<Workspace>();
        if (!m_workspace->isOpen())
            qFatal("%s", qPrintable(m_workspace->openError()));
    }
    void close() { m_workspace.reset(); }

private:
    std::unique_ptr<Workspace> m_workspace;
};

void saveIncome(const QString &book, int i)
{
    Ledger ledger(book);
    ledger.save(Ledger::income(), {{"IDate", QStringLiteral("2026-12-01")},
                                   {"IName", QStringLiteral("工资")},
                                   {"IMoney", Money::fromUnits(qint64(i + 1) * 10000).toVariant()},
                                   {"AName", QStringLiteral("现金")},
                                   {"FName", QString()},
                                   {"Remark", QStringLiteral("第%1笔").arg(i)}});
    ledger.commit();
}

// A household's day-to-day: mostly new entries, some edited or deleted, sent now
// and then (every fifth action, as a computer that exchanges every minute would).
void monthOfActions(const QString &book, int actions)
{
    for (int i = 0; i < actions; ++i) {
        if (i % 5 == 0)
            Sync::exchange();
        if (i % 10 == 7) {
            Ledger ledger(book);
            const QVariant key = Sql(QStringLiteral("select max(ID) from InTable")).scalar();
            ledger.saveEdit(Ledger::income(), key, {{"Remark", QStringLiteral("改过")}});
            ledger.commit();
        } else if (i % 10 == 9) {
            Ledger ledger(book);
            ledger.remove(Ledger::income(),
                          Sql(QStringLiteral("select min(ID) from InTable")).scalar());
            ledger.commit();
        } else {
            saveIncome(book, i);
        }
    }
}

qint64 folderBytes(const QString &folder)
{
    qint64 bytes = 0;
    for (QDirIterator it(folder, {QStringLiteral("0*")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        bytes += QFileInfo(it.next()).size();
    return bytes;
}

void line(const char *what, const Timing &t, const Timing &base, double goal)
{
    const double ratio = base.cpu > 0 ? t.cpu / base.cpu : 0;
    std::printf("%-7s %10.1f ms (wall %10.1f)  against %10.1f ms (wall %10.1f)  %5.2fx  goal "
                "<= %.1fx  %s\n",
                what, t.cpu, t.wall, base.cpu, base.wall, ratio, goal,
                ratio <= goal ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char *argv[])
{
    noteUnoptimised();
    QCoreApplication app(argc, argv);
    const int actions = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const qint64 entries = argc > 2 ? QString::fromLocal8Bit(argv[2]).toLongLong() : 100000;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("同步")), first = dir.filePath("a"),
                  second = dir.filePath("b");
    QDir().mkpath(folder);
    Computers computers;

    // apply against local, and write
    computers.use(first);
    BookStore::createBook(Book);
    Sync::setUpFirst(folder, Password, QStringLiteral("客厅"), {Book});
    computers.use(second);
    Sync::join(folder, Password, QStringLiteral("书房"));
    computers.use(first);
    const Timing local = timed([&] {
        for (int i = 0; i < actions; ++i)
            saveIncome(Book, i);
    });
    const Timing write = timed([] { Sync::exchange(); });
    computers.use(second);
    Sync::Report report;
    const Timing apply = timed([&] { report = Sync::exchange(); });
    if (report.appliedRows != actions)
        qFatal("applied %d actions of %d", report.appliedRows, actions);
    line("apply", apply, local, 2.0);
    std::printf("write   %10.1f ms (wall %10.1f)  %d actions in %d files\n", write.cpu, write.wall,
                actions, report.appliedFiles);

    // a save, shared or not: the same book, its sharing taken away and given back
    // between the saves
    const QVariant share =
        Sql(QStringLiteral("select ShareID from SyncShare where BName=?"), {Book}).scalar();
    Sample shared, alone;
    for (int r = 0; r < 41; ++r) {
        shared.add(timed([&] { saveIncome(Book, r); }));
        Sql(QStringLiteral("delete from SyncShare where BName=?"), {Book}).exec();
        alone.add(timed([&] { saveIncome(Book, r); }));
        Sql(QStringLiteral("insert into SyncShare (BName, ShareID) values (?, ?)"), {Book, share})
            .exec();
    }
    line("save", shared.median(), alone.median(), 1.2);

    // a month
    Sync::exchange();
    const qint64 before = folderBytes(folder);
    monthOfActions(Book, 300);
    Sync::exchange();
    const double kb = (folderBytes(folder) - before) / 1024.0;
    std::printf("month   %10.1f kB for 300 actions  goal < 100 kB  %s\n", kb,
                kb < 100 ? "met" : "NOT MET");

    // join against restore
    const QString big = dir.filePath("c"), joining = dir.filePath("d"),
                  restoring = dir.filePath("e"), bigFolder = dir.filePath("同步2"),
                  backup = dir.filePath("备份.db");
    computers.close();
    const QString cache =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("/tmp/qinghebu-bench");
    QDir().mkpath(big);
    QFile::copy(keptBook(QDir(cache).absolutePath(), entries), bookFile(big));
    QDir().mkpath(bigFolder);
    computers.use(big);
    const Timing sharing =
        timed([&] { Sync::setUpFirst(bigFolder, Password, QStringLiteral("客厅"), {Book}); });
    qint64 snapshotBytes = 0;
    for (const QFileInfo &file :
         QDir(bigFolder + QStringLiteral("/snapshots")).entryInfoList(QDir::Files))
        snapshotBytes += file.size();
    std::printf("share   %10.1f ms (wall %10.1f)  a snapshot of %.1f MB\n", sharing.cpu,
                sharing.wall, snapshotBytes / 1048576.0);
    BookStore::backupTo(backup);
    computers.use(joining);
    const Timing join = timed([&] { Sync::join(bigFolder, Password, QStringLiteral("书房")); });
    computers.use(restoring);
    const Timing restore = timed([&] { BookStore::restoreFrom(backup); });
    line("join", join, restore, 2.0);
    std::printf("(join of a book of %lld entries)\n", static_cast<long long>(entries));
    computers.close();
    return 0;
}
