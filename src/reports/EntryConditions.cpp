#include "reports/EntryConditions.h"

#include "data/Dates.h"

Condition entryCondition(const EntryColumns &columns, const EntryFilter &filter)
{
    Condition condition;
    if (filter.days)
        condition.add(QStringLiteral(" and %1 Between ? and ?").arg(QLatin1String(columns.date)),
                      {isoDate(filter.days->first), isoDate(filter.days->second)});
    if (filter.category)
        condition.add(QStringLiteral(" and %1=?").arg(QLatin1String(columns.name)),
                      {*filter.category});
    if (filter.account)
        condition.add(QStringLiteral(" and AName=?"), {*filter.account});
    if (filter.member)
        condition.add(QStringLiteral(" and FName=?"), {*filter.member});
    return condition;
}
