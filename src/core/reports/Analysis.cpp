#include "core/reports/Analysis.h"

#include <QSqlQuery>

namespace Analysis {

std::vector<Item> items(const QString &kind, const EntryColumns &side)
{
    using By = KeptSums::By;
    Q_UNUSED(side);
    return {
        {QStringLiteral("日") + kind},
        {QStringLiteral("月") + kind, By::Month},
        {QStringLiteral("年") + kind, By::Year},
        // Entries without a member form one group, whether stored empty or NULL.
        {QStringLiteral("家庭成员"), By::Member},
        {kind + QStringLiteral("类别"), By::Name},
        {QStringLiteral("帐户名称"), By::Account},
    };
}

Sql resultStatement(const EntryColumns &side, const Item &item, const QString &book,
                    const EntryFilter &filter)
{
    if (item.by)
        return Sql(QStringLiteral("select 项 as 统计的项,金额 from "))
            .add(KeptSums::source(side, *item.by, book, filter))
            .add(QStringLiteral(" order by 项"));
    // By day: grouping by the indexed date column walks the (BName, date) index.
    const QString date = QLatin1String(side.date);
    return Sql(QStringLiteral("select %1 as 统计的项,Sum(%2) as 金额 from %3 where BName=?")
                   .arg(date, QLatin1String(side.amount), QLatin1String(side.table)),
               {book})
        .add(entryCondition(side, filter))
        .add(QStringLiteral(" group by %1 order by %1").arg(date));
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
