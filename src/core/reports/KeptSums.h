#pragma once

#include "core/reports/EntryConditions.h"
#include "data/Sql.h"

// Sums of a side's rows (income, expense, debts, credits) by month, year, name,
// account or member, read from the kept monthly totals for the whole months a
// date range covers and from the rows only for the days of the months it cuts,
// so that a ten-year range reads hundreds of totals instead of every row.
namespace KeptSums {

enum class By
{
    Month,   // "yyyy-MM"
    Year,    // "yyyy"
    Name,    // category, creditor or debtor
    Account, // "AName"
    Member,  // empty text for rows that name nobody
};

// "select <by> as 项,sum(...) as 金额,sum(...) as 笔数 from (...) group by <by>":
// per group the summed amount (for debts and credits: what is outstanding) and
// the number of rows that passed the filter.
Sql statement(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter);

// The same sums as a source for a list statement: "(...) 合计" with the columns
// 项, 金额 and 笔数, for "select ... from <source> ..." (no group by needed).
Sql source(const EntryColumns &side, By by, const QString &book, const EntryFilter &filter);

} // namespace KeptSums
