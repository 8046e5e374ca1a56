#include "core/planning/Reconciliation.h"

#include "core/ledger/Ledger.h"
#include "data/Dates.h"
#include "data/Sql.h"

#include <QSqlQuery>
#include <algorithm>

namespace Reconciliation {

namespace {

QString column(const char *name)
{
    return QLatin1String(name);
}

// Adds the rows of one statement (date, name, amount, remark) as movements.
void collect(std::vector<Movement> &out, const Sql &sql, const QString &kind, int sign)
{
    QSqlQuery rows = sql.exec();
    while (rows.next()) {
        const Money amount = Money::fromVariant(rows.value(2));
        out.push_back({rows.value(0).toString(), kind, rows.value(1).toString(),
                       sign > 0 ? amount : -amount, rows.value(3).toString()});
    }
}

} // namespace

Money balanceAt(const QString &book, const QString &account, const QDate &day)
{
    const Money now = Money::fromVariant(
        Sql(QStringLiteral("select AMoney from SAccount where BName=? and AName=? order by ID "
                           "limit 1"),
            {book, account})
            .scalar());
    return now - Ledger::effectsOn(book, isoDate(day)).value(account.toLower());
}

QDate lastReconciled(const QString &book, const QString &account)
{
    return QDate::fromString(
        Sql(QStringLiteral("select max(RDate) from Reconcile where BName=? and AName=?"),
            {book, account})
            .scalar()
            .toString(),
        dateFormat());
}

std::vector<Movement> movements(const QString &book, const QString &account, const QDate &after,
                                const QDate &through)
{
    // Bound as empty text (not NULL), which every date comes after.
    const QString from = after.isValid() ? isoDate(after) : QStringLiteral("");
    const QString to = isoDate(through);
    std::vector<Movement> out;
    for (const Ledger::EntryKind *kind : Ledger::entryKinds()) {
        const QString date = column(kind->dateColumn);
        // What an entry moved: its whole first amount, settled since included.
        QString whole = column(kind->legs.front().amount);
        if (const Ledger::FollowUpKind *f = kind->followUps)
            whole += QStringLiteral("+(select coalesce(sum(r.%1),0) from %2 r where r.%3=e.ID)")
                         .arg(column(f->amounts.front()), column(f->table), column(f->entryKey));
        for (std::size_t i = 0; i < kind->legs.size(); ++i) {
            const Ledger::Leg &leg = kind->legs[i];
            // A transfer names the other account as its other side.
            const QString name =
                kind->nameColumn ? column(kind->nameColumn) : column(kind->legs[1 - i].account);
            collect(out,
                    Sql(QStringLiteral("select e.%1,e.%2,%3,e.Remark from %4 e where e.BName=? "
                                       "and e.%5=? and e.%1>? and e.%1<=?")
                            .arg(date, name, whole, column(kind->table), column(leg.account)),
                        {book, account, from, to}),
                    QString::fromUtf8(kind->title), leg.sign);
        }
        if (const Ledger::FollowUpKind *f = kind->followUps) {
            QStringList amounts;
            for (const char *amount : f->amounts)
                amounts << QStringLiteral("r.") + column(amount);
            collect(out,
                    Sql(QStringLiteral("select r.RDate,e.%1,%2,r.Remark from %3 r join %4 e on "
                                       "e.ID=r.%5 where e.BName=? and r.AName=? and r.RDate>? and "
                                       "r.RDate<=?")
                            .arg(column(kind->nameColumn), amounts.join(QLatin1Char('+')),
                                 column(f->table), column(kind->table), column(f->entryKey)),
                        {book, account, from, to}),
                    QString::fromUtf8(f->title), f->sign);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Movement &a, const Movement &b) { return a.date < b.date; });
    return out;
}

Money remaining(Money bank, Money own, Money unticked)
{
    // The bank has not seen what is not ticked off yet.
    return bank - (own - unticked);
}

QString remark(const QDate &day, Money bank, Money own)
{
    return QStringLiteral("对帐 %1：银行余额 %2，本帐余额 %3")
        .arg(isoDate(day), bank.toGrouped(), own.toGrouped());
}

QVariant record(const QString &book, const QString &account, const QDate &day, Money bank,
                Money own, Money difference, const QString &window)
{
    Ledger ledger(book);
    ledger.setWindow(window);
    ledger.setDescription(
        QStringLiteral("对帐 %1 %2 平帐 %3").arg(account, isoDate(day), difference.toShown()));
    const QVariant entry = ledger.adjust(account, day, difference, remark(day, bank, own));
    ledger.insertRow(QStringLiteral("Reconcile"), {{QStringLiteral("AName"), account},
                                                   {QStringLiteral("RDate"), isoDate(day)},
                                                   {QStringLiteral("Bank"), bank.toVariant()},
                                                   {QStringLiteral("Own"), own.toVariant()},
                                                   {QStringLiteral("EID"), entry}});
    ledger.commit();
    return entry;
}

} // namespace Reconciliation
