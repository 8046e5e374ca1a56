#include "core/reports/Statistics.h"

#include "core/ledger/AccountKinds.h"
#include "core/ledger/Figures.h"
#include "core/reports/KeptSums.h"

#include <functional>

namespace Statistics {

std::vector<List::Column> columns(const Side &side)
{
    return {{QStringLiteral("项"), QString::fromUtf8(side.nameAlias)},
            {QStringLiteral("笔数"), QStringLiteral("笔数"), List::Kind::Count},
            {QStringLiteral("金额"), QString::fromUtf8(side.amountAlias), List::Kind::Money}};
}

List::Query statement(const Side &side, const QString &book, const EntryFilter &filter)
{
    EntryFilter limits = filter;
    limits.category.reset();
    const QString nameAlias = QString::fromUtf8(side.nameAlias);
    const QString amountAlias = QString::fromUtf8(side.amountAlias);
    List::Query list = List::listing(columns(side), QString());
    list.select.add(KeptSums::source(side.columns, KeptSums::By::Name, book, limits));
    // The name is unique among the groups, so the order tells every two rows apart.
    list.order = amountAlias + QStringLiteral(" desc,") + nameAlias;
    return list;
}

} // namespace Statistics

namespace Balances {

namespace {

QString summaryLine(const Summary &s, const std::function<QString(Money)> &figure)
{
    const QString owed =
        s.owed.isZero() ? QString() : QStringLiteral(" 信用卡/花呗欠款[%1]").arg(figure(s.owed));
    return QStringLiteral("银行存款及现金[%1]%2 债务[%3] 债权[%4] 净资产[%5]")
        .arg(figure(s.accounts), owed, figure(s.debts), figure(s.credits), figure(s.net()));
}

} // namespace

QString Summary::line() const
{
    return summaryLine(*this, Figures::money);
}

QString Summary::richLine() const
{
    return summaryLine(*this,
                       [](Money m) { return Figures::richText(Figures::money(m), m < Money()); });
}

Summary read(const QString &book)
{
    const auto outstanding = [&book](const EntryColumns &side) {
        return Money::fromVariant(Sql(QStringLiteral("select sum(金额) from "))
                                      .add(KeptSums::source(side, KeptSums::By::Name, book, {}))
                                      .scalar());
    };
    const AccountKinds::Holdings held = AccountKinds::holdings(book);
    return {held.cash + held.deposits, outstanding(EntryTables::Debts),
            outstanding(EntryTables::Credits), held.owed};
}

} // namespace Balances
