#pragma once

#include "data/Money.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <vector>

// Reconciling an account with the bank (对帐): the balance the book gives at the
// end of a day against the one the bank shows, the entries since the last
// reconciliation to tick off, and what is left booked as one adjusting entry
// (平帐) through the ledger, together with the reconciliation's own row.
namespace Reconciliation {

// The account's balance at the end of `day`: its balance now less what entries
// and follow-ups dated after it moved. Throws DbError.
Money balanceAt(const QString &book, const QString &account, const QDate &day);
// The day of its last reconciliation; invalid when it was never reconciled.
QDate lastReconciled(const QString &book, const QString &account);

// One entry or follow-up that moved the account.
struct Movement
{
    QString date;
    QString kind; // 收入, 转帐, 还债...
    QString name; // its category or other side
    Money amount; // what it moved the account by (negative: out)
    QString remark;
};
// Those dated after `after` (all when invalid) through `through`, by date.
std::vector<Movement> movements(const QString &book, const QString &account, const QDate &after,
                                const QDate &through);

// What is left to adjust when the bank shows `bank` and the book `own`, the
// movements not ticked off (not yet at the bank) summing to `unticked`.
Money remaining(Money bank, Money own, Money unticked);
// The adjusting entry's remark: "对帐 2026-12-08：银行余额 1,234.00，本帐余额 1,200.00".
QString remark(const QDate &day, Money bank, Money own);

// Keeps the reconciliation of `day` and books `difference` (none when zero) as
// one adjusting entry of that day, in one action of the ledger; the entry's
// key, or null. Throws DbError.
QVariant record(const QString &book, const QString &account, const QDate &day, Money bank,
                Money own, Money difference, const QString &window);

} // namespace Reconciliation
