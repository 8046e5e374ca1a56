#include "core/ledger/History.h"

#include "core/ledger/Ledger.h"
#include "core/ledger/References.h"
#include "data/Dates.h"
#include "data/Money.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace History {

namespace {

// Undone: 0 the action stands, 1 undone and still to be redone, 2 undone for good
// (a later action came after it).
constexpr int Done = 0;
constexpr int Undone = 1;
constexpr int Dropped = 2;

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// A deleted row r of action h is in the bin while h stands, it was not removed
// for good, and no restore of it stands.
const QString InBin = QStringLiteral("r.Binned=1 and h.Undone=0 and (r.RestoredBy is null or "
                                     "(select Undone from History where ID=r.RestoredBy)<>0)");

std::optional<Action> actionOf(const Sql &sql)
{
    QSqlQuery found = sql.exec();
    if (!found.next())
        return std::nullopt;
    return Action{found.value(0).toLongLong(), found.value(1).toString()};
}

bool isAccounts(const QString &table)
{
    return table.compare(QLatin1String("SAccount"), Qt::CaseInsensitive) == 0;
}

// Whether the stored row is as `expected` says; an account's balance, which the
// ledger moves with every entry, is compared only by a balance op.
bool matches(const QVariantMap &stored, const QVariantMap &expected, bool withBalance)
{
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!withBalance && it.key() == QLatin1String("AMoney"))
            continue;
        if (stored.value(it.key()).toString() != it->toString())
            return false;
    }
    return true;
}

QString changedSince(const Op &op)
{
    return QStringLiteral("“%1”之后又被修改或删除了（或它用到的名称已改名、删除），不能这样做。"
                          "请先撤销后来的操作。")
        .arg(Ledger::describe(op));
}

struct Batch
{
    BatchHandler handler;
    BatchReach reach;
};

QHash<QString, Batch> &batchHandlers()
{
    static QHash<QString, Batch> handlers; // by table in lower case
    return handlers;
}

const QString BatchOp = QStringLiteral("batch");
const QString UndoneColumn = QStringLiteral("Undone");

// A batch's rows brought back or taken away by the handler of its table.
void changeBatch(Ledger &ledger, const QString &book, const Op &op, const QVariantMap &to,
                 const Progress &progress)
{
    const auto batch = batchHandlers().constFind(op.table.toLower());
    if (batch == batchHandlers().constEnd())
        throw DbError(QStringLiteral("这个程序不能撤销或重做“%1”。").arg(op.table));
    batch->handler(ledger, book, op.key, to.value(UndoneColumn).toString() == QLatin1String("0"),
                   progress);
}

// An action of a book the household shares waits in the outbox for the other
// computers, queued in the action's own transaction so that none is ever lost.
void queueForSharing(const QString &book, const QVariant &action, const QString &kind)
{
    // One statement: a save pays for the sharing only this much.
    Sql(QStringLiteral("insert into SyncOutbox (BName,HistoryID,Kind) select ?,?,? where exists "
                       "(select 1 from SyncShare where BName=?)"),
        {book, action, kind, book})
        .exec();
}

// The row here with the identity `row` has; none when it has none.
QVariantMap rowWithIdentity(const QString &table, const QVariantMap &row)
{
    const QString identity = row.value(QStringLiteral("SyncID")).toString();
    return identity.isEmpty() || !Schema::hasSyncId(table) ? QVariantMap()
                                                           : Rows::readByIdentity(table, identity);
}

// Brings a row from `from` (what it must be now; empty: it must not be there)
// to `to` (empty: gone), through the ledger.
void change(Ledger &ledger, const Op &op, const QVariantMap &from, const QVariantMap &to)
{
    const QVariantMap now = Rows::read(op.table, op.key);
    if (op.op == QLatin1String("balance")) {
        if (now.isEmpty() || !matches(now, from, true))
            throw DbError(changedSince(op));
        ledger.setBalance(op.key, Money::fromVariant(to.value(QStringLiteral("AMoney"))));
        return;
    }
    if (from.isEmpty() ? !now.isEmpty() : (now.isEmpty() || !matches(now, from, false)))
        throw DbError(changedSince(op));
    // A row deleted here may be back already under a key of its own: brought back
    // on another computer of the household, and from there here.
    if (from.isEmpty() && !rowWithIdentity(op.table, to).isEmpty())
        throw DbError(QStringLiteral("“%1”已在帐簿里（从另一台电脑同步回来了），不能再恢复一次。")
                          .arg(Ledger::describe(op).mid(2)));
    QVariantMap target = to;
    target[QStringLiteral("ID")] = op.key;
    if (isAccounts(op.table) && !from.isEmpty() && !to.isEmpty())
        target.remove(QStringLiteral("AMoney"));
    if (const Ledger::EntryKind *kind = Ledger::entryKind(op.table)) {
        if (from.isEmpty())
            ledger.save(*kind, target);
        else if (to.isEmpty())
            ledger.remove(*kind, op.key);
        else
            ledger.saveEdit(*kind, op.key, target);
    } else if (const Ledger::FollowUpKind *f = Ledger::followUpKind(op.table)) {
        const QString entryKey = QLatin1String(f->entryKey);
        if (from.isEmpty())
            ledger.recordFollowUp(*f, target.value(entryKey), target);
        else
            ledger.removeFollowUp(*f, from.value(entryKey), op.key);
    } else if (Ledger::isPlainTable(op.table)) {
        if (from.isEmpty())
            ledger.insertRow(op.table, target);
        else if (to.isEmpty())
            ledger.removeRow(op.table, op.key);
        else
            ledger.updateRow(op.table, op.key, target);
    } else {
        if (from.isEmpty())
            ledger.saveReference(op.table, target);
        else if (to.isEmpty())
            ledger.removeReference(op.table, op.key);
        else
            ledger.saveReferenceEdit(op.table, op.key, target);
    }
}

// Undoes (backwards) or redoes the action's rows through one ledger action that
// the history does not keep, and marks the action.
void replay(const QString &book, const Action &action, bool backwards, const Progress &progress)
{
    Ledger ledger(book);
    ledger.setRecording(false);
    const std::vector<Op> ops = opsOf(action.id, backwards);
    const int total = int(ops.size());
    int done = 0;
    for (const Op &op : ops) {
        const QVariantMap &from = backwards ? op.after : op.before;
        const QVariantMap &to = backwards ? op.before : op.after;
        if (op.op == BatchOp) {
            changeBatch(ledger, book, op, to, progress);
            continue;
        }
        change(ledger, op, from, to);
        if (progress && (++done % 500 == 0 || done == total))
            progress(done, total);
    }
    Sql(QStringLiteral("update History set Undone=? where ID=?"),
        {backwards ? Undone : Done, action.id})
        .exec();
    queueForSharing(book, action.id,
                    backwards ? QStringLiteral("undone") : QStringLiteral("redone"));
    // A bill import stands or not with the action that imported it, and with the
    // one that took it back: its bill keys count as imported only while it stands.
    Sql(QStringLiteral("update ImportBatch set Undone=? where HistoryID=?"),
        {backwards ? 1 : 0, action.id})
        .exec();
    Sql(QStringLiteral("update ImportBatch set Undone=? where UndoneBy=?"),
        {backwards ? 0 : 1, action.id})
        .exec();
    ledger.commit();
}

} // namespace

QString encode(const QVariantMap &row)
{
    QJsonObject object;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        object.insert(it.key(), it->isNull() ? QJsonValue() : QJsonValue(it->toString()));
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QVariantMap decode(const QString &text)
{
    QVariantMap row;
    if (text.isEmpty())
        return row;
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        row[it.key()] = it->isNull() ? QVariant() : QVariant(it->toString());
    return row;
}

void record(const QString &book, const QString &window, const QString &description,
            const std::vector<Op> &ops, const QString &origin)
{
    Sql(QStringLiteral("update History set Undone=? where BName=? and Undone=?"),
        {Dropped, book, Undone})
        .exec();
    // The kind lists it in 操作记录: the description's first word ("删除支出").
    const QVariant action =
        Sql(QStringLiteral("insert into History (BName,At,Window,Kind,Description,Undone,Origin) "
                           "values (?,?,?,?,?,?,?)"),
            {book, now(), window, description.section(QLatin1Char(' '), 0, 0), description, Done,
             origin})
            .exec()
            .lastInsertId();
    if (origin.isEmpty())
        queueForSharing(book, action, QStringLiteral("done"));
    int seq = 0;
    for (const Op &op : ops) {
        // Only a deleted entry, follow-up or name is listed by itself (in the
        // recycle bin); rows kept beside them come and go with their actions.
        const bool deleted = op.op == QLatin1String("delete") && !Ledger::isPlainTable(op.table);
        Sql(QStringLiteral("insert into HistoryRow (HistoryID,Seq,Op,Tbl,RowKey,Description,"
                           "Before,After,Binned) values (?,?,?,?,?,?,?,?,?)"),
            {action, ++seq, op.op, op.table, op.key, deleted ? Ledger::describe(op) : QString(),
             encode(op.before), encode(op.after), deleted ? 1 : 0})
            .insert(); // prepared once for an import's thousands of rows
    }
}

std::optional<Action> undoable(const QString &book)
{
    // A conflict's losing version waits in the recycle bin: no action to undo.
    return actionOf(
        Sql(QStringLiteral("select ID,Description from History where BName=? and "
                           "Undone=? and coalesce(Kind,'')<>'同步冲突' order by ID desc limit 1"),
            {book, Done}));
}

std::optional<Action> redoable(const QString &book)
{
    return actionOf(Sql(QStringLiteral("select ID,Description from History where BName=? and "
                                       "Undone=? order by ID limit 1"),
                        {book, Undone}));
}

void undo(const QString &book, const Progress &progress)
{
    const std::optional<Action> action = undoable(book);
    if (!action)
        throw DbError(QStringLiteral("没有可以撤销的操作。"));
    replay(book, *action, true, progress);
}

void redo(const QString &book, const Progress &progress)
{
    const std::optional<Action> action = redoable(book);
    if (!action)
        throw DbError(QStringLiteral("没有可以重做的操作。"));
    replay(book, *action, false, progress);
}

std::vector<Op> opsOf(qint64 action, bool backwards)
{
    QSqlQuery rows = Sql(QStringLiteral("select Op,Tbl,RowKey,Before,After from HistoryRow "
                                        "where HistoryID=? order by Seq %1")
                             .arg(backwards ? QStringLiteral("desc") : QStringLiteral("asc")),
                         {action})
                         .exec();
    std::vector<Op> ops;
    while (rows.next())
        ops.push_back({rows.value(0).toString(), rows.value(1).toString(), rows.value(2),
                       decode(rows.value(3).toString()), decode(rows.value(4).toString())});
    return ops;
}

void binConflict(const QString &book, const QString &table, QVariantMap row,
                 const QString &computer)
{
    row.remove(QStringLiteral("ID"));
    // Restored, an entry's version is a row of its own; a name's comes back onto
    // the name, which is one per book.
    if (!References::kindOf(table))
        row.remove(QStringLiteral("SyncID"));
    if (isAccounts(table)) // with no entries yet: its balance is its opening balance
        row[QStringLiteral("AMoney")] = row.value(QStringLiteral("OpenMoney"));
    const Op lost{QStringLiteral("delete"), table, {}, row, {}};
    const QString what = Ledger::describe(lost);
    const QString kind = QStringLiteral("同步冲突");
    const QVariant action =
        Sql(QStringLiteral("insert into History (BName,At,Window,Kind,Description,Undone,Origin) "
                           "values (?,?,?,?,?,?,?)"),
            {book, now(), QStringLiteral("同步"), kind, kind + QLatin1Char(' ') + what.mid(2), Done,
             computer})
            .exec()
            .lastInsertId();
    Sql(QStringLiteral("insert into HistoryRow (HistoryID,Seq,Op,Tbl,RowKey,Description,Before,"
                       "After,Binned) values (?,1,?,?,NULL,?,?,'',1)"),
        {action, lost.op, table, what + QStringLiteral("（同步冲突：%1）").arg(computer),
         encode(row)})
        .exec();
}

void setBatchHandler(const QString &table, BatchHandler handler, BatchReach reach)
{
    batchHandlers().insert(table.toLower(), {std::move(handler), std::move(reach)});
}

void addReach(Reach &reach, const QString &account, const QString &day)
{
    if (account.isEmpty() || day.isEmpty())
        return;
    QString &earliest = reach[account.toLower()];
    if (earliest.isEmpty() || day < earliest)
        earliest = day;
}

namespace {

// The accounts a row of an entry or follow-up moves, with its day.
void reachOf(Reach &reach, const QString &table, const QVariantMap &row)
{
    if (const Ledger::EntryKind *kind = Ledger::entryKind(table)) {
        const QString day = row.value(QLatin1String(kind->dateColumn)).toString();
        for (const Ledger::Leg &leg : kind->legs)
            addReach(reach, row.value(QLatin1String(leg.account)).toString(), day);
    } else if (Ledger::followUpKind(table)) {
        addReach(reach, row.value(QStringLiteral("AName")).toString(),
                 row.value(QStringLiteral("RDate")).toString());
    }
}

} // namespace

QString reconciledQuestion(const QString &book)
{
    const std::optional<Action> action = undoable(book);
    if (!action)
        return {};
    Reach reach;
    for (const Op &op : opsOf(action->id, true)) {
        if (op.op != BatchOp) {
            reachOf(reach, op.table, op.before);
            reachOf(reach, op.table, op.after);
            continue;
        }
        const auto batch = batchHandlers().constFind(op.table.toLower());
        if (batch == batchHandlers().constEnd() || !batch->reach)
            continue;
        const Reach moved = batch->reach(book, op.key);
        for (auto it = moved.cbegin(); it != moved.cend(); ++it)
            addReach(reach, it.key(), it.value());
    }
    // A reconciliation kept in the history is older than the action undone (it would
    // be undone first otherwise), so what the action wrote came after it. One from
    // before the history kept them may be newer: its day tells what it confirmed.
    for (auto it = reach.cbegin(); it != reach.cend(); ++it) {
        QSqlQuery last =
            Sql(QStringLiteral("select AName, max(RDate) from Reconcile r where BName=? and "
                               "AName=? and not exists (select 1 from HistoryRow h where "
                               "h.Tbl='Reconcile' and h.RowKey=r.ID) group by AName"),
                {book, it.key()})
                .exec();
        if (last.next() && it.value() <= last.value(1).toString())
            return QStringLiteral("“%1”会改动已对帐的记录：帐户“%2”已对帐到 %3，"
                                  "其中有 %4 的记录。\n撤销后它的余额将与那次对帐不符。"
                                  "要撤销吗？")
                .arg(action->description, last.value(0).toString(), last.value(1).toString(),
                     it.value());
    }
    return {};
}

Op batchOp(const QString &table, const QVariant &key, bool standing)
{
    const QString undone = QStringLiteral("1"), stands = QStringLiteral("0");
    return {BatchOp,
            table,
            key,
            {{UndoneColumn, standing ? undone : stands}},
            {{UndoneColumn, standing ? stands : undone}}};
}

void restore(const QString &book, qint64 binnedId, const QString &window)
{
    QSqlQuery found = Sql(QStringLiteral("select r.Op,r.Tbl,r.RowKey,r.Before from HistoryRow r "
                                         "join History h on h.ID=r.HistoryID where r.ID=? and "
                                         "h.BName=? and ") +
                              InBin,
                          {binnedId, book})
                          .exec();
    if (!found.next())
        throw DbError(QStringLiteral("回收站里已没有这一项。"));
    const Op deleted{found.value(0).toString(),
                     found.value(1).toString(),
                     found.value(2),
                     decode(found.value(3).toString()),
                     {}};
    Op shown = deleted;
    shown.op = QStringLiteral("insert");
    shown.after = deleted.before;
    // The restore is an action of its own: undone, the row is back in the bin.
    Transaction transaction;
    Ledger ledger(book);
    ledger.setWindow(window);
    ledger.setDescription(QStringLiteral("恢复") + Ledger::describe(shown).mid(2));
    // A name's version that lost to another computer's edit: the name becomes it.
    const QVariantMap here = References::kindOf(deleted.table)
                                 ? rowWithIdentity(deleted.table, deleted.before)
                                 : QVariantMap();
    if (!here.isEmpty())
        change(ledger,
               {QStringLiteral("update"), deleted.table, here.value(QStringLiteral("ID")), here,
                deleted.before},
               here, deleted.before);
    else
        change(ledger, deleted, {}, deleted.before);
    ledger.commit();
    Sql(QStringLiteral("update HistoryRow set RestoredBy=(select max(ID) from History where "
                       "BName=?) where ID=?"),
        {book, binnedId})
        .exec();
    transaction.commit();
}

void discard(qint64 binnedId)
{
    Sql(QStringLiteral("update HistoryRow set Binned=0 where ID=?"), {binnedId}).exec();
}

QString binnedRows()
{
    return QStringLiteral("select r.ID as ID, h.BName as BName, h.At as At, "
                          "substr(r.Description, 3) as What, h.Window as Window from HistoryRow r "
                          "join History h on h.ID=r.HistoryID where ") +
           InBin;
}

QString timeBefore(int days)
{
    return QDateTime::currentDateTime().addDays(-days).toString(TimeFormat);
}

QString now()
{
    return QDateTime::currentDateTime().toString(TimeFormat);
}

void expire(int days)
{
    Sql(QStringLiteral("update HistoryRow set Binned=0 where Binned=1 and HistoryID in "
                       "(select ID from History where At<?)"),
        {timeBefore(days)})
        .exec();
}

} // namespace History
