#pragma once

#include "core/reports/EntryConditions.h"
#include "data/ListQuery.h"
#include "data/Money.h"

#include <QString>

// The statistics tables: per name (category, creditor, debtor) the number of
// entries and their summed amount over a period, largest sum first.
namespace Statistics {

struct Side
{
    EntryColumns columns;
    const char *nameAlias;   // "收入名称"
    const char *amountAlias; // "金额", "未还金额"
};

inline constexpr Side Income{EntryTables::Income, "收入名称", "金额"};
inline constexpr Side Expense{EntryTables::Expense, "支出名称", "金额"};
// Debts and credits sum what is still outstanding, not what was first lent.
inline constexpr Side Debts{EntryTables::Debts, "债权人", "未还金额"};
inline constexpr Side Credits{EntryTables::Credits, "债务人", "未收金额"};

// The columns of a side's list: its name, 笔数 and the amount.
std::vector<List::Column> columns(const Side &side);

// "select <name> as <alias>,Count(ID) as 笔数,Sum(<amount>) as <alias> from <table>
//  Where BName=? <limits> group by <name>", largest sum first, equal sums in name
// order. The filter's category is not used.
List::Query statement(const Side &side, const QString &book, const EntryFilter &filter);

} // namespace Statistics

// What each account of the book holds, and the net assets.
namespace Balances {

struct Summary
{
    Money accounts; // sum of the balances, the liabilities' left out
    Money debts;    // outstanding debts owed
    Money credits;  // outstanding credits lent
    Money owed;     // what the credit cards and 花呗 owe
    Money net() const { return accounts + credits - debts - owed; }
    // "银行存款及现金[A] 债务[B] 债权[C] 净资产[N]", the figures as amounts; with
    // "信用卡/花呗欠款[L]" after the accounts when cards owe.
    QString line() const;
    // The same as rich text, negative figures in red.
    QString richLine() const;
};

// Throws DbError.
Summary read(const QString &book);

} // namespace Balances
