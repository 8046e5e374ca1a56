#include "core/ledger/Ledger.h"

#include "core/ledger/AccountKinds.h"
#include "core/ledger/References.h"
#include "data/Connection.h"
#include "data/Dates.h"
#include "data/PinyinCode.h"
#include "data/Rows.h"
#include "data/Sql.h"

#include <QSqlQuery>
#include <QStringList>
#include <optional>
#include <utility>

namespace {

struct Kinds
{
    Ledger::EntryKind income{"收入", "InTable", "IDate", "IName", {{"IMoney", "AName", +1}}};
    Ledger::EntryKind expense{"支出", "OutTable", "ODate", "OName", {{"OMoney", "AName", -1}}};
    Ledger::EntryKind transfer{
        "转帐", "ChangeT", "CDate", nullptr, {{"CMoney", "OldN", -1}, {"CMoney", "NewN", +1}}};
    // A debt brings the money borrowed in, a credit takes the money lent out, an
    // investment takes the money invested.
    Ledger::EntryKind debt{"债务", "Borrow", "BDate", "BPro", {{"BMoney", "AName", +1}}};
    Ledger::EntryKind credit{"债权", "Debt", "DDate", "DPro", {{"DMoney", "AName", -1}}};
    Ledger::EntryKind investment{"投资", "TTable", "TDate", "TName", {{"TMoney", "AName", -1}}};
    // A repayment takes money out, a collection brings it in, a return brings the
    // principal back with what it earned (or lost); what an investment earned is its
    // running figure.
    Ledger::FollowUpKind repayment{"还债",   "BorrowR", "BID",      &debt,
                                   "BMoney", "RMoney",  {"RMoney"}, -1};
    Ledger::FollowUpKind collection{"收债",   "DebtR",  "DID",      &credit,
                                    "DMoney", "RMoney", {"RMoney"}, +1};
    Ledger::FollowUpKind investmentReturn{
        "收益", "TTableR", "TID", &investment, "TMoney", "RMoney", {"RMoney", "SMoney"}, +1};
    std::vector<const Ledger::EntryKind *> entries{&income, &expense, &transfer,
                                                   &debt,   &credit,  &investment};

    Kinds()
    {
        debt.followUps = &repayment;
        credit.followUps = &collection;
        investment.followUps = &investmentReturn;
    }
};

const Kinds &kinds()
{
    static const Kinds all;
    return all;
}

// A column's name as text, made once per name on each thread: an import of 10^5
// rows looks each row's columns up many times.
QString column(const char *name)
{
    thread_local QHash<const char *, QString> names;
    auto it = names.constFind(name);
    if (it == names.constEnd())
        it = names.insert(name, QLatin1String(name));
    return *it;
}

Money amountOf(const QVariantMap &row, const char *name)
{
    return Money::fromVariant(row.value(column(name)));
}

QString accountRangeMessage(const QString &account)
{
    return QStringLiteral("帐户“%1”的余额将超出能精确记帐的范围（最大 %2），不能保存！")
        .arg(account, Money::fromUnits(Ledger::MaxBalanceUnits).toGrouped());
}

QString figureRangeMessage()
{
    return QStringLiteral("该记录的金额合计将超出能精确记帐的范围（最大 %1），不能保存！")
        .arg(Money::fromUnits(Ledger::MaxBalanceUnits).toGrouped());
}

QString amountRangeMessage()
{
    return QStringLiteral("金额超出范围：一笔金额最多只能有 12 位整数！");
}

bool withinRange(Money value, std::int64_t limit)
{
    return value.units() <= limit && value.units() >= -limit;
}

// `rangeMessage` says what went wrong, made only then.
template <typename Message> Money plus(Money a, Money b, const Message &rangeMessage)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.units(), b.units(), &sum))
        throw DbError(rangeMessage());
    return Money::fromUnits(sum);
}

// What the follow-ups of an entry `e` settled, as an SQL expression.
QString settledExpression(const Ledger::EntryKind &kind)
{
    if (!kind.followUps)
        return QStringLiteral("0");
    return QStringLiteral("(select coalesce(sum(r.%1),0) from %2 r where r.%3=e.ID)")
        .arg(column(kind.followUps->amounts.front()), column(kind.followUps->table),
             column(kind.followUps->entryKey));
}

} // namespace

const Ledger::EntryKind &Ledger::income()
{
    return kinds().income;
}
const Ledger::EntryKind &Ledger::expense()
{
    return kinds().expense;
}
const Ledger::EntryKind &Ledger::transfer()
{
    return kinds().transfer;
}
const Ledger::EntryKind &Ledger::debt()
{
    return kinds().debt;
}
const Ledger::EntryKind &Ledger::credit()
{
    return kinds().credit;
}
const Ledger::EntryKind &Ledger::investment()
{
    return kinds().investment;
}
const std::vector<const Ledger::EntryKind *> &Ledger::entryKinds()
{
    return kinds().entries;
}
const Ledger::FollowUpKind &Ledger::repayment()
{
    return kinds().repayment;
}
const Ledger::FollowUpKind &Ledger::collection()
{
    return kinds().collection;
}
const Ledger::FollowUpKind &Ledger::investmentReturn()
{
    return kinds().investmentReturn;
}

QString Ledger::rowGoneMessage()
{
    return QStringLiteral("该记录已不存在，可能已在其他窗口中删除。");
}

Ledger::Movements Ledger::effectOf(const EntryKind &kind, const QVariantMap &row, Money settled)
{
    Movements out;
    for (const Leg &leg : kind.legs) {
        const Money whole = amountOf(row, leg.amount) + settled;
        out.emplace_back(row.value(column(leg.account)).toString(), leg.sign > 0 ? whole : -whole);
    }
    return out;
}

Ledger::Movements Ledger::effectOf(const FollowUpKind &kind, const QVariantMap &record)
{
    Money total;
    for (const char *amount : kind.amounts)
        total += amountOf(record, amount);
    return {{record.value(QStringLiteral("AName")).toString(), kind.sign > 0 ? total : -total}};
}

MonthTotals::Key Ledger::totalsKey(const EntryKind &kind, const QVariantMap &row)
{
    const auto text = [&row](const char *name) {
        return name ? row.value(column(name)).toString() : QString();
    };
    return {text("BName"),
            text(kind.dateColumn).left(7),
            column(kind.table),
            text(kind.nameColumn),
            text(kind.legs.front().account),
            kind.legs.size() > 1 ? text(kind.legs[1].account) : QString(),
            text("FName")};
}

MonthTotals::Key Ledger::totalsKey(const FollowUpKind &kind, const QVariantMap &record,
                                   const QString &book)
{
    return {book,
            record.value(QStringLiteral("RDate")).toString().left(7),
            column(kind.table),
            {},
            record.value(QStringLiteral("AName")).toString(),
            {},
            record.value(QStringLiteral("FName")).toString()};
}

Money Ledger::totalsAmount(const EntryKind &kind, const QVariantMap &row)
{
    return amountOf(row, kind.legs.front().amount);
}

void Ledger::deriveBalances(const QString &book, const QSqlDatabase &db)
{
    const QSqlDatabase on = db.isValid() ? db : Connection::current();
    const QMap<QString, Money> moved = effectsOn(book, {}, on);
    for (QSqlQuery accounts =
             Sql(QStringLiteral("select ID, AName, OpenMoney from SAccount where BName=?"), {book})
                 .exec(on);
         accounts.next();)
        Sql(QStringLiteral("update SAccount set AMoney=? where ID=?"),
            {(Money::fromVariant(accounts.value(2)) +
              moved.value(accounts.value(1).toString().toLower()))
                 .toVariant(),
             accounts.value(0)})
            .exec(on);
}

QMap<QString, Money> Ledger::effectsOn(const QString &book, const QString &after,
                                       const QSqlDatabase &db)
{
    QMap<QString, Money> effects;
    const auto add = [&](Sql sql, const QString &date, const QString &group, int sign) {
        if (!after.isEmpty())
            sql.add(QStringLiteral(" and %1>?").arg(date), {after});
        sql.add(QStringLiteral(" group by ") + group);
        QSqlQuery sums = db.isValid() ? sql.exec(db) : sql.exec();
        while (sums.next()) {
            const Money sum = Money::fromVariant(sums.value(1));
            effects[sums.value(0).toString().toLower()] += sign > 0 ? sum : -sum;
        }
    };
    for (const EntryKind *kind : entryKinds()) {
        for (const Leg &leg : kind->legs)
            add(Sql(QStringLiteral("select e.%1, coalesce(sum(e.%2+%3),0) from %4 e "
                                   "where e.BName=?")
                        .arg(column(leg.account), column(leg.amount), settledExpression(*kind),
                             column(kind->table)),
                    {book}),
                QStringLiteral("e.") + column(kind->dateColumn),
                QStringLiteral("e.") + column(leg.account), leg.sign);
        if (const FollowUpKind *f = kind->followUps) {
            QStringList amounts;
            for (const char *amount : f->amounts)
                amounts << QStringLiteral("r.") + column(amount);
            add(Sql(QStringLiteral("select r.AName, coalesce(sum(%1),0) from %2 r "
                                   "join %3 e on e.ID=r.%4 where e.BName=?")
                        .arg(amounts.join(QLatin1Char('+')), column(f->table), column(kind->table),
                             column(f->entryKey)),
                    {book}),
                QStringLiteral("r.RDate"), QStringLiteral("r.AName"), f->sign);
        }
    }
    return effects;
}

Ledger::Ledger(const QString &book) : m_book(book)
{
}

void Ledger::requireBook() const
{
    // Names shared by every book (family members) can be written with no book open.
    if (m_book.isEmpty())
        throw DbError(Rows::noBookMessage());
}

QVariant Ledger::save(const EntryKind &kind, QVariantMap row)
{
    requireBook();
    row[QStringLiteral("BName")] = m_book;
    std::vector<const char *> amounts;
    for (const Leg &leg : kind.legs)
        amounts.push_back(leg.amount);
    checkRow(column(kind.table), row, amounts);
    move(effectOf(kind, row), +1, Missing::Refuse);
    count(kind, row, +1);
    Rows::giveIdentity(column(kind.table), row);
    const QVariant key = Rows::insert(column(kind.table), row);
    if (m_batch) {
        touch(column(kind.table));
        return key; // kept as its batch
    }
    // The row as written is what the history needs of it: reading it back would
    // cost an import of thousands of rows a query each.
    row[QStringLiteral("ID")] = key;
    note(QStringLiteral("insert"), column(kind.table), key, {}, row);
    return key;
}

void Ledger::saveEdit(const EntryKind &kind, const QVariant &key, QVariantMap row)
{
    requireBook();
    // Columns the row leaves out keep what is stored.
    const QVariantMap stored = storedEntry(kind, key);
    row[QStringLiteral("BName")] = m_book;
    std::vector<const char *> amounts;
    for (const Leg &leg : kind.legs)
        amounts.push_back(leg.amount);
    checkRow(column(kind.table), row, {});
    QVariantMap edited = stored;
    edited.insert(row);
    edited.remove(QStringLiteral("ID"));
    checkRow(column(kind.table), edited, amounts);
    const Money alreadySettled = settled(kind, key);
    move(effectOf(kind, stored, alreadySettled), -1, Missing::Skip);
    move(effectOf(kind, edited, alreadySettled), +1, Missing::Refuse);
    count(kind, stored, -1);
    count(kind, edited, +1);
    row.remove(QStringLiteral("ID"));
    if (Rows::update(column(kind.table), row, key) != 1)
        throw DbError(rowGoneMessage());
    note(QStringLiteral("update"), column(kind.table), key, stored, {});
}

void Ledger::remove(const EntryKind &kind, const QVariant &key)
{
    requireBook();
    const QVariantMap stored = storedEntry(kind, key);
    if (kind.followUps &&
        Sql(QStringLiteral("select 1 from %1 where %2=? limit 1")
                .arg(column(kind.followUps->table), column(kind.followUps->entryKey)),
            {key})
            .hasRows())
        throw DbError(
            QStringLiteral("该记录已有还债、收债或收益记录，不能删除！请先删除这些记录。"));
    move(effectOf(kind, stored), -1, Missing::Skip);
    count(kind, stored, -1);
    Sql(QStringLiteral("delete from %1 where ID=?").arg(column(kind.table)), {key}).exec();
    note(QStringLiteral("delete"), column(kind.table), key, stored, {});
}

QVariant Ledger::recordFollowUp(const FollowUpKind &kind, const QVariant &entryKey,
                                QVariantMap record)
{
    requireBook();
    const QVariantMap entry = storedEntry(*kind.entry, entryKey);
    record[column(kind.entryKey)] = entryKey;
    checkRow(column(kind.table), record, kind.amounts);
    moveFigures(kind, entry, record, +1);
    move(effectOf(kind, record), +1, Missing::Refuse);
    m_totals.add(totalsKey(kind, record, m_book), amountOf(record, kind.amounts.front()), +1);
    const QVariant key = Rows::insert(column(kind.table), record);
    note(QStringLiteral("insert"), column(kind.table), key, {}, {});
    touch(column(kind.entry->table), entryKey); // its figures moved
    return key;
}

void Ledger::removeFollowUp(const FollowUpKind &kind, const QVariant &entryKey,
                            const QVariant &recordKey)
{
    requireBook();
    const QVariantMap entry = storedEntry(*kind.entry, entryKey);
    QSqlQuery stored = Sql(QStringLiteral("select * from %1 where ID=? and %2=?")
                               .arg(column(kind.table), column(kind.entryKey)),
                           {recordKey, entryKey})
                           .exec();
    if (!stored.next())
        throw DbError(rowGoneMessage());
    const QVariantMap record = Rows::current(stored);
    moveFigures(kind, entry, record, -1);
    move(effectOf(kind, record), -1, Missing::Skip);
    m_totals.add(totalsKey(kind, record, m_book), -amountOf(record, kind.amounts.front()), -1);
    Sql(QStringLiteral("delete from %1 where ID=?").arg(column(kind.table)), {recordKey}).exec();
    note(QStringLiteral("delete"), column(kind.table), recordKey, record, {});
    touch(column(kind.entry->table), entryKey); // its figures moved
}

QString Ledger::adjustmentName()
{
    return QStringLiteral("平帐");
}

QVariant Ledger::adjust(const QString &account, const QDate &date, Money difference,
                        const QString &remark, const QString &category)
{
    requireBook();
    if (difference.isZero())
        return {};
    const bool more = difference > Money();
    const EntryKind &kind = more ? income() : expense();
    const References::Kind categories =
        more ? References::Kind::IncomeCategory : References::Kind::ExpenseCategory;
    const QString name = category.isEmpty() ? adjustmentName() : category;
    if (category.isEmpty() && !References::exists(categories, name, m_book))
        saveReference(QLatin1String(References::target(categories).table),
                      {{QLatin1String(References::target(categories).column), name},
                       {QStringLiteral("thePY"), PinyinCode(name)},
                       {QStringLiteral("Remark"), QStringLiteral("对帐时的调整")}});
    return save(kind,
                {{column(kind.dateColumn), isoDate(date)},
                 {column(kind.nameColumn), name},
                 {column(kind.legs.front().amount), (more ? difference : -difference).toVariant()},
                 {column(kind.legs.front().account), account},
                 {QStringLiteral("FName"), QStringLiteral("")},
                 {QStringLiteral("Remark"), remark}});
}

QString Ledger::balanceEditRemark(Money from, Money to)
{
    return QStringLiteral("帐户管理修改余额：%1 改为 %2").arg(from.toGrouped(), to.toGrouped());
}

QString Ledger::openingAdjustmentName()
{
    return QStringLiteral("期初余额调整");
}

void Ledger::correctBalance(const QVariant &accountKey, Money typed, const QString &category,
                            const QDate &date)
{
    const QVariantMap stored = storedReference(QStringLiteral("SAccount"), accountKey);
    const QString account = stored.value(QStringLiteral("AName")).toString();
    const qint64 id = accountKey.toLongLong();
    // Of two accounts of one name (older data) entries move the first only: the
    // other's balance is its opening balance.
    const bool moved = accountId(account, Missing::Refuse) == id;
    const Money now =
        moved ? m_accounts.at(id).now : Money::fromVariant(stored.value(QStringLiteral("AMoney")));
    const Money difference = typed - now;
    if (difference.isZero())
        return;
    QVariant entry;
    if (moved && !category.isEmpty()) {
        entry = adjust(account, date, difference, balanceEditRemark(now, typed), category);
    } else {
        const Money opening = Money::fromVariant(stored.value(QStringLiteral("OpenMoney")));
        if (Rows::update(QStringLiteral("SAccount"),
                         {{QStringLiteral("OpenMoney"), (opening + difference).toVariant()}},
                         accountKey) != 1)
            throw DbError(rowGoneMessage());
        note(QStringLiteral("update"), QStringLiteral("SAccount"), accountKey, stored, {});
        setBalance(accountKey, typed);
    }
    insertRow(QStringLiteral("Reconcile"), {{QStringLiteral("AName"), account},
                                            {QStringLiteral("RDate"), isoDate(date)},
                                            {QStringLiteral("Bank"), typed.toVariant()},
                                            {QStringLiteral("Own"), now.toVariant()},
                                            {QStringLiteral("EID"), entry}});
}

void Ledger::setBalance(const QVariant &accountKey, Money balance)
{
    requireBook();
    QSqlQuery stored =
        Sql(QStringLiteral("select AName, AMoney from SAccount where ID=? and BName=?"),
            {accountKey, m_book})
            .exec();
    if (!stored.next())
        throw DbError(rowGoneMessage());
    const qint64 id = accountKey.toLongLong();
    auto it = m_accounts.find(id);
    if (it == m_accounts.end()) {
        const Money now = Money::fromVariant(stored.value(1));
        it = m_accounts.emplace(id, Account{stored.value(0).toString(), now, now}).first;
    }
    if (it->second.now == balance)
        return;
    const QString name = stored.value(0).toString();
    note(QStringLiteral("balance"), QStringLiteral("SAccount"), accountKey,
         {{QStringLiteral("AName"), name}, {QStringLiteral("AMoney"), it->second.now.toVariant()}},
         {{QStringLiteral("AName"), name}, {QStringLiteral("AMoney"), balance.toVariant()}});
    it->second.now = balance;
}

namespace {

// The kind of reference a table holds; none for another table.
References::Kind referenceKindOf(const QString &table)
{
    const std::optional<References::Kind> kind = References::kindOf(table);
    if (!kind)
        throw DbError(QStringLiteral("%1 不是帐户、类别或家庭成员的表。").arg(table));
    return *kind;
}

bool isAccounts(const QString &table)
{
    return table.compare(QLatin1String("SAccount"), Qt::CaseInsensitive) == 0;
}

bool perBook(References::Kind kind)
{
    return References::target(kind).scope == References::Scope::Book;
}

} // namespace

QVariant Ledger::saveReference(const QString &table, QVariantMap row)
{
    if (perBook(referenceKindOf(table))) {
        requireBook();
        row[QStringLiteral("BName")] = m_book;
    }
    // A new account starts at 0; the balance typed is its opening balance, set as
    // a balance.
    const QVariant balance = isAccounts(table) && !row.contains(QStringLiteral("ID"))
                                 ? row.take(QStringLiteral("AMoney"))
                                 : QVariant();
    if (balance.isValid()) {
        if (!row.contains(QStringLiteral("OpenMoney")))
            row[QStringLiteral("OpenMoney")] = Money::fromVariant(balance).toVariant();
        if (row.value(QStringLiteral("AKind")).toString().isEmpty())
            row[QStringLiteral("AKind")] =
                AccountKinds::byName(row.value(QStringLiteral("AName")).toString());
        if (row.value(QStringLiteral("OpenDate")).toString().isEmpty())
            row[QStringLiteral("OpenDate")] = today();
    }
    const QVariant key = Rows::insert(table, row);
    note(QStringLiteral("insert"), table, key, {}, {});
    if (balance.isValid())
        setBalance(key, Money::fromVariant(balance));
    return key;
}

QVariantMap Ledger::storedReference(const QString &table, const QVariant &key) const
{
    if (perBook(referenceKindOf(table)))
        requireBook();
    QVariantMap stored = storedRow(table, key);
    if (stored.isEmpty())
        throw DbError(rowGoneMessage());
    return stored;
}

void Ledger::saveReferenceEdit(const QString &table, const QVariant &key, QVariantMap row)
{
    const References::Kind kind = referenceKindOf(table);
    const QVariantMap stored = storedReference(table, key);
    const QString name = QLatin1String(References::target(kind).column);
    if (row.contains(name) && row.value(name).toString() != stored.value(name).toString()) {
        References::rename(kind, stored.value(name).toString(), row.value(name).toString(), m_book);
        for (const References::Use &use : References::uses())
            if (use.kind == kind)
                touch(QLatin1String(use.table));
    }
    if (perBook(kind))
        row[QStringLiteral("BName")] = m_book;
    row.remove(QStringLiteral("ID"));
    const QVariant balance = isAccounts(table) ? row.take(QStringLiteral("AMoney")) : QVariant();
    if (Rows::update(table, row, key) != 1)
        throw DbError(rowGoneMessage());
    note(QStringLiteral("update"), table, key, stored, {});
    // A balance typed over the one the entries give is a reconciliation of today.
    if (balance.isValid())
        correctBalance(key, Money::fromVariant(balance), m_correction, QDate::currentDate());
}

void Ledger::removeReference(const QString &table, const QVariant &key)
{
    const References::Kind kind = referenceKindOf(table);
    const QVariantMap stored = storedReference(table, key);
    // Rows may have come to name it since 删除 was pressed.
    const QString name = stored.value(QLatin1String(References::target(kind).column)).toString();
    if (const QString refusal = References::deletionRefusal(kind, name, m_book); !refusal.isEmpty())
        throw DbError(refusal);
    Sql(QStringLiteral("delete from %1 where ID=?").arg(table), {key}).exec();
    note(QStringLiteral("delete"), table, key, stored, {});
}

namespace {

// The rows written beside entries that the history keeps, by table, with how
// an action on them is named.
const std::pair<const char *, const char *> PlainTables[] = {
    {"Schedule", "周期记帐"},
    {"SchedulePost", "周期记帐的一次"},
    {"Reconcile", "对帐记录"},
};

const char *plainTitle(const QString &table)
{
    for (const auto &[name, title] : PlainTables)
        if (table.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return title;
    return nullptr;
}

} // namespace

bool Ledger::isPlainTable(const QString &table)
{
    return plainTitle(table) != nullptr;
}

QVariant Ledger::insertRow(const QString &table, const QVariantMap &row)
{
    requireBook();
    if (!isPlainTable(table))
        throw DbError(QStringLiteral("%1 不是帐本能记下的表。").arg(table));
    QVariantMap written = row;
    written[QStringLiteral("BName")] = m_book;
    const QVariant key = Rows::insert(table, written);
    written[QStringLiteral("ID")] = key;
    note(QStringLiteral("insert"), table, key, {}, written);
    return key;
}

void Ledger::updateRow(const QString &table, const QVariant &key, const QVariantMap &row)
{
    const QVariantMap stored = storedPlainRow(table, key);
    QVariantMap written = row;
    written.remove(QStringLiteral("ID"));
    written[QStringLiteral("BName")] = m_book;
    if (Rows::update(table, written, key) != 1)
        throw DbError(rowGoneMessage());
    note(QStringLiteral("update"), table, key, stored, {});
}

void Ledger::removeRow(const QString &table, const QVariant &key)
{
    const QVariantMap stored = storedPlainRow(table, key);
    Sql(QStringLiteral("delete from %1 where ID=?").arg(table), {key}).exec();
    note(QStringLiteral("delete"), table, key, stored, {});
}

QVariantMap Ledger::storedPlainRow(const QString &table, const QVariant &key) const
{
    requireBook();
    if (!isPlainTable(table))
        throw DbError(QStringLiteral("%1 不是帐本能记下的表。").arg(table));
    const QVariantMap stored = storedRow(table, key);
    if (stored.isEmpty())
        throw DbError(rowGoneMessage());
    return stored;
}

QVariantMap Ledger::storedRow(const QString &table, const QVariant &key) const
{
    Sql sql(QStringLiteral("select * from %1 where ID=?").arg(table), {key});
    const std::optional<References::Kind> reference = References::kindOf(table);
    if (entryKind(table) || (reference && perBook(*reference)) || isPlainTable(table))
        sql.add(QStringLiteral(" and BName=?"), {m_book});
    else if (const FollowUpKind *f = followUpKind(table))
        sql.add(QStringLiteral(" and %1 in (select ID from %2 where BName=?)")
                    .arg(column(f->entryKey), column(f->entry->table)),
                {m_book});
    QSqlQuery stored = sql.exec();
    return stored.next() ? Rows::current(stored) : QVariantMap();
}

void Ledger::keepAsBatch(const QString &table, const QVariant &key, bool standing)
{
    m_batch = History::batchOp(table, key, standing);
}

void Ledger::touch(const QString &table, const QVariant &key)
{
    QList<QVariant> &keys = m_change.rows[table];
    if (key.isValid())
        keys << key;
}

void Ledger::note(const QString &op, const QString &table, const QVariant &key,
                  const QVariantMap &before, const QVariantMap &after)
{
    touch(table, key);
    // A batch's rows are its handler's to undo and redo, not the history's.
    if (!m_recording || (m_batch && (entryKind(table) || followUpKind(table))))
        return;
    // What a row became is read back: defaults and figures moved included.
    const bool readBack = after.isEmpty() && op != QLatin1String("delete");
    History::Op written{op, table, key, before, readBack ? storedRow(table, key) : after};
    // An account's balance is the ledger's: an edit of its row undoes and redoes
    // the rest of it; a balance typed is an op of its own.
    if (op == QLatin1String("update") && isAccounts(table)) {
        written.before.remove(QStringLiteral("AMoney"));
        written.after.remove(QStringLiteral("AMoney"));
    }
    m_ops.push_back(std::move(written));
}

const Ledger::EntryKind *Ledger::entryKind(const QString &table)
{
    for (const EntryKind *kind : entryKinds())
        if (table.compare(column(kind->table), Qt::CaseInsensitive) == 0)
            return kind;
    return nullptr;
}

const Ledger::FollowUpKind *Ledger::followUpKind(const QString &table)
{
    for (const EntryKind *kind : entryKinds())
        if (kind->followUps &&
            table.compare(column(kind->followUps->table), Qt::CaseInsensitive) == 0)
            return kind->followUps;
    return nullptr;
}

QString Ledger::describe(const History::Op &op)
{
    const QVariantMap &row = op.after.isEmpty() ? op.before : op.after;
    const auto text = [&row](const char *name) {
        return name ? row.value(column(name)).toString() : QString();
    };
    const auto amount = [&row](const char *name) {
        return Money::fromVariant(row.value(column(name))).toShown();
    };
    const QString verb = op.op == QLatin1String("insert")   ? QStringLiteral("新增")
                         : op.op == QLatin1String("update") ? QStringLiteral("修改")
                         : op.op == QLatin1String("delete") ? QStringLiteral("删除")
                                                            : QStringLiteral("修改");
    QStringList parts;
    if (const EntryKind *kind = entryKind(op.table)) {
        parts << verb + QString::fromUtf8(kind->title) << text(kind->dateColumn);
        if (kind->nameColumn)
            parts << text(kind->nameColumn);
        else
            parts << text(kind->legs[0].account) + QStringLiteral("→") +
                         text(kind->legs[1].account);
        parts << amount(kind->legs.front().amount);
    } else if (const FollowUpKind *f = followUpKind(op.table)) {
        parts << verb + QString::fromUtf8(f->title) << text("RDate") << amount(f->amounts.front());
    } else if (op.op == QLatin1String("balance")) {
        parts << QStringLiteral("修改帐户余额") << text("AName") << amount("AMoney");
    } else if (const char *title = plainTitle(op.table)) {
        parts << verb + QString::fromUtf8(title);
    } else if (const std::optional<References::Kind> kind = References::kindOf(op.table)) {
        const References::Target &t = References::target(*kind);
        parts << verb + QString::fromUtf8(t.title) << op.before.value(column(t.column)).toString();
        const QString now = op.after.value(column(t.column)).toString();
        if (op.op == QLatin1String("insert"))
            parts.last() = now;
        else if (!now.isEmpty() && now != parts.last())
            parts << QStringLiteral("改名为") << now;
    }
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

void Ledger::count(const EntryKind &kind, const QVariantMap &row, int sign)
{
    const Money amount = totalsAmount(kind, row);
    m_totals.add(totalsKey(kind, row), sign > 0 ? amount : -amount, sign);
    if (&kind == &expense() && m_recording)
        m_change.spending.push_back({row.value(column(kind.nameColumn)).toString(),
                                     row.value(column(kind.dateColumn)).toString(),
                                     sign > 0 ? amount : -amount});
}

void Ledger::commit()
{
    for (auto &[id, account] : m_accounts) {
        if (account.now == account.stored)
            continue;
        if (!withinRange(account.now, MaxBalanceUnits))
            throw DbError(accountRangeMessage(account.name));
        Sql(QStringLiteral("update SAccount set AMoney=? where ID=?"),
            {account.now.toVariant(), id})
            .exec();
        account.stored = account.now;
        m_change.accounts.insert(account.name);
    }
    m_totals.write();
    m_totals = {};
    // A batch is kept as its one op, after the rows written beside it (the
    // categories an import made), so that a redo makes them first.
    if (m_batch) {
        touch(m_batch->table, m_batch->key);
        m_ops.push_back(*std::exchange(m_batch, std::nullopt));
    }
    // With no book open there is no book's history to keep it in.
    if (m_recording && !m_book.isEmpty() && !m_ops.empty()) {
        QString description = m_description;
        if (description.isEmpty()) {
            description = describe(m_ops.front());
            if (m_ops.size() > 1)
                description += QStringLiteral(" 等 %1 项").arg(m_ops.size());
        }
        History::record(m_book, m_window, description, m_ops, m_origin);
        m_ops.clear();
    }
    m_transaction.commit();
    m_change.book = m_book;
    m_change.window = m_window;
    ChangeFeed::announceOnCommit(m_transaction.database(), std::exchange(m_change, {}));
}

void Ledger::move(const Movements &movements, int sign, Missing missing)
{
    for (const auto &[name, amount] : movements) {
        const qint64 id = accountId(name, missing);
        if (id < 0)
            continue;
        Account &account = m_accounts.at(id);
        account.now = plus(account.now, sign > 0 ? amount : -amount,
                           [&account] { return accountRangeMessage(account.name); });
    }
}

qint64 Ledger::accountId(const QString &name, Missing missing)
{
    if (const auto known = m_accountIds.constFind(name); known != m_accountIds.constEnd())
        return *known;
    // Two accounts of one name (older data) : the first holds the entries' money.
    QSqlQuery found = Sql(QStringLiteral("select ID, AMoney from SAccount where AName=? and "
                                         "BName=? order by ID limit 1"),
                          {name, m_book})
                          .exec();
    if (!found.next()) {
        if (missing == Missing::Refuse)
            throw DbError(name.isEmpty()
                              ? QStringLiteral("请选择 帐户名称！")
                              : References::goneMessage(References::Kind::Account, name));
        return -1;
    }
    const qint64 id = found.value(0).toLongLong();
    const Money balance = Money::fromVariant(found.value(1));
    m_accounts.try_emplace(id, Account{name, balance, balance});
    m_accountIds.insert(name, id);
    return id;
}

void Ledger::checkRow(const QString &table, QVariantMap &row,
                      const std::vector<const char *> &amounts)
{
    for (const char *amount : amounts)
        if (!withinRange(amountOf(row, amount), MaxAmountUnits))
            throw DbError(amountRangeMessage());
    for (const References::Use &use : References::uses()) {
        if (table.compare(QLatin1String(use.table), Qt::CaseInsensitive) != 0)
            continue;
        const QString given = column(use.column);
        const auto name = row.find(given);
        if (name == row.end() || name->toString().isEmpty())
            continue;
        // A name is written as the book spells it: "BANK" chosen before a rename
        // to "Bank" is stored as "Bank", so that all its rows and totals agree.
        const std::pair<int, QString> asGiven{int(use.kind), name->toString()};
        auto known = m_knownNames.constFind(asGiven);
        if (known == m_knownNames.constEnd()) {
            const QString stored = References::storedName(use.kind, asGiven.second, m_book);
            if (stored.isEmpty())
                throw DbError(References::goneMessage(use.kind, asGiven.second));
            known = m_knownNames.insert(asGiven, stored);
        }
        *name = *known;
    }
}

QVariantMap Ledger::storedEntry(const EntryKind &kind, const QVariant &key) const
{
    QSqlQuery stored =
        Sql(QStringLiteral("select * from %1 where ID=? and BName=?").arg(column(kind.table)),
            {key, m_book})
            .exec();
    if (!stored.next())
        throw DbError(rowGoneMessage());
    return Rows::current(stored);
}

Money Ledger::settled(const EntryKind &kind, const QVariant &key)
{
    if (!kind.followUps)
        return Money();
    return Money::fromVariant(
        Sql(QStringLiteral("select coalesce(sum(%1),0) from %2 where %3=?")
                .arg(column(kind.followUps->amounts.front()), column(kind.followUps->table),
                     column(kind.followUps->entryKey)),
            {key})
            .scalar());
}

void Ledger::moveFigures(const FollowUpKind &kind, const QVariantMap &entry,
                         const QVariantMap &record, int sign)
{
    const Money first = amountOf(record, kind.amounts.front());
    const Money last = amountOf(record, kind.amounts.back());
    const Money outstanding =
        plus(amountOf(entry, kind.outstanding), sign > 0 ? -first : first, figureRangeMessage);
    const Money running =
        plus(amountOf(entry, kind.running), sign > 0 ? last : -last, figureRangeMessage);
    if (!withinRange(outstanding, MaxBalanceUnits) || !withinRange(running, MaxBalanceUnits))
        throw DbError(figureRangeMessage());
    Sql(QStringLiteral("update %1 set %2=?,%3=? where ID=?")
            .arg(column(kind.entry->table), column(kind.outstanding), column(kind.running)),
        {outstanding.toVariant(), running.toVariant(), entry.value(QStringLiteral("ID"))})
        .exec();
    // What is outstanding is the entry's amount in the totals.
    m_totals.add(totalsKey(*kind.entry, entry), sign > 0 ? -first : first, 0);
}
