#include "core/planning/Budget.h"

#include "core/ledger/Figures.h"
#include "core/ledger/HouseholdMonth.h"
#include "core/ledger/Sharing.h"
#include "core/reports/KeptSums.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QDate>
#include <QSet>
#include <QSqlQuery>

namespace Budget {

namespace {

QString folded(const QString &name)
{
    return name.toLower();
}

// What each category spent from the first day through the last, by its name in
// lower case: from the kept totals for the whole calendar months, the rows for
// the rest. Only `category` when given.
QHash<QString, Money> spent(const QString &book, const QDate &first, const QDate &last,
                            const std::optional<QString> &category = std::nullopt)
{
    EntryFilter filter;
    filter.days = {{first, last}};
    filter.category = category;
    QHash<QString, Money> sums;
    QSqlQuery rows =
        KeptSums::statement(EntryTables::Expense, KeptSums::By::Name, book, filter).exec();
    while (rows.next())
        sums[folded(rows.value(0).toString())] += Money::fromVariant(rows.value(1));
    return sums;
}

// What a rolling category carries into the month: its budgets less its spending
// in every month from its first budget through the month before.
Money carriedInto(const QString &book, const QString &category, const QString &month, int startDay)
{
    const QString first =
        Sql(QStringLiteral("select min(Month) from Budget where BName=? and OName=? and Month<?"),
            {book, category, month})
            .scalar()
            .toString();
    if (first.isEmpty())
        return {};
    const QString before = HouseholdMonth::shifted(month, -1);
    const Money budgets = Money::fromVariant(
        Sql(QStringLiteral("select sum(BMoney) from Budget where BName=? and OName=? and "
                           "Month between ? and ?"),
            {book, category, first, before})
            .scalar());
    const Money used = spent(book, HouseholdMonth::named(first, startDay).first,
                             HouseholdMonth::named(before, startDay).last, category)
                           .value(folded(category));
    return budgets - used;
}

// Whether `spent` reached 80 % of `available` (exactly, in 128 bits).
bool nearlySpent(Money spent, Money available)
{
    return available > Money() && __int128(spent.units()) * 100 >= __int128(available.units()) * 80;
}

bool overspent(Money spent, Money available)
{
    return available > Money() && spent > available;
}

} // namespace

QString otherTitle()
{
    return QStringLiteral("其余支出");
}

QString negativeRefusal()
{
    return QStringLiteral("预算金额不能小于 0！请重新录入！");
}

std::int64_t Line::used() const
{
    return Figures::ratio(spent, available());
}

Line Status::total() const
{
    Line sum;
    sum.name = QStringLiteral("合计");
    for (const Line &l : lines) {
        sum.budget += l.budget;
        sum.carried += l.carried;
        sum.spent += l.spent;
    }
    return sum;
}

bool any(const QString &book)
{
    return Sql(QStringLiteral("select 1 from Budget where BName=? limit 1"), {book}).hasRows();
}

Status status(const QString &book, const QString &month)
{
    const int startDay = HouseholdMonth::startDay(book);
    const HouseholdMonth::Period period = HouseholdMonth::named(month, startDay);
    Status result{month, {}};
    if (!period.first.isValid())
        return result;

    // The month's amounts and the rolling categories, by name in lower case.
    QHash<QString, Line> lines;
    QStringList found; // names as stored, in the order found
    QSqlQuery set = Sql(QStringLiteral("select OName,BMoney from Budget where BName=? and "
                                       "Month=? and BMoney<>0"),
                        {book, month})
                        .exec();
    while (set.next()) {
        const QString name = set.value(0).toString();
        Line &line = lines[folded(name)];
        line.name = name;
        line.budget = Money::fromVariant(set.value(1));
        found << name;
    }
    QSqlQuery rolling =
        Sql(QStringLiteral("select OName from BudgetRollover where BName=? and OName<>''"), {book})
            .exec();
    while (rolling.next()) {
        const QString name = rolling.value(0).toString();
        const Money carried = carriedInto(book, name, month, startDay);
        const bool budgeted = lines.contains(folded(name));
        if (!budgeted && carried.isZero())
            continue;
        Line &line = lines[folded(name)];
        if (!budgeted) {
            line.name = name;
            found << name;
        }
        line.carried = carried;
        line.rollover = true;
    }
    const Line other = lines.take(QString());
    found.removeAll(QString());

    // The categories' order, then any name no longer among them.
    QStringList order;
    QSqlQuery categories =
        Sql(QStringLiteral("select OName from OutD where BName=? order by ID"), {book}).exec();
    while (categories.next())
        order << folded(categories.value(0).toString());
    for (const QString &name : found)
        if (!order.contains(folded(name)))
            order << folded(name);

    const QHash<QString, Money> spending = spent(book, period.first, period.last);
    Money budgetedSpending;
    for (const QString &key : order) {
        if (!lines.contains(key))
            continue;
        Line line = lines.value(key);
        line.spent = spending.value(key);
        budgetedSpending += line.spent;
        result.lines.push_back(line);
    }
    if (!other.budget.isZero()) {
        Money all;
        for (const Money m : spending)
            all += m;
        Line line;
        line.name = otherTitle();
        line.budget = other.budget;
        line.spent = all - budgetedSpending;
        result.lines.push_back(line);
    }
    return result;
}

QStringList months(int year)
{
    QStringList labels;
    for (int m = 1; m <= 12; ++m)
        labels << QStringLiteral("%1-%2").arg(year).arg(m, 2, 10, QLatin1Char('0'));
    return labels;
}

Plan plan(const QString &book, int year)
{
    const QStringList labels = months(year);
    Plan result;
    QSqlQuery rows = Sql(QStringLiteral("select OName,Month,BMoney from Budget where BName=? "
                                        "and Month between ? and ?"),
                         {book, labels.first(), labels.last()})
                         .exec();
    while (rows.next())
        result[folded(rows.value(0).toString())][rows.value(1).toString()] =
            Money::fromVariant(rows.value(2));
    return result;
}

void setAmount(const QString &book, const QString &line, const QStringList &months, Money amount)
{
    if (amount < Money())
        throw DbError(negativeRefusal());
    Transaction transaction;
    for (const QString &month : months) {
        if (amount.isZero())
            Sql(QStringLiteral("delete from Budget where BName=? and OName=? and Month=?"),
                {book, line, month})
                .exec();
        else
            Sql(QStringLiteral("insert into Budget (BName,OName,Month,BMoney) values (?,?,?,?) "
                               "on conflict(BName,OName,Month) do update set "
                               "BMoney=excluded.BMoney"),
                {book, line, month, amount.toVariant()})
                .exec();
    }
    Sharing::settingsChanged(book, QStringLiteral("Budget"));
    transaction.commit();
}

void copyPrevious(const QString &book, const QString &month)
{
    Transaction transaction;
    Sql(QStringLiteral("delete from Budget where BName=? and Month=?"), {book, month}).exec();
    Sql(QStringLiteral("insert into Budget (BName,OName,Month,BMoney) select BName,OName,?,BMoney "
                       "from Budget where BName=? and Month=?"),
        {month, book, HouseholdMonth::shifted(month, -1)})
        .exec();
    Sharing::settingsChanged(book, QStringLiteral("Budget"));
    transaction.commit();
}

bool rollover(const QString &book, const QString &line)
{
    return Sql(QStringLiteral("select 1 from BudgetRollover where BName=? and OName=?"),
               {book, line})
        .hasRows();
}

void setRollover(const QString &book, const QString &line, bool on)
{
    Transaction transaction;
    if (on)
        Sql(QStringLiteral("insert into BudgetRollover (BName,OName) values (?,?) "
                           "on conflict(BName,OName) do nothing"),
            {book, line})
            .exec();
    else
        Sql(QStringLiteral("delete from BudgetRollover where BName=? and OName=?"), {book, line})
            .exec();
    Sharing::settingsChanged(book, QStringLiteral("BudgetRollover"));
    transaction.commit();
}

QStringList warnings(const QString &book, const std::vector<Ledger::Spending> &spending)
{
    if (!any(book))
        return {};
    const int startDay = HouseholdMonth::startDay(book);
    // What the save added, by household month and category.
    QMap<QString, QHash<QString, Money>> added;
    for (const Ledger::Spending &s : spending) {
        const QDate day = QDate::fromString(s.date, Qt::ISODate);
        if (day.isValid())
            added[HouseholdMonth::containing(day, startDay).label][folded(s.category)] += s.amount;
    }
    QStringList notes;
    for (auto month = added.cbegin(); month != added.cend(); ++month) {
        const Status now = status(book, month.key());
        QSet<QString> own;
        for (const Line &line : now.lines)
            own << folded(line.name);
        for (const Line &line : now.lines) {
            Money delta;
            if (line.name == otherTitle()) {
                for (auto c = month->cbegin(); c != month->cend(); ++c)
                    if (!own.contains(c.key()))
                        delta += c.value();
            } else {
                delta = month->value(folded(line.name));
            }
            if (delta <= Money())
                continue;
            const Money before = line.spent - delta;
            if (overspent(line.spent, line.available()) && !overspent(before, line.available()))
                notes << QStringLiteral("超出预算：%1 %2 已用 %3，超出 %4。")
                             .arg(line.name, month.key(), Figures::money(line.spent),
                                  Figures::money(-line.left()));
            else if (nearlySpent(line.spent, line.available()) &&
                     !nearlySpent(before, line.available()))
                notes << QStringLiteral("预算提醒：%1 %2 已用 %3，剩余 %4。")
                             .arg(line.name, month.key(), Figures::percent(line.used()),
                                  Figures::money(line.left()));
        }
    }
    return notes;
}

} // namespace Budget
