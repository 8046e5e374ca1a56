#include "reports/Statistics.h"

namespace Statistics {

Sql statement(const Side &side, const QString &book, const EntryFilter &filter)
{
    EntryFilter limits = filter;
    limits.category.reset();
    const QString name = QLatin1String(side.columns.name);
    const QString amount = QLatin1String(side.columns.amount);
    return Sql(QStringLiteral("select %1 as %2,Count(ID) as 笔数,Sum(%3) as %4 from %5"
                              " Where BName=?")
                   .arg(name, QString::fromUtf8(side.nameAlias), amount,
                        QString::fromUtf8(side.amountAlias), QLatin1String(side.columns.table)),
               {book})
        .add(entryCondition(side.columns, limits))
        .add(QStringLiteral(" group by %1 order by Sum(%2) DESC,%1").arg(name, amount));
}

} // namespace Statistics

namespace Balances {

Sql listStatement(const QString &book)
{
    return Sql(QStringLiteral("select AName as 帐户名称,AMoney as 帐户余额,Remark as 备注"
                              " from SAccount where BName=? AND AMoney<>0"
                              " ORDER BY AMoney DESC"),
               {book});
}

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
