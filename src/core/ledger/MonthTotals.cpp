#include "core/ledger/MonthTotals.h"

#include "core/ledger/Ledger.h"
#include "data/Sql.h"

#include <QHashFunctions>
#include <QSqlQuery>

namespace MonthTotals {

namespace {

const QString Table = QStringLiteral("MonthTotal");
// The same totals with accounts and member left out, for what is not limited by them.
const QString NameTable = QStringLiteral("MonthNameTotal");
const QString KeyColumns = QStringLiteral("BName,Month,Kind,Name,AName,AName2,FName");

QString column(const char *name)
{
    return name ? QLatin1String(name) : QString();
}

// "coalesce(x,'')": a NULL name (older rows) is kept as empty text.
QString text(const QString &expression)
{
    return expression.isEmpty() ? QStringLiteral("''")
                                : QStringLiteral("coalesce(%1,'')").arg(expression);
}

// Adds what the select gives to the table's lines, line by line.
QString upsert(const QString &target, const QString &select)
{
    return QStringLiteral("insert into %1 (%2,Amount,Cnt) %3 "
                          "on conflict(%2) do update set Amount=Amount+excluded.Amount,"
                          "Cnt=Cnt+excluded.Cnt")
        .arg(target, KeyColumns, select);
}

// The totals of one kind of row, computed from the rows: a select of the key
// columns, the summed amount and the count, grouped by the key (names without
// regard to case, as the table's key compares them).
QString recomputed(const QString &book, const QString &date, const QString &kind,
                   const QString &name, const QString &account, const QString &account2,
                   const QString &member, const QString &amount, const QString &from)
{
    const QStringList key{text(book),    QStringLiteral("substr(%1,1,7)").arg(date),
                          kind,          text(name),
                          text(account), text(account2),
                          text(member)};
    QStringList groups;
    for (const QString &k : key)
        groups << k + QStringLiteral(" collate nocase");
    groups.removeAt(2); // the kind is one text
    return QStringLiteral("select %1,coalesce(sum(%2),0),count(*) from %3 where true group by %4")
        .arg(key.join(QLatin1Char(',')), amount, from, groups.join(QLatin1Char(',')));
}

// One select per kind of row, computing its totals from the rows.
QStringList recomputations()
{
    QStringList out;
    for (const Ledger::EntryKind *kind : Ledger::entryKinds()) {
        const QString table = column(kind->table);
        out << recomputed(QStringLiteral("BName"), column(kind->dateColumn),
                          QStringLiteral("'%1'").arg(table), column(kind->nameColumn),
                          column(kind->legs.front().account),
                          kind->legs.size() > 1 ? column(kind->legs[1].account) : QString(),
                          QStringLiteral("FName"), column(kind->legs.front().amount), table);
        if (const Ledger::FollowUpKind *f = kind->followUps)
            out << recomputed(QStringLiteral("e.BName"), QStringLiteral("r.RDate"),
                              QStringLiteral("'%1'").arg(column(f->table)), {},
                              QStringLiteral("r.AName"), {}, QStringLiteral("r.FName"),
                              QStringLiteral("r.") + column(f->amounts.front()),
                              QStringLiteral("%1 r join %2 e on e.ID=r.%3")
                                  .arg(column(f->table), table, column(f->entryKey)));
    }
    return out;
}

// Fills `target` (emptied first) with the totals computed from the rows, and
// `byName` with them summed over accounts and members.
void fill(const QSqlDatabase &db, const QString &target, const QString &byName,
          const std::function<void(int)> &progress)
{
    Sql(QStringLiteral("delete from ") + target).exec(db);
    const QStringList statements = recomputations();
    for (qsizetype i = 0; i < statements.size(); ++i) {
        if (progress)
            progress(int(95 * i / statements.size()));
        Sql(upsert(target, statements[i])).exec(db);
    }
    Sql(QStringLiteral("delete from ") + byName).exec(db);
    Sql(QStringLiteral("insert into %1 (%2,Amount,Cnt) select BName,Month,Kind,Name,'','','',"
                       "sum(Amount),sum(Cnt) from %3 group by BName,Kind,Month,Name")
            .arg(byName, KeyColumns, target))
        .exec(db);
    if (progress)
        progress(100);
}

void writeLines(const QString &table, const QHash<Key, Sum> &sums)
{
    const QString add = upsert(table, QStringLiteral("select ?,?,?,?,?,?,?,?,? where true"));
    const QString emptied = QStringLiteral("delete from %1 where Cnt=0 and Amount=0 and BName=? "
                                           "and Month=? and Kind=? and Name=? and AName=? and "
                                           "AName2=? and FName=?")
                                .arg(table);
    for (auto it = sums.cbegin(); it != sums.cend(); ++it) {
        const Key &k = it.key();
        if (it->amount.isZero() && it->count == 0)
            continue;
        const QVariantList key{k.book, k.month, k.kind, k.name, k.account, k.account2, k.member};
        Sql(add, QVariantList(key) << it->amount.toVariant() << it->count).exec();
        if (it->count < 0)
            Sql(emptied, key).exec();
    }
}

QString lineText(const QSqlQuery &line)
{
    QStringList key;
    for (int i = 0; i < 7; ++i)
        key << line.value(i).toString();
    return QStringLiteral("%1: %2 × %3")
        .arg(key.join(QLatin1Char('/')), Money::fromVariant(line.value(7)).toPlain(),
             line.value(8).toString());
}

} // namespace

size_t qHash(const Key &key, size_t seed)
{
    return qHashMulti(seed, key.book, key.month, key.kind, key.name, key.account, key.account2,
                      key.member);
}

void Changes::add(Key key, Money amount, qint64 count)
{
    // No name is empty text, never NULL, which a unique key would not match.
    for (QString *part :
         {&key.book, &key.month, &key.kind, &key.name, &key.account, &key.account2, &key.member})
        if (part->isNull())
            *part = QStringLiteral("");
    Sum &sum = m_sums[key];
    sum.amount += amount;
    sum.count += count;
}

void Changes::write() const
{
    writeLines(Table, m_sums);
    QHash<Key, Sum> byName;
    for (auto it = m_sums.cbegin(); it != m_sums.cend(); ++it) {
        Key key = it.key();
        key.account = key.account2 = key.member = QStringLiteral("");
        Sum &sum = byName[key];
        sum.amount += it->amount;
        sum.count += it->count;
    }
    writeLines(NameTable, byName);
}

QHash<QString, Money> byKind(const QString &book)
{
    QHash<QString, Money> sums;
    QSqlQuery kinds = Sql(QStringLiteral("select Kind,sum(Amount) from %1 where BName=? "
                                         "group by Kind")
                              .arg(NameTable),
                          {book})
                          .exec();
    while (kinds.next())
        sums[kinds.value(0).toString()] = Money::fromVariant(kinds.value(1));
    return sums;
}

void rename(References::Kind kind, const QString &from, const QString &to, const QString &book)
{
    // The lines of the new name take in those of the old one, which then go. A
    // name spelt anew in other letter case is the same line (names compare without
    // case): it is only respelt, never added to itself and deleted.
    const bool respelt = from.compare(to, Qt::CaseInsensitive) == 0;
    const auto carry = [&](const QString &table, const QString &column, const QString &kinds) {
        QStringList moved = KeyColumns.split(QLatin1Char(','));
        moved[moved.indexOf(column)] = QStringLiteral("?");
        Sql where(QStringLiteral(" where %1=?").arg(column), {from});
        if (kind != References::Kind::Member)
            where.add(QStringLiteral(" and BName=?"), {book});
        if (!kinds.isEmpty())
            where.add(QStringLiteral(" and Kind=") + kinds);
        if (respelt) {
            Sql(QStringLiteral("update %1 set %2=?").arg(table, column), {to}).add(where).exec();
            return;
        }
        Sql select(QStringLiteral("select %1,Amount,Cnt from %2").arg(moved.join(','), table),
                   {to});
        select.add(where);
        Sql(upsert(table, select.text()), select.values()).exec();
        Sql(QStringLiteral("delete from ") + table).add(where).exec();
    };
    switch (kind) {
    case References::Kind::Account:
        carry(Table, QStringLiteral("AName"), {});
        carry(Table, QStringLiteral("AName2"), {});
        break;
    case References::Kind::Member:
        carry(Table, QStringLiteral("FName"), {});
        break;
    case References::Kind::IncomeCategory:
        for (const QString &table : {Table, NameTable})
            carry(table, QStringLiteral("Name"), QStringLiteral("'InTable'"));
        break;
    case References::Kind::ExpenseCategory:
        for (const QString &table : {Table, NameTable})
            carry(table, QStringLiteral("Name"), QStringLiteral("'OutTable'"));
        break;
    case References::Kind::InvestmentCategory:
        for (const QString &table : {Table, NameTable})
            carry(table, QStringLiteral("Name"), QStringLiteral("'TTable'"));
        break;
    }
}

void rebuild(const QSqlDatabase &db, const std::function<void(int)> &progress)
{
    fill(db, Table, NameTable, progress);
}

QStringList differences(const QSqlDatabase &db)
{
    const QString recomputed = QStringLiteral("RecomputedTotal");
    const QString recomputedByName = QStringLiteral("RecomputedNameTotal");
    for (const QString &table : {recomputed, recomputedByName})
        Sql(QStringLiteral("create temp table if not exists %1 (%2 TEXT COLLATE NOCASE, "
                           "Amount INTEGER, Cnt INTEGER, unique (%3))")
                .arg(table,
                     KeyColumns.split(QLatin1Char(','))
                         .join(QStringLiteral(" TEXT COLLATE NOCASE,")),
                     KeyColumns))
            .exec(db);
    fill(db, recomputed, recomputedByName, {});
    QStringList out;
    const QString columns = KeyColumns + QStringLiteral(",Amount,Cnt");
    for (const auto &[kept, rows] :
         {std::pair{Table, recomputed}, std::pair{NameTable, recomputedByName}}) {
        for (const auto &[first, second, said] :
             {std::tuple{kept, rows, QStringLiteral("kept, rows differ")},
              std::tuple{rows, kept, QStringLiteral("rows, kept differ")}}) {
            QSqlQuery lines = Sql(QStringLiteral("select %1 from %2 except select %1 from %3")
                                      .arg(columns, first, second))
                                  .exec(db);
            while (lines.next())
                out << kept + QLatin1Char(' ') + said + QStringLiteral(": ") + lineText(lines);
        }
    }
    for (const QString &table : {recomputed, recomputedByName})
        Sql(QStringLiteral("drop table ") + table).exec(db);
    return out;
}

} // namespace MonthTotals
