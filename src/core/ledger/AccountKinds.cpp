#include "core/ledger/AccountKinds.h"

#include "data/Sql.h"

#include <QSqlQuery>

namespace AccountKinds {

QStringList all()
{
    return {Cash, Savings, Liability, Online, Investment, Other};
}

bool isLiability(const QString &kind)
{
    return kind == Liability;
}

QString byName(const QString &account)
{
    return account == Cash ? Cash : Savings;
}

Holdings holdings(const QString &book)
{
    Holdings h;
    QSqlQuery sums = Sql(QStringLiteral("select AKind, sum(AMoney) from SAccount where BName=? "
                                        "group by AKind"),
                         {book})
                         .exec();
    while (sums.next()) {
        const QString kind = sums.value(0).toString();
        const Money sum = Money::fromVariant(sums.value(1));
        if (kind == Cash)
            h.cash += sum;
        else if (isLiability(kind))
            h.owed -= sum;
        else
            h.deposits += sum;
    }
    return h;
}

} // namespace AccountKinds
