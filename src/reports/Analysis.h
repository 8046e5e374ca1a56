#pragma once

#include "data/Money.h"
#include "reports/EntryConditions.h"

#include <QString>
#include <optional>
#include <vector>

// The income or expense analysis: the amounts of a book's entries summed by an
// item (day, month, year, member, category or account), in item order.
namespace Analysis {

// One choice of the item list and the expression it groups by.
struct Item
{
    QString text;  // "月收入"
    QString group; // "substr(IDate,1,7)"
};

// The six items of a side, in list order; kind is "收入" or "支出".
std::vector<Item> items(const QString &kind, const EntryColumns &side);
// The item chosen when the window opens: the month.
constexpr int DefaultItem = 1;

struct Row
{
    QString item;
    Money amount;
};

struct Result
{
    std::vector<Row> rows;
    std::optional<Money> total; // nothing when no entry passed the limits
};

// "select <group> as 统计的项,Sum(<amount>) as 金额 from <table> where BName=? <limits>
//  group by <group> order by <group>".
Sql resultStatement(const EntryColumns &side, const Item &item, const QString &book,
                    const EntryFilter &filter);
// Runs the result statement; the total is the exact sum of its groups. Throws DbError.
Result run(const EntryColumns &side, const Item &item, const QString &book,
           const EntryFilter &filter);

} // namespace Analysis
