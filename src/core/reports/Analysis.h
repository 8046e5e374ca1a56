#pragma once

#include "core/reports/EntryConditions.h"
#include "core/reports/KeptSums.h"
#include "data/Money.h"

#include <QString>
#include <optional>
#include <vector>

// The income or expense analysis: the amounts of a book's entries summed by an
// item (day, month, year, member, category or account), in item order.
namespace Analysis {

// One choice of the item list and what it groups by: a kept sum's group, or
// the day (read from the rows, as no totals are kept by day).
struct Item
{
    QString text; // "月收入"
    std::optional<KeptSums::By> by{};
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

// The item (统计的项) and the summed amount (金额) of each group, in item order.
Sql resultStatement(const EntryColumns &side, const Item &item, const QString &book,
                    const EntryFilter &filter);
// Runs the result statement; the total is the exact sum of its groups. Throws DbError.
Result run(const EntryColumns &side, const Item &item, const QString &book,
           const EntryFilter &filter);

} // namespace Analysis
