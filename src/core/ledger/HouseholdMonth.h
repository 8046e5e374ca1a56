#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <utility>

// The household's month: the month of a book may start on another day than the
// 1st ("每月从 15 日开始", when pay day is the 15th). A household month is named
// after the calendar month it starts in: with the 15th, "2026-12" runs from
// 2026-12-15 through 2027-01-14. Budgets, the monthly statement, the analyses by
// month, the home page's 本月 and the date presets all cut months here.
namespace HouseholdMonth {

constexpr int FirstDay = 1;
constexpr int LastStartDay = 28; // every month has that day

// The book's start day (1 when never set). Throws DbError.
int startDay(const QString &book);
// Stores it for the book in one transaction; refused outside 1..28. Throws DbError.
void setStartDay(const QString &book, int day);
QString startDayRefusal();

struct Period
{
    QDate first;
    QDate last;
    QString label; // "yyyy-MM"
};

// The household month that holds the day.
Period containing(const QDate &day, int startDay);
// The household month named "yyyy-MM"; an invalid period for another text.
Period named(const QString &label, int startDay);
// The household month `months` after (or before) the one named.
QString shifted(const QString &label, int months);

// The date presets of the condition panels, in their order.
enum class Preset
{
    ThisMonth,
    LastMonth,
    ThisYear,
    LastYear,
    Last12Months,
};
QStringList presetNames(); // 本月, 上月, 今年, 去年, 近12个月
// The first and last day of the preset around `today`. A household year is its
// twelve months named in that calendar year.
std::pair<QDate, QDate> preset(Preset which, const QDate &today, int startDay);

// SQL giving the label of the household month of a "yyyy-MM-dd" column.
QString labelExpression(const QString &dateColumn, int startDay);

} // namespace HouseholdMonth
