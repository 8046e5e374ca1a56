#pragma once

#include "data/Sql.h"

#include <QDate>
#include <QString>
#include <optional>

// The columns of an entry table that the statements, analyses and statistics
// group and sum: income, expense, debts and credits share this shape.
struct EntryColumns
{
    const char *table;
    const char *date;   // "yyyy-MM-dd" text, indexed with BName
    const char *name;   // category, creditor or debtor
    const char *amount; // INTEGER units
};

namespace EntryTables {
inline constexpr EntryColumns Income{"InTable", "IDate", "IName", "IMoney"};
inline constexpr EntryColumns Expense{"OutTable", "ODate", "OName", "OMoney"};
inline constexpr EntryColumns Debts{"Borrow", "BDate", "BPro", "BMoney"};
inline constexpr EntryColumns Credits{"Debt", "DDate", "DPro", "DMoney"};
} // namespace EntryTables

// The optional limits a report window applies: each one set only while its
// check box is ticked. Names travel bound, so any text (a quote too) is safe.
struct EntryFilter
{
    std::optional<std::pair<QDate, QDate>> days; // both days included
    std::optional<QString> category;
    std::optional<QString> account;
    std::optional<QString> member;
};

// " and <date> Between ? and ? and <name>=? and AName=? and FName=?", the pieces
// of the limits that are set, in that order.
Condition entryCondition(const EntryColumns &columns, const EntryFilter &filter);
