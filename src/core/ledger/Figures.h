#pragma once

#include "data/ListQuery.h"
#include "data/Money.h"

#include <QColor>
#include <QString>
#include <QVariant>
#include <cstdint>

// How every figure of the program is shown: grids, totals rows, statements,
// printed reports, charts and labels take their texts and their colour from
// here, so that an amount, a count or a share reads the same everywhere.
namespace Figures {

// An amount: thousands grouped, two decimals, rounded half away from zero
// ("1,234.50", "-80.00", "0.01" for 0.0125).
QString money(Money amount);
// An amount rounded to whole yuan, half away from zero, for where room is short
// (a chart's bars): "1,235".
QString wholeMoney(Money amount);
// A whole number, thousands grouped: "12,345".
QString count(qint64 number);
// A ratio kept in amount units (1 is 10000) as a percentage with one decimal,
// rounded half away from zero: 1934 -> "19.3%", 12000 -> "120.0%".
QString percent(std::int64_t ratioUnits);
// part / whole in amount units, rounded half away from zero; 0 when either is 0.
std::int64_t ratio(Money part, Money whole);

// A ratio shown under a column of shares: of two summed columns' totals (their
// places), part over whole, or with `ofRest` what the part leaves of the whole over
// the whole (a budget used: the budget less what is left, over the budget).
struct Share
{
    int part = -1;
    int whole = -1;
    bool ofRest = false;
    bool isSet() const { return part >= 0 && whole >= 0; }
    std::int64_t of(Money partTotal, Money wholeTotal) const
    {
        return ratio(ofRest ? wholeTotal - partTotal : partTotal, wholeTotal);
    }
};

// A stored value of a list column as shown: an amount, a count or a ratio by
// the rules above, anything else as its text; a null value as nothing.
QString text(List::Kind kind, const QVariant &value);
// Whether the value is drawn in the negative colour: an amount or ratio below 0.
bool isNegative(List::Kind kind, const QVariant &value);
// The red of negative figures, readable on white and on a grid's alternate rows.
QColor negativeColor();
// The text as rich text, in the negative colour when `negative`.
QString richText(const QString &text, bool negative);

} // namespace Figures
