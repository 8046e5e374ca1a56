#include "core/sync/Exchange.h"

#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Sharing.h"
#include "core/ledger/Workspace.h"
#include "core/sync/ChangeFiles.h"
#include "core/sync/SyncActions.h"
#include "data/Connection.h"
#include "data/Money.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <map>

namespace Sync {

namespace {

const QString FolderKey = QStringLiteral("Folder");
const QString ComputerKey = QStringLiteral("Computer");
const QString SecretKey = QStringLiteral("Key");
const QString SequenceKey = QStringLiteral("Sequence");
const QString ParentMark = QStringLiteral("@parent");
constexpr int SnapshotLayout = 1;
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

// ---- Snapshots: every shared book's rows as they stand ----

// The rows of a book in a table whose rows travel; a follow-up says its entry by
// the entry's identity.
QJsonArray rowsOf(const Schema::Table &table, const QString &book)
{
    const QString name = QLatin1String(table.name);
    QJsonArray rows;
    Sql sql(QStringLiteral("select * from %1").arg(name));
    const Ledger::FollowUpKind *followUp = Ledger::followUpKind(name);
    if (followUp)
        sql.add(QStringLiteral(" where %1 in (select ID from %2 where BName=?)")
                    .arg(QLatin1String(followUp->entryKey), QLatin1String(followUp->entry->table)),
                {book});
    else if (name != QLatin1String("SFamily")) // members are every book's
        sql.add(QStringLiteral(" where BName=?"), {book});
    for (QSqlQuery q = sql.add(QStringLiteral(" order by ID")).exec(); q.next();) {
        QVariantMap row = Rows::current(q);
        if (followUp)
            row[ParentMark] = Rows::read(QLatin1String(followUp->entry->table),
                                         row.value(QLatin1String(followUp->entryKey)))
                                  .value(QStringLiteral("SyncID"));
        row.remove(QStringLiteral("ID"));
        row.remove(QStringLiteral("BName"));
        rows.append(rowToJson(row));
    }
    return rows;
}

QByteArray snapshot(qint64 sequence)
{
    QJsonArray books;
    for (QSqlQuery shared = Sql(QStringLiteral("select s.BName, s.ShareID, b.BPass, b.BDate, "
                                               "b.Remark from SyncShare s join SBook b on "
                                               "b.BName=s.BName order by s.ID"))
                                .exec();
         shared.next();) {
        const QString book = shared.value(0).toString();
        QJsonObject tables;
        for (const Schema::Table &t : Schema::tables())
            if (Schema::hasSyncId(QLatin1String(t.name)) ||
                Sharing::settingsTables().contains(QLatin1String(t.name)))
                tables.insert(QLatin1String(t.name), rowsOf(t, book));
        books.append(QJsonObject{{"name", book},
                                 {"share", shared.value(1).toString()},
                                 {"password", shared.value(2).toString()},
                                 {"made", shared.value(3).toString()},
                                 {"remark", shared.value(4).toString()},
                                 {"tables", tables}});
    }
    QJsonObject applied;
    for (const auto &[computer, seq] : appliedSequences())
        applied.insert(computer, QString::number(seq));
    return QJsonDocument(QJsonObject{{"layout", SnapshotLayout},
                                     {"computer", computerName()},
                                     {"sequence", QString::number(sequence)},
                                     {"applied", applied},
                                     {"books", books}})
        .toJson(QJsonDocument::Compact);
}

void writeSnapshot()
{
    const qint64 sequence = setting(SequenceKey).toLongLong();
    const Folder folder = householdFolder();
    // One taken at the same point before (a book shared since) gives way to it.
    for (const Folder::Listed &kept : folder.snapshots())
        if (kept.computer == computerName() && kept.sequence == sequence)
            QFile::remove(kept.path);
    folder.writeSnapshot(computerName(), sequence, snapshot(sequence));
}

// Writes a shared book of a snapshot into this data folder under `name`: its
// rows as they were there, its balances and kept totals derived here.
void takeBook(const QJsonObject &book, const QString &name)
{
    Sql(QStringLiteral("insert into SBook (BName, BPass, BDate, Remark) values (?, ?, ?, ?)"),
        {name, book.value(QStringLiteral("password")).toString(),
         book.value(QStringLiteral("made")).toString(),
         book.value(QStringLiteral("remark")).toString()})
        .exec();
    const QJsonObject tables = book.value(QStringLiteral("tables")).toObject();
    const SqlReuse prepared; // each table's insert prepared once
    for (const Schema::Table &t : Schema::tables()) {
        const QString table = QLatin1String(t.name);
        if (!Schema::hasSyncId(table) && !Sharing::settingsTables().contains(table))
            continue;
        const Ledger::FollowUpKind *followUp = Ledger::followUpKind(table);
        for (const QJsonValue &value : tables.value(table).toArray()) {
            QVariantMap row = rowFromJson(value.toObject());
            const QString id = row.value(QStringLiteral("SyncID")).toString();
            if (table == QLatin1String("SFamily") &&
                Sql(QStringLiteral("select 1 from SFamily where SyncID=?"), {id}).hasRows())
                continue; // a member every book shares, here already
            if (followUp) {
                const QString parent = row.take(ParentMark).toString();
                row[QLatin1String(followUp->entryKey)] =
                    Sql(QStringLiteral("select ID from %1 where SyncID=?")
                            .arg(QLatin1String(followUp->entry->table)),
                        {parent})
                        .scalar();
            } else if (table != QLatin1String("SFamily")) {
                row[QStringLiteral("BName")] = name;
            }
            Rows::insert(table, row);
        }
    }
    // Balances are derived here: the opening balance and what the entries moved.
    const QMap<QString, Money> moved = Ledger::effectsOn(name);
    for (QSqlQuery accounts =
             Sql(QStringLiteral("select ID, AName, OpenMoney from SAccount where BName=?"), {name})
                 .exec();
         accounts.next();)
        Sql(QStringLiteral("update SAccount set AMoney=? where ID=?"),
            {(Money::fromVariant(accounts.value(2)) +
              moved.value(accounts.value(1).toString().toLower()))
                 .toVariant(),
             accounts.value(0)})
            .exec();
    Sql(QStringLiteral("insert into SyncShare (BName, ShareID) values (?, ?)"),
        {name, book.value(QStringLiteral("share")).toString()})
        .exec();
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
    const QJsonObject copy = newestSnapshot(folder);
    for (const QJsonValue &value : copy.value(QStringLiteral("books")).toArray()) {
        const QJsonObject book = value.toObject();
        if (!unknown.contains(book.value(QStringLiteral("share")).toString()))
            continue;
        QString name = book.value(QStringLiteral("name")).toString();
        while (Sql(QStringLiteral("select 1 from SBook where BName=?"), {name}).hasRows())
            name += QStringLiteral("（共享）");
        takeBook(book, name);
        report.taken << name;
    }
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
        std::vector<Action> travelling;
        for (Action &action : actions) {
            action.clock = Clock::tick();
            if (!action.rows.empty() || !action.settings.isEmpty())
                travelling.push_back(action);
        }
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
// years; then this computer's files that the newest snapshot holds and every
// other computer has applied are no longer needed by anyone, and go.
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
    qint64 bound = latest->sequence;
    for (const QString &other : otherComputers(folder))
        bound = std::min(bound, heardOf(other, computerName()));
    if (bound <= setting(RemovedKey).toLongLong())
        return;
    folder.removeUpTo(computerName(), bound);
    setSetting(RemovedKey, QString::number(bound));
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
                report.refused << nativePath(file.path) + QStringLiteral("：没有应用：") +
                                      e.message();
                break;
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

QJsonObject newestSnapshot(const Folder &folder)
{
    const std::optional<Folder::Listed> latest = folder.latestSnapshot();
    if (!latest)
        throw SyncError(
            QStringLiteral("同步文件夹 %1 里还没有共享的帐簿。").arg(nativePath(folder.path())));
    const Folder::Read read = folder.readSnapshot(*latest);
    if (!read.ok())
        throw SyncError(nativePath(latest->path) + QStringLiteral("：") + read.refusal);
    const QJsonObject copy = QJsonDocument::fromJson(read.payload).object();
    if (copy.value(QStringLiteral("layout")).toInt() != SnapshotLayout)
        throw SyncError(nativePath(latest->path) +
                        QStringLiteral("：由更新版本的青禾簿写出，请先更新本程序。"));
    return copy;
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
    const QJsonObject copy = newestSnapshot(opened);
    Transaction transaction;
    for (const QJsonValue &value : copy.value(QStringLiteral("books")).toArray()) {
        const QJsonObject book = value.toObject();
        const QString shared = book.value(QStringLiteral("name")).toString();
        const QString name = renames.value(shared, shared);
        if (Sql(QStringLiteral("select 1 from SBook where BName=?"), {name}).hasRows())
            throw SyncError(
                QStringLiteral("本机已有帐簿“%1”：共享的帐簿“%2”要另取一个名字才能加入。")
                    .arg(name, shared));
        takeBook(book, name);
    }
    MonthTotals::rebuild(Connection::current()); // this thread's, a worker's too
    const QJsonObject applied = copy.value(QStringLiteral("applied")).toObject();
    for (auto it = applied.constBegin(); it != applied.constEnd(); ++it)
        if (it.key() != computer)
            setApplied(it.key(), it->toString().toLongLong());
    setApplied(copy.value(QStringLiteral("computer")).toString(),
               copy.value(QStringLiteral("sequence")).toString().toLongLong());
    setSetting(FolderKey, QFileInfo(folder).absoluteFilePath());
    setSetting(ComputerKey, computer);
    setSetting(SecretKey, QString::fromLatin1(opened.key().toBase64()));
    setSetting(SequenceKey, QStringLiteral("0"));
    QDir(opened.path()).mkpath(computer); // the name is taken in the folder from now on
    transaction.commit();
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
    report.written = writeOut(folder);
    applyFiles(folder, report, progress);
    tidy(folder);
    return report;
}

} // namespace Sync
