#include "core/sync/Exchange.h"

#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Upgrade.h"
#include "core/ledger/Workspace.h"
#include "core/sync/ChangeFiles.h"
#include "core/sync/Snapshot.h"
#include "core/sync/SyncActions.h"
#include "data/Background.h"
#include "data/Connection.h"
#include "data/FileDatabase.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <map>

namespace Sync {

namespace {

const QString FolderKey = QStringLiteral("Folder");
const QString ComputerKey = QStringLiteral("Computer");
const QString SecretKey = QStringLiteral("Key");
const QString SequenceKey = QStringLiteral("Sequence");
constexpr int BatchSize = 200;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The data folder may not be in the sync folder, nor the other way round: a
// sync service would copy the live data file, which loses data.
void refuseNesting(const QString &folder)
{
    const QString data = QFileInfo(Workspace::instance()->dataDir()).canonicalFilePath();
    const QString sync = QFileInfo(folder).canonicalFilePath();
    const auto inside = [](const QString &inner, const QString &outer) {
        return inner == outer || inner.startsWith(outer + QLatin1Char('/'));
    };
    if (!data.isEmpty() && !sync.isEmpty() && (inside(data, sync) || inside(sync, data)))
        throw SyncError(
            QStringLiteral("数据文件夹 %1 与同步文件夹 %2 不能互相包含：同步服务复制正在"
                           "使用的数据文件会丢失数据。请选择另一个同步文件夹。")
                .arg(nativePath(data), nativePath(sync)));
}

void refuseSetUpTwice()
{
    if (isSetUp())
        throw SyncError(QStringLiteral("本机已加入家庭同步（%1，同步文件夹 %2）。")
                            .arg(computerName(), nativePath(folderPath())));
}

void setApplied(const QString &computer, qint64 sequence)
{
    Sql(QStringLiteral("insert into SyncApplied (Computer, Seq) values (?, ?) on "
                       "conflict(Computer) do update set Seq=excluded.Seq"),
        {computer, sequence})
        .exec();
}

// ---- Snapshots ----

void writeSnapshot()
{
    const qint64 sequence = setting(SequenceKey).toLongLong();
    const Folder folder = householdFolder();
    // One taken at the same point before (a book shared since) gives way to it.
    for (const Folder::Listed &kept : folder.snapshots())
        if (kept.computer == computerName() && kept.sequence == sequence)
            QFile::remove(kept.path);
    Snapshot::image(computerName(), sequence, appliedSequences(), [&](QByteArrayView image) {
        folder.writeSnapshot(computerName(), sequence, image);
    });
}

// The key here of the row of `table` with that identity; none when it is not here.
QVariant keyOf(const QString &table, const QString &identity)
{
    return Sql(QStringLiteral("select ID from %1 where SyncID=?").arg(table), {identity}).scalar();
}

// The row a snapshot's row names by identity (a follow-up's entry, a recurring
// post's schedule and entry), by its key in this data file.
void nameByKeys(const QString &table, QVariantMap &row)
{
    if (const Ledger::FollowUpKind *followUp = Ledger::followUpKind(table))
        row[QLatin1String(followUp->entryKey)] = keyOf(QLatin1String(followUp->entry->table),
                                                       row.take(Snapshot::parentMark()).toString());
    for (const KeyReference &ref : KeyReferences) {
        const QString column = QLatin1String(ref.column);
        const QString marked = Snapshot::mark(column);
        if (table.compare(QLatin1String(ref.table), Qt::CaseInsensitive) != 0 ||
            !row.contains(marked))
            continue; // a snapshot of the version before: its keys as they were
        const QString named = row.take(marked).toString(); // "<table>:<identity>"
        row[column] = named.isEmpty() ? QVariant()
                                      : keyOf(named.section(QLatin1Char(':'), 0, 0),
                                              named.section(QLatin1Char(':'), 1));
    }
}

// Writes a shared book of a snapshot into this data folder under `name`: its
// rows as they were there, its balances and kept totals derived here.
void takeBook(const Snapshot &snapshot, const Snapshot::Book &book, const QString &name)
{
    Sql(QStringLiteral("insert into SBook (BName, BPass, BDate, Remark) values (?, ?, ?, ?)"),
        {name, book.password, book.made, book.remark})
        .exec();
    const SqlReuse prepared; // each table's insert prepared once
    for (const Schema::Table &t : Schema::tables()) {
        const QString table = QLatin1String(t.name);
        if (!Snapshot::carriesRowsOf(table))
            continue;
        snapshot.forEachRow(table, book.name, [&](QVariantMap row) {
            if (table == QLatin1String("SFamily") &&
                Sql(QStringLiteral("select 1 from SFamily where SyncID=?"),
                    {row.value(QStringLiteral("SyncID"))})
                    .hasRows())
                return; // a member every book shares, here already
            nameByKeys(table, row);
            if (table != QLatin1String("SFamily") && !Ledger::followUpKind(table))
                row[QStringLiteral("BName")] = name;
            Rows::insert(table, row);
        });
    }
    Ledger::deriveBalances(name);
    Sql(QStringLiteral("insert into SyncShare (BName, ShareID) values (?, ?)"), {name, book.share})
        .exec();
}

// The versions of the rows the snapshot's writer held, for the books taken from
// it row by row (an image taken whole has them already).
void takeVersions(const Snapshot &snapshot)
{
    const QSqlDatabase image = snapshot.database();
    if (!image.isValid())
        return; // a snapshot of the version before kept none
    const SqlReuse prepared;
    for (QSqlQuery q = Sql(QStringLiteral("select Identity, HLC from SyncClock")).exec(image);
         q.next();)
        noteVersion(q.value(0).toString(), q.value(1).toString());
}

// Whether this data folder holds nothing yet: no table has a row.
bool holdsNothing()
{
    for (const Schema::Table &t : Schema::tables())
        if (Sql(QStringLiteral("select 1 from %1 limit 1").arg(QLatin1String(t.name))).hasRows())
            return false;
    return true;
}

// A data folder that holds nothing yet takes the snapshot's image whole, as a
// restore takes a backup: this computer's sync settings are written into the
// image first, so that the data file becomes the joined one in one step.
void takeWhole(const Snapshot &snapshot, const std::function<void()> &settings)
{
    const QSqlDatabase image = snapshot.database();
    {
        const Connection::Provide onImage([image] { return image; });
        Transaction transaction;
        settings();
        transaction.commit();
    }
    Background::Context work;
    const QSqlDatabase live = Connection::current();
    copyDatabase(sqliteHandle(image), sqliteHandle(live),
                 QStringLiteral("没有加入家庭同步，本机的数据没有改变"), work);
    // An image of an earlier version gets this version's tables, as a restore does.
    if (Upgrade::isNeeded(live))
        Upgrade::run(live);
}

// A book another computer shared after this one joined, named by the actions of
// one of its files: taken from the newest snapshot, which its sharing wrote, under
// its own name or, when this data folder has a book of that name, "名（共享）".
void takeNewShares(const Folder &folder, const std::vector<Action> &actions, Report &report)
{
    QSet<QString> unknown;
    for (const Action &action : actions)
        if (!action.share.isEmpty() &&
            !Sql(QStringLiteral("select 1 from SyncShare where ShareID=?"), {action.share})
                 .hasRows())
            unknown.insert(action.share);
    if (unknown.isEmpty())
        return;
    const Snapshot snapshot = Snapshot::newest(folder);
    for (const Snapshot::Book &book : snapshot.books()) {
        if (!unknown.contains(book.share))
            continue;
        QString name = book.name;
        while (Sql(QStringLiteral("select 1 from SBook where BName=?"), {name}).hasRows())
            name += QStringLiteral("（共享）");
        takeBook(snapshot, book, name);
        report.taken << name;
    }
    takeVersions(snapshot);
    MonthTotals::rebuild(Connection::current());
}

// ---- Writing out ----

// A file written before a crash kept this data folder from noting it: it is
// taken as sent.
void noteWrittenBeforeACrash(const Folder &folder, qint64 &sequence)
{
    while (true) {
        const Folder::Listed next = folder.changeFile(computerName(), sequence + 1);
        if (!QFileInfo::exists(next.path))
            return;
        const Folder::Read read = folder.read(next);
        const auto actions = read.ok() ? decode(read.payload) : std::nullopt;
        Transaction transaction;
        for (const Action &action : actions.value_or(std::vector<Action>()))
            sent(action);
        setSetting(SequenceKey, QString::number(++sequence));
        transaction.commit();
    }
}

int writeOut(const Folder &folder)
{
    qint64 sequence = setting(SequenceKey).toLongLong();
    noteWrittenBeforeACrash(folder, sequence);
    int written = 0;
    while (true) {
        std::vector<Action> actions = outgoing(BatchSize);
        if (actions.empty())
            return written;
        // What waits goes out in one file (an action that changed nothing that
        // travels, in none).
        Transaction transaction;
        stamp(actions);
        std::vector<Action> travelling;
        for (const Action &action : actions)
            if (!action.rows.empty() || !action.settings.isEmpty())
                travelling.push_back(action);
        if (!travelling.empty()) {
            folder.write(computerName(), sequence + 1, encode(travelling, appliedSequences()));
            setSetting(SequenceKey, QString::number(++sequence));
            ++written;
        }
        for (const Action &action : actions)
            sent(action);
        transaction.commit();
    }
}

// ---- What the others have applied, snapshots and the files no one needs ----

const QString HeardKey = QStringLiteral("Heard:");
const QString SnapshotAtKey = QStringLiteral("SnapshotAt");
const QString SnapshotEveryKey = QStringLiteral("SnapshotEvery");
const QString RemovedKey = QStringLiteral("RemovedUpTo");
constexpr qint64 SnapshotEvery = 500;

// What `computer` said, in its last file applied here, it had applied of the others.
void rememberHeard(const QString &computer, const AppliedFiles &applied)
{
    QStringList pairs;
    for (const auto &[other, sequence] : applied)
        pairs << other + QLatin1Char('=') + QString::number(sequence);
    setSetting(HeardKey + computer, pairs.join(QLatin1Char('\n')));
}

qint64 heardOf(const QString &computer, const QString &of)
{
    for (const QString &pair : setting(HeardKey + computer).split(QLatin1Char('\n')))
        if (pair.section(QLatin1Char('='), 0, -2) == of)
            return pair.section(QLatin1Char('='), -1).toLongLong();
    return 0;
}

// Now and then a snapshot of the shared books, so that joining never replays
// years; then this computer's files that the snapshot before the newest holds and
// every other computer has applied are no longer needed by anyone, and go, with
// its snapshots older than that one.
void tidy(const Folder &folder)
{
    const qint64 sequence = setting(SequenceKey).toLongLong();
    const qint64 every = setting(SnapshotEveryKey).isEmpty()
                             ? SnapshotEvery
                             : setting(SnapshotEveryKey).toLongLong();
    if (sequence - setting(SnapshotAtKey).toLongLong() >= every) {
        Transaction transaction;
        writeSnapshot();
        setSetting(SnapshotAtKey, QString::number(sequence));
        transaction.commit();
    }
    const std::optional<Folder::Listed> latest = folder.latestSnapshot();
    if (!latest || latest->computer != computerName())
        return; // another's is newest: what it holds of this computer's is not known here
    // A computer that joined from the snapshot before may not be heard of yet (its
    // folder still on its way): the files after that snapshot stay for it.
    QList<qint64> taken;
    for (const Folder::Listed &snapshot : folder.snapshots())
        if (snapshot.computer == computerName())
            taken << snapshot.sequence;
    std::sort(taken.begin(), taken.end());
    if (taken.size() < 2)
        return;
    qint64 bound = taken.at(taken.size() - 2);
    for (const QString &other : otherComputers(folder))
        bound = std::min(bound, heardOf(other, computerName()));
    if (bound <= setting(RemovedKey).toLongLong())
        return;
    folder.removeUpTo(computerName(), bound);
    setSetting(RemovedKey, QString::number(bound));
}

// Runs a step of the exchange: its failure stops the exchange, said in the report.
void stopOnFailure(Report &report, const std::function<void()> &step)
{
    try {
        step();
    } catch (const SyncError &e) {
        report.stopped = e.message();
    } catch (const DbError &e) {
        report.stopped = e.message();
    }
}

// ---- Applying ----

struct Waiting
{
    QString computer;
    std::vector<Folder::Listed> files; // in order, from the next one to apply
};

std::vector<Waiting> waitingFiles(const Folder::Scan &scan)
{
    const std::map<QString, qint64> applied = appliedSequences();
    std::map<QString, std::vector<Folder::Listed>> byComputer;
    for (const Folder::Listed &file : scan.files)
        if (file.computer != computerName())
            byComputer[file.computer].push_back(file);
    std::vector<Waiting> waiting;
    for (auto &[computer, files] : byComputer) {
        const auto done = applied.find(computer);
        qint64 next = (done == applied.end() ? 0 : done->second) + 1;
        Waiting w{computer, {}};
        std::sort(files.begin(), files.end(),
                  [](const auto &a, const auto &b) { return a.sequence < b.sequence; });
        for (const Folder::Listed &file : files) {
            if (file.sequence < next)
                continue;
            if (file.sequence != next)
                break; // one still on its way: the rest wait for it
            w.files.push_back(file);
            ++next;
        }
        if (!w.files.empty())
            waiting.push_back(std::move(w));
    }
    return waiting;
}

void applyFiles(const Folder &folder, Report &report, const Progress &progress)
{
    const Folder::Scan scan = folder.scan();
    for (const Folder::Refused &refused : scan.refused)
        report.refused << nativePath(refused.path) + QStringLiteral("：") + refused.reason;
    const std::vector<Waiting> waiting = waitingFiles(scan);
    int total = 0, done = 0;
    for (const Waiting &w : waiting)
        total += int(w.files.size());
    for (const Waiting &w : waiting) {
        for (const Folder::Listed &file : w.files) {
            if (progress)
                progress(done++, total);
            const Folder::Read read = folder.read(file);
            if (read.newer) {
                report.waiting << nativePath(file.path);
                break;
            }
            AppliedFiles heard;
            const auto actions = read.ok() ? decode(read.payload, &heard) : std::nullopt;
            if (!actions) {
                report.refused << nativePath(file.path) + QStringLiteral("：") +
                                      (read.ok() ? QStringLiteral("不是同步文件，没有应用")
                                                 : read.refusal);
                break;
            }
            try {
                Transaction transaction;
                // An action made here since the exchange wrote them out (a window
                // saved meanwhile) has no clock yet to weigh theirs against: the
                // rest waits until it is written out, at the next exchange.
                if (Sql(QStringLiteral("select 1 from SyncOutbox limit 1")).hasRows())
                    return;
                takeNewShares(folder, *actions, report);
                Applied applied;
                for (const Action &action : *actions) {
                    const Applied one = apply(w.computer, action);
                    applied.rows += one.rows;
                    applied.conflicts += one.conflicts;
                }
                setApplied(w.computer, file.sequence);
                rememberHeard(w.computer, heard);
                transaction.commit();
                ++report.appliedFiles;
                report.appliedRows += applied.rows;
                report.conflicts += applied.conflicts;
            } catch (const DbError &e) {
                // The data file's own trouble (a full disk): rolled back, this
                // file and the rest wait for the next exchange.
                report.stopped =
                    nativePath(file.path) + QStringLiteral(" 没有应用：") + e.message();
                return;
            }
        }
    }
    if (progress)
        progress(total, total);
}

} // namespace

std::map<QString, qint64> appliedSequences()
{
    std::map<QString, qint64> applied;
    for (QSqlQuery q = Sql(QStringLiteral("select Computer, Seq from SyncApplied")).exec();
         q.next();)
        applied[q.value(0).toString()] = q.value(1).toLongLong();
    return applied;
}

Folder householdFolder()
{
    const QString path = folderPath();
    if (!QDir(path).exists())
        throw SyncError(
            QStringLiteral("找不到同步文件夹 %1：它被移动或删除了，或者所在的磁盘没有连接。")
                .arg(nativePath(path)));
    return Folder::withKey(path, QByteArray::fromBase64(setting(SecretKey).toLatin1()));
}

QStringList otherComputers(const Folder &folder)
{
    QStringList computers = QDir(folder.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    computers.removeAll(QStringLiteral("snapshots"));
    computers.removeAll(computerName());
    return computers;
}

bool isSetUp()
{
    return !setting(FolderKey).isEmpty();
}

QString computerName()
{
    return setting(ComputerKey);
}

QString folderPath()
{
    return setting(FolderKey);
}

void setUpFirst(const QString &folder, const QString &password, const QString &computer,
                const QStringList &books)
{
    refuseSetUpTwice();
    refuseNesting(folder);
    for (const QString &book : books)
        if (!Sql(QStringLiteral("select 1 from SBook where BName=?"), {book}).hasRows())
            throw SyncError(QStringLiteral("本机没有帐簿“%1”。").arg(book));
    Folder::checkComputerName(computer);
    Transaction transaction;
    const Folder made = Folder::create(folder, password);
    setSetting(FolderKey, QFileInfo(folder).absoluteFilePath());
    setSetting(ComputerKey, computer);
    setSetting(SecretKey, QString::fromLatin1(made.key().toBase64()));
    setSetting(SequenceKey, QStringLiteral("0"));
    for (const QString &book : books)
        Sql(QStringLiteral("insert into SyncShare (BName, ShareID) values (?, ?)"),
            {book, Schema::newSyncId()})
            .exec();
    writeSnapshot();
    transaction.commit();
}

void share(const QString &book)
{
    if (!isSetUp())
        throw SyncError(QStringLiteral("本机还没有加入家庭同步。"));
    if (Sql(QStringLiteral("select 1 from SyncShare where BName=?"), {book}).hasRows())
        return;
    Transaction transaction;
    Sql(QStringLiteral("insert into SyncShare (BName, ShareID) values (?, ?)"),
        {book, Schema::newSyncId()})
        .exec();
    writeSnapshot();
    transaction.commit();
}

void join(const QString &folder, const QString &password, const QString &computer,
          const QMap<QString, QString> &renames)
{
    refuseSetUpTwice();
    refuseNesting(folder);
    Folder::checkComputerName(computer);
    const Folder opened = Folder::open(folder, password);
    if (QFileInfo::exists(opened.path() + QLatin1Char('/') + computer))
        throw SyncError(QStringLiteral("同步文件夹 %1 里已有一台叫“%2”的电脑，请换一个名字。")
                            .arg(nativePath(folder), computer));
    const Snapshot snapshot = Snapshot::newest(opened);
    const auto settings = [&] {
        for (const auto &[other, sequence] : snapshot.applied())
            if (other != computer)
                setApplied(other, sequence);
        setSetting(FolderKey, QFileInfo(folder).absoluteFilePath());
        setSetting(ComputerKey, computer);
        setSetting(SecretKey, QString::fromLatin1(opened.key().toBase64()));
        setSetting(SequenceKey, QStringLiteral("0"));
    };
    if (snapshot.database().isValid() && renames.isEmpty() && holdsNothing()) {
        takeWhole(snapshot, settings);
    } else {
        Transaction transaction;
        for (const Snapshot::Book &book : snapshot.books()) {
            const QString name = renames.value(book.name, book.name);
            if (Sql(QStringLiteral("select 1 from SBook where BName=?"), {name}).hasRows())
                throw SyncError(
                    QStringLiteral("本机已有帐簿“%1”：共享的帐簿“%2”要另取一个名字才能加入。")
                        .arg(name, book.name));
            takeBook(snapshot, book, name);
        }
        takeVersions(snapshot);
        MonthTotals::rebuild(Connection::current()); // this thread's, a worker's too
        settings();
        transaction.commit();
    }
    QDir(opened.path()).mkpath(computer); // the name is taken in the folder from now on
}

QString Report::summary() const
{
    return QStringLiteral("写出 %1 个文件, 应用 %2 个文件 (%3 项), 冲突 %4 项, 拒绝 %5 个文件")
        .arg(written)
        .arg(appliedFiles)
        .arg(appliedRows)
        .arg(conflicts)
        .arg(refused.size());
}

Report exchange(const Progress &progress)
{
    if (!isSetUp())
        throw SyncError(QStringLiteral("本机还没有加入家庭同步。"));
    const Folder folder = householdFolder();
    Report report;
    // The folder's disk full or not writable: what waits stays queued, and so do
    // the others' files, which apply only once this computer's actions have clocks.
    stopOnFailure(report, [&] { report.written = writeOut(folder); });
    if (!report.stopped.isEmpty())
        return report;
    applyFiles(folder, report, progress);
    if (report.stopped.isEmpty())
        stopOnFailure(report, [&] { tidy(folder); });
    return report;
}

} // namespace Sync
