#include "core/reports/KeptSums.h"

#include "core/ledger/Conditions.h"
#include "core/ledger/HouseholdMonth.h"
#include "data/Dates.h"

#include <optional>

namespace KeptSums {
namespace {

QString column(const char *name)
{
    return QLatin1String(name);
}

// What the rows of the side group by; months are the household's.
QString rowsGroup(const EntryColumns &side, By by, int startDay)
{
    switch (by) {
    case By::Month:
        return HouseholdMonth::labelExpression(column(side.date), startDay);
    case By::Year:
        return QStringLiteral("substr(%1,1,4)").arg(column(side.date));
    case By::Name:
        return column(side.name);
    case By::Account:
        return QStringLiteral("AName");
    case By::Member:
        return QStringLiteral("coalesce(FName,'')");
    }
    return {};
}

// What the kept totals group by.
QString totalsGroup(By by)
{
    switch (by) {
    case By::Month:
        return QStringLiteral("Month");
    case By::Year:
        return QStringLiteral("substr(Month,1,4)");
    case By::Name:
        return QStringLiteral("Name");
    case By::Account:
        return QStringLiteral("AName");
    case By::Member:
        return QStringLiteral("FName");
    }
    return {};
}

// The names the filter limits, as conditions on the totals.
Condition totalsLimits(const EntryFilter &filter)
{
    Condition condition;
    if (filter.category)
        condition += Conditions::equals(QStringLiteral("Name"), *filter.category);
    if (filter.account)
        condition += Conditions::equals(QStringLiteral("AName"), *filter.account);
    if (filter.member)
        condition += Conditions::equals(QStringLiteral("FName"), *filter.member);
    return condition;
}

// The rows passing the filter, summed by the group.
Sql rowsPart(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter,
             int startDay = HouseholdMonth::FirstDay)
{
    return Sql(QStringLiteral("select %1 as 项,%2 as 金额,1 as 笔数 from %3 where BName=?")
                   .arg(rowsGroup(side, by, startDay), column(side.amount), column(side.table)),
               {book})
        .add(entryCondition(side, filter));
}

// The rows of the days from `from` through `to`, summed by the group.
Sql rowsPart(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter,
             const QDate &from, const QDate &to)
{
    EntryFilter limits = filter;
    limits.days = {{from, to}};
    return rowsPart(side, by, book, limits);
}

// The kept totals of the months from `first` through `last` ("yyyy-MM"; all
// months when both are empty).
Sql totalsPart(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter,
               const QString &first, const QString &last)
{
    // Lines summed over accounts and members are far fewer: read them unless an
    // account or member matters.
    const bool byName = !filter.account && !filter.member && by != By::Account && by != By::Member;
    Sql sql(QStringLiteral("select %1 as 项,Amount as 金额,Cnt as 笔数 from %2 "
                           "where BName=? and Kind=?")
                .arg(totalsGroup(by),
                     byName ? QStringLiteral("MonthNameTotal") : QStringLiteral("MonthTotal")),
            {book, column(side.table)});
    if (!first.isEmpty())
        sql.add(QStringLiteral(" and Month between ? and ?"), {first, last});
    return sql.add(totalsLimits(filter));
}

QString month(const QDate &day)
{
    return isoDate(day).left(7);
}

// The rows and totals that together hold every row passing the filter. The
// rows come first: a reader of the statement looks for the conditions on the
// entries' columns after the first "where".
Sql parts(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter)
{
    // Household months that start on another day than the 1st cut every calendar
    // month: their sums come from the rows of the days asked.
    if (by == By::Month)
        if (const int startDay = HouseholdMonth::startDay(book);
            startDay != HouseholdMonth::FirstDay)
            return rowsPart(side, by, book, filter, startDay);
    if (!filter.days)
        return totalsPart(side, by, book, filter, {}, {});
    const auto [from, to] = *filter.days;
    // The whole months of the range: from the first one that starts in it through
    // the last one that ends in it.
    const QDate firstWhole =
        from.day() == 1 ? from : QDate(from.year(), from.month(), 1).addMonths(1);
    const QDate afterLastWhole =
        to.day() == to.daysInMonth() ? to.addDays(1) : QDate(to.year(), to.month(), 1);
    if (firstWhole >= afterLastWhole)
        return rowsPart(side, by, book, filter, from, to);
    Sql sql;
    std::optional<Sql> rows;
    if (from < firstWhole)
        rows = rowsPart(side, by, book, filter, from, firstWhole.addDays(-1));
    if (afterLastWhole <= to) {
        Sql last = rowsPart(side, by, book, filter, afterLastWhole, to);
        rows = rows ? rows->add(QStringLiteral(" union all ")).add(last) : last;
    }
    if (rows)
        sql.add(*rows).add(QStringLiteral(" union all "));
    return sql.add(
        totalsPart(side, by, book, filter, month(firstWhole), month(afterLastWhole.addDays(-1))));
}

} // namespace

Sql source(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter)
{
    return Sql(QStringLiteral("(select 项,sum(金额) as 金额,sum(笔数) as 笔数 from ("))
        .add(parts(side, by, book, filter))
        .add(QStringLiteral(") group by 项) 合计"));
}

Sql statement(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter)
{
    return Sql(QStringLiteral("select 项,金额,笔数 from ")).add(source(side, by, book, filter));
}

} // namespace KeptSums
