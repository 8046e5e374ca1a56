#include "reports/Statistics.h"

#include "reports/KeptSums.h"

namespace Statistics {

List::Query statement(const Side &side, const QString &book, const EntryFilter &filter)
{
    EntryFilter limits = filter;
    limits.category.reset();
    const QString nameAlias = QString::fromUtf8(side.nameAlias);
    const QString amountAlias = QString::fromUtf8(side.amountAlias);
    const std::vector<List::Column> columns = {
        {QStringLiteral("项"), nameAlias},
        {QStringLiteral("笔数"), QStringLiteral("笔数")},
        {QStringLiteral("金额"), amountAlias, List::Kind::Money}};
    List::Query list = List::listing(columns, QString());
    list.select.add(KeptSums::source(side.columns, KeptSums::By::Name, book, limits));
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
    const auto outstanding = [&book](const EntryColumns &side) {
        return Money::fromVariant(Sql(QStringLiteral("select sum(金额) from "))
                                      .add(KeptSums::source(side, KeptSums::By::Name, book, {}))
                                      .scalar());
    };
    const Money accounts = Money::fromVariant(
        Sql(QStringLiteral("select SUM(AMoney) from SAccount where BName=?"), {book}).scalar());
    return {accounts, outstanding(EntryTables::Debts), outstanding(EntryTables::Credits)};
}

} // namespace Balances
