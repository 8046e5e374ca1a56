#pragma once

#include "core/ledger/HouseholdMonth.h"
#include "core/reports/EntryConditions.h"
#include "data/Money.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The income-expense statement of a book, period by period: whole household
// months or calendar years from the first day's period through the last day's. Each
// side is read from the kept monthly totals; periods without entries are rows
// of zeros. Computed in memory, so each window keeps its own
// last run.
namespace PeriodStatement {

enum class Period
{
    Month,
    Year
};

struct Row
{
    QString label; // "yyyy-MM" or "yyyy"
    Money income;
    qint64 incomeCount = 0;
    Money expense;
    qint64 expenseCount = 0;

    Money balance() const { return income - expense; }
    // Expense over income in amount units (0.75 is 7500), rounded half away
    // from zero; 0 when either amount is 0.
    std::int64_t share() const;
};

struct Totals
{
    Money income;
    qint64 incomeCount = 0;
    Money expense;
    qint64 expenseCount = 0;
    Money balance() const { return income - expense; }
};

struct Result
{
    Period period = Period::Month;
    std::vector<Row> rows;
    Totals totals() const;
};

// The labels of the periods from the first day's through the last day's; months
// are household months starting on `startDay`.
QStringList periodLabels(Period period, const QDate &from, const QDate &to,
                         int startDay = HouseholdMonth::FirstDay);
// The default first day: eleven months back on the month's first day (the
// twelve months ending with this one), or 1 January of this year.
QDate defaultFrom(Period period, const QDate &today, int startDay = HouseholdMonth::FirstDay);

// Computes the statement of the book; the account and member limits of the
// filter apply (its days and category are not used). Throws DbError.
Result compute(const QString &book, Period period, const QDate &from, const QDate &to,
               const EntryFilter &filter);

} // namespace PeriodStatement
