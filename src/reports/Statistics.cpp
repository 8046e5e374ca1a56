#include "reports/Statistics.h"

namespace Statistics {

List::Query statement(const Side &side, const QString &book, const EntryFilter &filter)
{
    EntryFilter limits = filter;
    limits.category.reset();
    const QString name = QLatin1String(side.columns.name);
    const QString nameAlias = QString::fromUtf8(side.nameAlias);
    const QString amountAlias = QString::fromUtf8(side.amountAlias);
    const std::vector<List::Column> columns = {
        {name, nameAlias},
        {QStringLiteral("Count(ID)"), QStringLiteral("笔数")},
        {QStringLiteral("Sum(%1)").arg(QLatin1String(side.columns.amount)), amountAlias,
         List::Kind::Money}};
    List::Query list = List::listing(columns, QLatin1String(side.columns.table));
    list.select.add(QStringLiteral(" Where BName=?"), {book})
        .add(entryCondition(side.columns, limits))
        .add(QStringLiteral(" group by %1").arg(name));
    // The name is unique among the groups, so the order tells every two rows apart.
    list.order = amountAlias + QStringLiteral(" desc,") + nameAlias;
    return list;
}

} // namespace Statistics

namespace Balances {

QString Summary::line() const
{
    return QStringLiteral("银行存款及现金[%1] 债务[%2] 债权[%3] 净资产[%4]")
        .arg(accounts.toPlain(), debts.toPlain(), credits.toPlain(), net().toPlain());
}

Summary read(const QString &book)
{
    const auto sum = [&book](const char *column, const char *table) {
        return Money::fromVariant(Sql(QStringLiteral("select SUM(%1) from %2 where BName=?")
                                          .arg(QLatin1String(column), QLatin1String(table)),
                                      {book})
                                      .scalar());
    };
    return {sum("AMoney", "SAccount"), sum("BMoney", "Borrow"), sum("DMoney", "Debt")};
}

} // namespace Balances
