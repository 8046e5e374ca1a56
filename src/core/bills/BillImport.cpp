#include "core/bills/BillImport.h"

#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Sharing.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>

namespace Import {
namespace {

const Ledger::EntryKind &ledgerKind(Kind kind)
{
    switch (kind) {
    case Kind::Income:
        return Ledger::income();
    case Kind::Transfer:
        return Ledger::transfer();
    case Kind::Expense:
        break;
    }
    return Ledger::expense();
}

// The entry of a line in its book.
QVariantMap entryRow(const QString &book, const Line &line, const QString &category, Money amount)
{
    const QString s = QStringLiteral("");
    if (line.kind == Kind::Transfer)
        return {{"BName", book},
                {"CDate", line.date},
                {"OldN", line.account},
                {"NewN", line.toAccount},
                {"CMoney", amount.toVariant()},
                {"FName", s + line.member},
                {"Remark", s + line.remark}};
    const bool expense = line.kind == Kind::Expense;
    return {{"BName", book},
            {expense ? "ODate" : "IDate", line.date},
            {expense ? "OName" : "IName", category},
            {expense ? "OMoney" : "IMoney", amount.toVariant()},
            {"AName", line.account},
            {"FName", s + line.member},
            {"Remark", s + line.remark}};
}

// The columns a snapshot of the kind's entries holds, in order: all but the key.
// Its identity (SyncID) comes last; snapshots of earlier versions lack it.
const QStringList &snapshotColumns(const Ledger::EntryKind &kind)
{
    thread_local QHash<const Ledger::EntryKind *, QStringList> columnsOf;
    QStringList &columns = columnsOf[&kind];
    if (columns.isEmpty())
        for (const Schema::Column &c : Schema::table(QLatin1String(kind.table))->columns)
            if (c.kind != Schema::Kind::Key)
                columns << QLatin1String(c.name);
    return columns;
}

constexpr QChar SnapshotSeparator(0x1F);

// An entry as text, column by column, to tell later whether it was changed.
QString snapshot(const Ledger::EntryKind &kind, const QVariantMap &row)
{
    QString text;
    const QStringList &columns = snapshotColumns(kind);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += SnapshotSeparator;
        text += row.value(columns.at(i)).toString();
    }
    return text;
}

// Whether the stored entry is still the one the snapshot kept (by an earlier
// version too, without the identity).
bool unchangedSince(const Ledger::EntryKind &kind, const QVariantMap &stored, const QString &kept)
{
    const QString now = snapshot(kind, stored);
    if (kept.count(SnapshotSeparator) == now.count(SnapshotSeparator))
        return now == kept;
    return now.section(SnapshotSeparator, 0, -2) == kept;
}

// Ties the batch to the history's action just written by `ledger` (in the
// transaction around it): undone and redone in 编辑, the batch follows.
void commitAs(Ledger &ledger, const QString &book, const QString &column, qint64 batch)
{
    ledger.commit();
    Sql(QStringLiteral("update ImportBatch set %1=(select max(ID) from History where BName=?) "
                       "where ID=?")
            .arg(column),
        {book, batch})
        .exec();
}

QString filesOf(qint64 batch)
{
    return Sql(QStringLiteral("select Files from ImportBatch where ID=?"), {batch})
        .scalar()
        .toString();
}

// The entries' signed movement as the bill gave it, for matching card payments later.
Money billAmount(const Line &line)
{
    return line.kind == Kind::Income ? line.amount : -line.amount;
}

const QString BatchTable = QStringLiteral("ImportBatch");

const Ledger::EntryKind *entryKindOf(const QString &table)
{
    for (const Ledger::EntryKind *kind : Ledger::entryKinds())
        if (table == QLatin1String(kind->table))
            return kind;
    return nullptr;
}

// The entry a snapshot keeps, column by column; empty when it cannot be read.
QVariantMap fromSnapshot(const Ledger::EntryKind &kind, const QString &text)
{
    const QStringList parts = text.split(SnapshotSeparator);
    const QStringList &columns = snapshotColumns(kind);
    // One of an earlier version has no identity: the row gets a new one.
    if (parts.size() != columns.size() && parts.size() != columns.size() - 1)
        return {};
    QVariantMap row;
    // Never NULL: an import writes every column.
    for (qsizetype i = 0; i < parts.size(); ++i)
        row.insert(columns.at(i), parts.at(i).isNull() ? QStringLiteral("") : parts.at(i));
    return row;
}

void report(const Progress &progress, int done, int total)
{
    if (progress && (done % 500 == 0 || done == total))
        progress(done, total);
}

// Takes the batch's entries away through `ledger`; refused (DbError) when one of
// them was changed or deleted since it was imported.
int takeAway(Ledger &ledger, qint64 batch, const Progress &progress)
{
    QSqlQuery entries = Sql(QStringLiteral("select EntryTable, EntryID, Snapshot, BillDate from "
                                           "ImportEntry where BatchID=? order by ID"),
                            {batch})
                            .exec();
    int changed = 0;
    QString example;
    std::vector<std::pair<const Ledger::EntryKind *, qint64>> toRemove;
    while (entries.next()) {
        const QString table = entries.value(0).toString();
        const qint64 id = entries.value(1).toLongLong();
        const Ledger::EntryKind *kind = entryKindOf(table);
        const QVariantMap stored = kind ? Rows::read(table, id) : QVariantMap();
        if (stored.isEmpty() || !unchangedSince(*kind, stored, entries.value(2).toString())) {
            if (++changed == 1)
                example = QStringLiteral("%1 的一条记录%2")
                              .arg(entries.value(3).toString(), stored.isEmpty()
                                                                    ? QStringLiteral("已删除")
                                                                    : QStringLiteral("已修改"));
            continue;
        }
        toRemove.emplace_back(kind, id);
    }
    if (changed > 0)
        throw DbError(QStringLiteral("不能撤销这次导入：其中 %1 条记录导入后已被修改或删除"
                                     "（如 %2）。\n撤销只能在导入的记录都没有改动时进行；"
                                     "如要去掉其余记录，请在收入、支出或转帐窗口中删除。")
                          .arg(changed)
                          .arg(example));
    const int total = int(toRemove.size());
    int done = 0;
    for (const auto &[kind, id] : toRemove) {
        ledger.remove(*kind, id);
        report(progress, ++done, total);
    }
    return total;
}

// Writes the batch's entries again as they were imported, under their keys, through
// `ledger`; refused (DbError) when a name they give is gone or a key was taken.
void bringBack(Ledger &ledger, qint64 batch, const Progress &progress)
{
    const QString cannot = QStringLiteral("这次导入的记录不能恢复：");
    for (const Ledger::EntryKind *kind : Ledger::entryKinds())
        if (Sql(QStringLiteral("select 1 from %1 where ID in (select EntryID from ImportEntry "
                               "where BatchID=? and EntryTable=?) limit 1")
                    .arg(QLatin1String(kind->table)),
                {batch, QLatin1String(kind->table)})
                .hasRows())
            throw DbError(cannot + QStringLiteral("它们的位置已被后来的记录占用。"));
    const int total =
        Sql(QStringLiteral("select count(*) from ImportEntry where BatchID=?"), {batch})
            .scalar()
            .toInt();
    QSqlQuery entries =
        Sql(QStringLiteral("select EntryTable, EntryID, Snapshot from ImportEntry where BatchID=? "
                           "order by ID"),
            {batch})
            .exec();
    const SqlReuse reuse;
    int done = 0;
    while (entries.next()) {
        const Ledger::EntryKind *kind = entryKindOf(entries.value(0).toString());
        QVariantMap row = kind ? fromSnapshot(*kind, entries.value(2).toString()) : QVariantMap();
        if (row.isEmpty())
            throw DbError(cannot + QStringLiteral("导入记录已损坏。"));
        row.insert(QStringLiteral("ID"), entries.value(1));
        ledger.save(*kind, row);
        report(progress, ++done, total);
    }
}

// 编辑 → 撤销 and 重做 of an import and of 撤销导入.
void setStanding(Ledger &ledger, const QString &book, const QVariant &batch, bool standing,
                 const Progress &progress)
{
    if (!Sql(QStringLiteral("select 1 from ImportBatch where ID=? and BName=?"), {batch, book})
             .hasRows())
        throw DbError(QStringLiteral("这次导入已不存在。"));
    standing ? bringBack(ledger, batch.toLongLong(), progress)
             : void(takeAway(ledger, batch.toLongLong(), progress));
}

// The accounts the batch's entries move, with the earliest day of each.
History::Reach reachOf(const QString &book, const QVariant &batch)
{
    History::Reach reach;
    for (const Ledger::EntryKind *kind : Ledger::entryKinds())
        for (const Ledger::Leg &leg : kind->legs) {
            QSqlQuery moved =
                Sql(QStringLiteral("select e.%1, min(e.%2) from %3 e join ImportEntry i on "
                                   "i.EntryID=e.ID and i.EntryTable=? where i.BatchID=? and "
                                   "e.BName=? group by e.%1")
                        .arg(QLatin1String(leg.account), QLatin1String(kind->dateColumn),
                             QLatin1String(kind->table)),
                    {QLatin1String(kind->table), batch, book})
                    .exec();
            while (moved.next())
                History::addReach(reach, moved.value(0).toString(), moved.value(1).toString());
        }
    return reach;
}

// Whatever program can import can undo and redo its imports.
[[maybe_unused]] const bool registered = [] {
    History::setBatchHandler(BatchTable, setStanding, reachOf);
    return true;
}();

} // namespace

Result write(const Plan &plan, const Progress &progress)
{
    if (const QString refusal = plan.refusal(); !refusal.isEmpty())
        throw DbError(refusal);
    const Settings &settings = plan.settings();
    const QString book = settings.book();
    Result result;
    const int total = plan.chosenCount();
    if (total == 0)
        throw DbError(QStringLiteral("没有选中要导入的记录。"));
    Transaction transaction;
    Ledger ledger(book);
    ledger.setWindow(QStringLiteral("导入帐单"));
    const SqlReuse reuse; // a statement per table, not per row
    for (const bool expense : {true, false}) {
        const QString fallback = Settings::fallbackCategory(expense);
        const Kind kind = expense ? Kind::Expense : Kind::Income;
        if (std::any_of(plan.lines().begin(), plan.lines().end(), [&](const Line &line) {
                return line.chosen && line.kind == kind && line.category == fallback;
            }))
            settings.ensureCategory(ledger, fallback, expense);
    }
    QStringList files;
    for (const Bills::Document &document : plan.documents())
        files << document.name;
    result.batch =
        Rows::insert(
            QStringLiteral("ImportBatch"),
            {{"BName", book},
             {"Made", QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
             {"Files", files.join(QStringLiteral("；"))},
             {"Entries", 0},
             {"Undone", 0}})
            .toLongLong();
    const QString keyInsert = QStringLiteral(
        "insert into ImportEntry (BName, BatchID, BillKey, Method, BillDate, Amount, "
        "EntryTable, EntryID, Snapshot) values (?,?,?,?,?,?,?,?,?)");
    const QString bookIdentity = Sharing::bookIdentity(book);
    // Writes the entry and remembers it with its bill key.
    const auto save = [&](const Line &line, const Ledger::EntryKind &kind, QVariantMap row) {
        // One entry for one bill, also when it is imported on two computers.
        row[QStringLiteral("SyncID")] =
            entryIdentity(bookIdentity, plan.rowOf(line).key, QLatin1String(kind.table));
        const QString kept = snapshot(kind, row);
        const QVariant id = ledger.save(kind, std::move(row));
        const Bills::Row &bill = plan.rowOf(line);
        Sql(keyInsert, {book, result.batch, bill.key, bill.method, line.date,
                        billAmount(line).toVariant(), QLatin1String(kind.table), id, kept})
            .insert();
        ++result.entries;
    };
    ledger.keepAsBatch(BatchTable, result.batch, true);
    int done = 0;
    for (const Line &line : plan.lines()) {
        if (!line.chosen) {
            ++result.left[int(line.status)];
            continue;
        }
        save(line, ledgerKind(line.kind), entryRow(book, line, line.category, line.amount));
        (line.kind == Kind::Transfer ? result.transfers : result.written[int(line.status)])
            .add(line);
        const Money fee = line.fee;
        if (fee > Money()) {
            const QString category = settings.feeCategory();
            settings.ensureCategory(ledger, category, true);
            Line feeLine = line;
            feeLine.kind = Kind::Expense;
            feeLine.remark = QStringLiteral("服务费：") + line.remark;
            save(line, Ledger::expense(), entryRow(book, feeLine, category, fee));
        }
        report(progress, ++done, total);
    }
    Sql(QStringLiteral("update ImportBatch set Entries=? where ID=?"),
        {result.entries, result.batch})
        .exec();
    // One action in the history, undone as a whole.
    ledger.setDescription(QStringLiteral("导入帐单 %1 条 %2")
                              .arg(result.entries)
                              .arg(files.join(QStringLiteral("；"))));
    commitAs(ledger, book, QStringLiteral("HistoryID"), result.batch);
    transaction.commit();
    return result;
}

void undo(const QString &book, qint64 batch, const Progress &progress)
{
    Transaction transaction;
    Ledger ledger(book);
    ledger.setWindow(QStringLiteral("导入帐单"));
    const SqlReuse reuse;
    if (!Sql(QStringLiteral("select 1 from ImportBatch where ID=? and BName=? and Undone=0"),
             {batch, book})
             .hasRows())
        throw DbError(QStringLiteral("这次导入已不存在，可能已经撤销。"));
    // Kept as the batch, not row by row: 编辑 → 撤销 of this brings it back as it was.
    ledger.keepAsBatch(BatchTable, batch, false);
    const int removed = takeAway(ledger, batch, progress);
    Sql(QStringLiteral("update ImportBatch set Undone=1 where ID=?"), {batch}).exec();
    ledger.setDescription(QStringLiteral("撤销导入 %1 条 %2").arg(removed).arg(filesOf(batch)));
    commitAs(ledger, book, QStringLiteral("UndoneBy"), batch);
    transaction.commit();
}

QString resultText(const Result &result)
{
    // Duplicates are never written, and a line skipped only when taken as a transfer.
    const std::pair<QString, const Tally *> groups[] = {
        {statusName(Status::New), &result.written[int(Status::New)]},
        {kindName(Kind::Transfer), &result.transfers},
        {statusName(Status::Refund), &result.written[int(Status::Refund)]},
        {statusName(Status::ToConfirm), &result.written[int(Status::ToConfirm)]},
    };
    QStringList parts;
    int written = 0;
    for (const auto &[name, tally] : groups) {
        if (tally->count > 0)
            parts << tallyText(name, *tally);
        written += tally->count;
    }
    QString text =
        QStringLiteral("导入了 %1 条记录：%2。").arg(written).arg(parts.join(QStringLiteral("，")));
    QStringList left;
    int notWritten = 0;
    for (int s = 0; s < StatusCount; ++s)
        if (result.left[s] > 0) {
            left << QStringLiteral("%1 %2 条").arg(statusName(Status(s))).arg(result.left[s]);
            notWritten += result.left[s];
        }
    if (notWritten > 0)
        text += QStringLiteral("\n没有导入 %1 条：%2。")
                    .arg(notWritten)
                    .arg(left.join(QStringLiteral("，")));
    return text;
}

} // namespace Import
