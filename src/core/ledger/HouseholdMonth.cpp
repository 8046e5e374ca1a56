#include "core/ledger/HouseholdMonth.h"

#include "core/ledger/Sharing.h"
#include "data/Sql.h"
#include "data/Transaction.h"

namespace HouseholdMonth {

namespace {

const QString StartKey = QStringLiteral("MonthStart");

QDate startOf(int year, int month, int startDay)
{
    return QDate(year, month, startDay);
}

QString labelOf(const QDate &monthStart)
{
    return monthStart.toString(QStringLiteral("yyyy-MM"));
}

} // namespace

int startDay(const QString &book)
{
    const QVariant stored =
        Sql(QStringLiteral("select SValue from BookSetting where BName=? and SKey=?"),
            {book, StartKey})
            .scalar();
    const int day = stored.toInt();
    return day >= FirstDay && day <= LastStartDay ? day : FirstDay;
}

QString startDayRefusal()
{
    return QStringLiteral("每月开始的日子只能是 1 到 28 日！");
}

void setStartDay(const QString &book, int day)
{
    if (day < FirstDay || day > LastStartDay)
        throw DbError(startDayRefusal());
    Transaction transaction;
    Sql(QStringLiteral("insert into BookSetting (BName,SKey,SValue) values (?,?,?) "
                       "on conflict(BName,SKey) do update set SValue=excluded.SValue"),
        {book, StartKey, QString::number(day)})
        .exec();
    Sharing::settingsChanged(book, QStringLiteral("BookSetting"));
    transaction.commit();
}

Period containing(const QDate &day, int startDay)
{
    QDate start = startOf(day.year(), day.month(), startDay);
    if (day < start)
        start = start.addMonths(-1);
    return {start, start.addMonths(1).addDays(-1), labelOf(start)};
}

Period named(const QString &label, int startDay)
{
    const QDate month =
        QDate::fromString(label + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
    if (!month.isValid())
        return {};
    const QDate start = startOf(month.year(), month.month(), startDay);
    return {start, start.addMonths(1).addDays(-1), label};
}

QString shifted(const QString &label, int months)
{
    const QDate month =
        QDate::fromString(label + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
    return month.isValid() ? labelOf(month.addMonths(months)) : QString();
}

QStringList presetNames()
{
    return {QStringLiteral("本月"), QStringLiteral("上月"), QStringLiteral("今年"),
            QStringLiteral("去年"), QStringLiteral("近12个月")};
}

std::pair<QDate, QDate> preset(Preset which, const QDate &today, int startDay)
{
    const Period now = containing(today, startDay);
    const int year = now.first.year();
    const auto months = [startDay](const QString &first, const QString &last) {
        return std::pair(named(first, startDay).first, named(last, startDay).last);
    };
    switch (which) {
    case Preset::ThisMonth:
        return {now.first, now.last};
    case Preset::LastMonth:
        return months(shifted(now.label, -1), shifted(now.label, -1));
    case Preset::ThisYear:
        return months(QStringLiteral("%1-01").arg(year), QStringLiteral("%1-12").arg(year));
    case Preset::LastYear:
        return months(QStringLiteral("%1-01").arg(year - 1), QStringLiteral("%1-12").arg(year - 1));
    case Preset::Last12Months:
        return months(shifted(now.label, -11), now.label);
    }
    return {now.first, now.last};
}

QString labelExpression(const QString &dateColumn, int startDay)
{
    if (startDay == FirstDay)
        return QStringLiteral("substr(%1,1,7)").arg(dateColumn);
    // A day before the start belongs to the month that started in the month before.
    return QStringLiteral("(case when substr(%1,9,2)>='%2' then substr(%1,1,7) "
                          "else substr(date(substr(%1,1,7)||'-01','-1 month'),1,7) end)")
        .arg(dateColumn)
        .arg(startDay, 2, 10, QLatin1Char('0'));
}

} // namespace HouseholdMonth
