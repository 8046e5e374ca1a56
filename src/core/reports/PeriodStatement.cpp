#include "core/reports/PeriodStatement.h"

#include "core/ledger/Figures.h"
#include "core/ledger/HouseholdMonth.h"
#include "core/reports/KeptSums.h"
#include "data/Dates.h"

#include <QHash>
#include <QSqlQuery>

namespace PeriodStatement {
namespace {

// A month is the household's: it starts on the book's start day.
QDate periodStart(Period period, const QDate &day, int startDay)
{
    return period == Period::Month ? HouseholdMonth::containing(day, startDay).first
                                   : QDate(day.year(), 1, 1);
}

QDate nextPeriod(Period period, const QDate &start)
{
    return period == Period::Month ? start.addMonths(1) : start.addYears(1);
}

QString label(Period period, const QDate &start)
{
    return isoDate(start).left(period == Period::Month ? 7 : 4);
}

struct SideSums
{
    Money amount;
    qint64 count = 0;
};

QHash<QString, SideSums> readSide(const EntryColumns &side, const QString &book, Period period,
                                  const QDate &from, const QDate &to, const EntryFilter &filter,
                                  int startDay)
{
    // Whole periods: read from the kept monthly totals.
    EntryFilter limits;
    limits.days = {{periodStart(period, from, startDay),
                    nextPeriod(period, periodStart(period, to, startDay)).addDays(-1)}};
    limits.account = filter.account;
    limits.member = filter.member;
    const KeptSums::By by = period == Period::Month ? KeptSums::By::Month : KeptSums::By::Year;
    QHash<QString, SideSums> sums;
    QSqlQuery query = KeptSums::statement(side, by, book, limits).exec();
    while (query.next()) {
        SideSums &sum = sums[query.value(0).toString()];
        sum.amount += Money::fromVariant(query.value(1));
        sum.count += query.value(2).toLongLong();
    }
    return sums;
}

} // namespace

std::int64_t Row::share() const
{
    return Figures::ratio(expense, income);
}

Totals Result::totals() const
{
    Totals t;
    for (const Row &r : rows) {
        t.income += r.income;
        t.incomeCount += r.incomeCount;
        t.expense += r.expense;
        t.expenseCount += r.expenseCount;
    }
    return t;
}

QStringList periodLabels(Period period, const QDate &from, const QDate &to, int startDay)
{
    QStringList labels;
    for (QDate start = periodStart(period, from, startDay); start <= to;
         start = nextPeriod(period, start))
        labels << label(period, start);
    return labels;
}

QDate defaultFrom(Period period, const QDate &today, int startDay)
{
    return period == Period::Month ? periodStart(period, today, startDay).addMonths(-11)
                                   : periodStart(period, today, startDay);
}

Result compute(const QString &book, Period period, const QDate &from, const QDate &to,
               const EntryFilter &filter)
{
    const int startDay = HouseholdMonth::startDay(book);
    const auto income = readSide(EntryTables::Income, book, period, from, to, filter, startDay);
    const auto expense = readSide(EntryTables::Expense, book, period, from, to, filter, startDay);
    Result result;
    result.period = period;
    for (const QString &l : periodLabels(period, from, to, startDay)) {
        const SideSums in = income.value(l);
        const SideSums out = expense.value(l);
        result.rows.push_back({l, in.amount, in.count, out.amount, out.count});
    }
    return result;
}

} // namespace PeriodStatement
