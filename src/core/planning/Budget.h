#pragma once

#include "core/ledger/Ledger.h"
#include "data/Money.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// Budgets (预算) of a book: an amount per expense category and household month
// ("yyyy-MM"), and one line for the spending of every category without a budget
// of its own that month (其余支出). A category may roll over: what it left, or
// overspent, in the months since its first budget carries into the next. The
// budget of a month is the sum of its lines; spending is read from the kept
// monthly totals by household month.
namespace Budget {

// The line of the other spending, as the windows show it; stored as an empty name.
QString otherTitle(); // "其余支出"

// One line of a month: its budget against what was spent.
struct Line
{
    QString name; // the category, or otherTitle()
    Money budget;
    Money carried; // rolled over from the months before
    Money spent;
    bool rollover = false;

    Money available() const { return budget + carried; }
    Money left() const { return available() - spent; }
    // Spent over available in amount units (0.75 is 7500); 0 when either is 0.
    std::int64_t used() const;
};

struct Status
{
    QString month;
    std::vector<Line> lines; // by the categories' order, the other spending last
    Line total() const;      // the sums of the lines
};

// Whether the book has any budget. Throws DbError.
bool any(const QString &book);
// The lines of the household month that have a budget or a carry. Throws DbError.
Status status(const QString &book, const QString &month);

// The amounts set for the twelve months of a year, by line (its stored name:
// empty for the other spending) and month label.
using Plan = QHash<QString, QHash<QString, Money>>;
Plan plan(const QString &book, int year);
QStringList months(int year); // "yyyy-01" .. "yyyy-12"

// Sets the line's amount for each month (0 clears it), in one transaction;
// refused below 0. `line` is the stored name. Throws DbError.
void setAmount(const QString &book, const QString &line, const QStringList &months, Money amount);
// Puts the month before's amounts of every line in place of the month's.
void copyPrevious(const QString &book, const QString &month);
bool rollover(const QString &book, const QString &line);
void setRollover(const QString &book, const QString &line, bool on);
QString negativeRefusal();

// What a save's expenses did to the budgets: a note for each line of a month
// they took to 80 % of what it may spend, or past all of it (the latter only
// when both).
// Empty when nothing crossed. Throws DbError.
QStringList warnings(const QString &book, const std::vector<Ledger::Spending> &spending);

} // namespace Budget
