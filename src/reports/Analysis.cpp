#include "reports/Analysis.h"

#include <QSqlQuery>

namespace Analysis {

std::vector<Item> items(const QString &kind, const EntryColumns &side)
{
    const QString date = QLatin1String(side.date);
    return {
        {QStringLiteral("日") + kind, date},
        {QStringLiteral("月") + kind, QStringLiteral("substr(%1,1,7)").arg(date)},
        {QStringLiteral("年") + kind, QStringLiteral("substr(%1,1,4)").arg(date)},
        // Entries without a member form one group, whether stored empty or NULL.
        {QStringLiteral("家庭成员"), QStringLiteral("coalesce(FName,'')")},
        {kind + QStringLiteral("类别"), QLatin1String(side.name)},
        {QStringLiteral("帐户名称"), QStringLiteral("AName")},
    };
}

Sql resultStatement(const EntryColumns &side, const Item &item, const QString &book,
                    const EntryFilter &filter)
{
    return Sql(QStringLiteral("select %1 as 统计的项,Sum(%2) as 金额 from %3 where BName=?")
                   .arg(item.group, QLatin1String(side.amount), QLatin1String(side.table)),
               {book})
        .add(entryCondition(side, filter))
        .add(QStringLiteral(" group by %1 order by %1").arg(item.group));
}

Result run(const EntryColumns &side, const Item &item, const QString &book,
           const EntryFilter &filter)
{
    Result result;
    QSqlQuery query = resultStatement(side, item, book, filter).exec();
    while (query.next()) {
        const Money amount = Money::fromVariant(query.value(1));
        result.rows.push_back({query.value(0).toString(), amount});
        result.total = result.total.value_or(Money()) + amount;
    }
    return result;
}

} // namespace Analysis
