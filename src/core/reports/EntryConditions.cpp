#include "core/reports/EntryConditions.h"

#include "core/ledger/Conditions.h"

Condition entryCondition(const EntryColumns &columns, const EntryFilter &filter)
{
    Condition condition;
    if (filter.days)
        condition += Conditions::dateRange(QLatin1String(columns.date), filter.days->first,
                                           filter.days->second);
    if (filter.category)
        condition += Conditions::equals(QLatin1String(columns.name), *filter.category);
    if (filter.account)
        condition += Conditions::equals(QStringLiteral("AName"), *filter.account);
    if (filter.member)
        condition += Conditions::equals(QStringLiteral("FName"), *filter.member);
    return condition;
}
