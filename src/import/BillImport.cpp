#include "import/BillImport.h"

#include "data/Ledger.h"
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

QVariantMap entryRow(const Line &line, const QString &category, Money amount)
{
    const QString s = QStringLiteral("");
    if (line.kind == Kind::Transfer)
        return {{"CDate", line.date},       {"OldN", line.account},
                {"NewN", line.toAccount},   {"CMoney", amount.toVariant()},
                {"FName", s + line.member}, {"Remark", s + line.remark}};
    const bool expense = line.kind == Kind::Expense;
    return {{expense ? "ODate" : "IDate", line.date},
            {expense ? "OName" : "IName", category},
            {expense ? "OMoney" : "IMoney", amount.toVariant()},
            {"AName", line.account},
            {"FName", s + line.member},
            {"Remark", s + line.remark}};
}

// An entry as text, column by column, to tell later whether it was changed.
QString snapshot(const Ledger::EntryKind &kind, const QVariantMap &row)
{
    QStringList parts;
    for (const Schema::Column &c : Schema::table(QLatin1String(kind.table))->columns)
        if (c.kind != Schema::Kind::Key)
            parts << row.value(QLatin1String(c.name)).toString();
    return parts.join(QChar(0x1F));
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
            settings.ensureCategory(fallback, expense);
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
    const auto remember = [&](const Line &line, const Ledger::EntryKind &kind,
                              const QVariantMap &row, const QVariant &id) {
        QVariantMap stored = row;
        stored.insert(QStringLiteral("BName"), book);
        const Bills::Row &bill = plan.rowOf(line);
        Sql(keyInsert,
            {book, result.batch, bill.key, bill.method, line.date, billAmount(line).toVariant(),
             QLatin1String(kind.table), id, snapshot(kind, stored)})
            .insert();
        ++result.entries;
    };
    int done = 0;
    for (const Line &line : plan.lines()) {
        if (!line.chosen)
            continue;
        const Ledger::EntryKind &kind = ledgerKind(line.kind);
        const QVariantMap row = entryRow(line, line.category, line.amount);
        remember(line, kind, row, ledger.save(kind, row));
        result.written[int(line.status)].add(line);
        const Money fee = plan.rowOf(line).fee;
        if (line.kind == Kind::Transfer && fee > Money()) {
            const QString category = settings.feeCategory();
            settings.ensureCategory(category, true);
            Line feeLine = line;
            feeLine.kind = Kind::Expense;
            feeLine.remark = QStringLiteral("服务费：") + line.remark;
            const QVariantMap feeRow = entryRow(feeLine, category, fee);
            remember(line, Ledger::expense(), feeRow, ledger.save(Ledger::expense(), feeRow));
        }
        if (progress && (++done % 500 == 0 || done == total))
            progress(done, total);
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
    QSqlQuery entries = Sql(QStringLiteral("select EntryTable, EntryID, Snapshot, BillDate from "
                                           "ImportEntry where BatchID=? order by ID"),
                            {batch})
                            .exec();
    int changed = 0;
    QString example;
    QList<std::pair<const Ledger::EntryKind *, qint64>> toRemove;
    while (entries.next()) {
        const QString table = entries.value(0).toString();
        const qint64 id = entries.value(1).toLongLong();
        const Ledger::EntryKind *kind = nullptr;
        for (const Ledger::EntryKind *k : Ledger::entryKinds())
            if (table == QLatin1String(k->table))
                kind = k;
        const QVariantMap stored = kind ? Rows::read(table, id) : QVariantMap();
        if (stored.isEmpty() || snapshot(*kind, stored) != entries.value(2).toString()) {
            if (++changed == 1)
                example = QStringLiteral("%1 的一条记录%2")
                              .arg(entries.value(3).toString(), stored.isEmpty()
                                                                    ? QStringLiteral("已删除")
                                                                    : QStringLiteral("已修改"));
            continue;
        }
        toRemove.append({kind, id});
    }
    if (changed > 0)
        throw DbError(QStringLiteral("不能撤销这次导入：其中 %1 条记录导入后已被修改或删除"
                                     "（如 %2）。\n撤销只能在导入的记录都没有改动时进行；"
                                     "如要去掉其余记录，请在收入、支出或转帐窗口中删除。")
                          .arg(changed)
                          .arg(example));
    int done = 0;
    for (const auto &[kind, id] : toRemove) {
        ledger.remove(*kind, id);
        if (progress && (++done % 500 == 0 || done == toRemove.size()))
            progress(done, int(toRemove.size()));
    }
    // Kept, not deleted: 编辑 → 撤销 of this brings the batch back as it was.
    Sql(QStringLiteral("update ImportBatch set Undone=1 where ID=?"), {batch}).exec();
    ledger.setDescription(
        QStringLiteral("撤销导入 %1 条 %2").arg(toRemove.size()).arg(filesOf(batch)));
    commitAs(ledger, book, QStringLiteral("UndoneBy"), batch);
    // The entries went back with their import, not into the recycle bin one by one.
    Sql(QStringLiteral("update HistoryRow set Binned=0 where HistoryID=(select UndoneBy from "
                       "ImportBatch where ID=?)"),
        {batch})
        .exec();
    transaction.commit();
}

QString resultText(const Result &result)
{
    QStringList parts;
    for (int s = 0; s < StatusCount; ++s)
        if (result.written[s].count > 0)
            parts << tallyText(statusName(Status(s)), result.written[s]);
    return QStringLiteral("导入了 %1 条记录：%2。")
        .arg(result.entries)
        .arg(parts.join(QStringLiteral("，")));
}

} // namespace Import
