#pragma once

#include "data/Sql.h"

#include <QDate>
#include <QString>

// The filter conditions that the quick filters, the query windows and the report
// windows append to their statements, built in one place so that the same choice
// gives the same SQL everywhere. Each piece begins with " and ", names its column
// bare (so that the (BName, date) indexes serve) and binds its value.
namespace Conditions {

enum class Kind
{
    DateRange, // two dates: the column between both days, inclusive
    List,      // a drop-down list: the column equals the chosen name
    Text       // a text box: the column contains the typed text
};

// What the user set for one condition: the two days of a range, or the chosen
// name or typed text.
struct Input
{
    QDate from{};
    QDate to{};
    QString text{};
};

// " and <column> Between ? and ?": the days from `from` through `to`.
Condition dateRange(const QString &column, const QDate &from, const QDate &to);
// " and <column>=?"
Condition equals(const QString &column, const QString &name);
// " and <column> like ? escape '\'": the text anywhere in the column, its own
// %, _ and \ taken as themselves.
Condition contains(const QString &column, const QString &text);
// The piece of a condition of the given kind.
Condition of(Kind kind, const QString &column, const Input &input);

// The condition in words, as a filter's status line and a report's subtitle say
// it: "收入日期 2024-01-01 至 2024-02-01", "帐户名称：现金", "备注含“房租”".
QString describe(Kind kind, const QString &caption, const Input &input);

// A range whose first day is after its last is refused with this message, and
// nothing runs.
QString dateOrderMessage();

} // namespace Conditions
