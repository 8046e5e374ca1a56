#pragma once

#include "core/ledger/References.h"
#include "data/Money.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

// Kept totals: for each book, month, kind of row (the table of an entry or a
// follow-up), name (category or other side), account(s) and member, the sum of
// the rows' amounts and their count, in the table MonthTotal; and the same summed
// over accounts and members in MonthNameTotal (a few thousand lines for a
// ten-year book), for what accounts and members do not limit. The ledger keeps
// them in the same transaction as every row it writes, so that the summary
// panel, the statements and the statistics read hundreds of totals instead of
// a million rows. An entry's amount is the figure its row holds (for a debt,
// credit or investment: what is outstanding); a follow-up's is its first amount.
namespace MonthTotals {

// What one row adds to its totals line.
struct Key
{
    QString book, month, kind, name, account, account2, member;
    bool operator==(const Key &o) const = default;
};
size_t qHash(const Key &key, size_t seed = 0);

struct Sum
{
    Money amount;
    qint64 count = 0;
};

// Changes of the totals gathered during one action, written together.
class Changes
{
public:
    void add(Key key, Money amount, qint64 count);
    bool isEmpty() const { return m_sums.isEmpty(); }
    // Adds them to the table; lines left with no rows go. Throws DbError.
    void write() const;

private:
    QHash<Key, Sum> m_sums;
};

// The sum of every kind's amounts in the book, by kind (the table's name).
QHash<QString, Money> byKind(const QString &book);

// Carries a rename of a reference into the totals, as into the rows.
void rename(References::Kind kind, const QString &from, const QString &to, const QString &book);

// Computes the totals of every book from the rows and puts them in place of what
// the table held, in the transaction of the caller. `progress` hears 0..100.
void rebuild(const QSqlDatabase &db, const std::function<void(int)> &progress = {});

// The lines where the table and the rows disagree, as text ("InTable 2024-05 …:
// kept 12.00 × 1, rows 15.00 × 2"); empty when they agree. Reads every row.
QStringList differences(const QSqlDatabase &db);

} // namespace MonthTotals
