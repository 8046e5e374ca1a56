#include "core/ledger/Conditions.h"

#include "data/Dates.h"

namespace Conditions {

Condition dateRange(const QString &column, const QDate &from, const QDate &to)
{
    return Condition(QStringLiteral(" and %1 Between ? and ?").arg(column),
                     {isoDate(from), isoDate(to)});
}

Condition equals(const QString &column, const QString &name)
{
    return Condition(QStringLiteral(" and %1=?").arg(column), {name});
}

Condition contains(const QString &column, const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return Condition(QStringLiteral(" and %1 like ? escape '\\'").arg(column),
                     {QLatin1Char('%') + escaped + QLatin1Char('%')});
}

Condition of(Kind kind, const QString &column, const Input &input)
{
    switch (kind) {
    case Kind::DateRange:
        return dateRange(column, input.from, input.to);
    case Kind::List:
        return equals(column, input.text);
    case Kind::Text:
        return contains(column, input.text);
    }
    return {};
}

QString describe(Kind kind, const QString &caption, const Input &input)
{
    switch (kind) {
    case Kind::DateRange:
        return QStringLiteral("%1 %2 至 %3").arg(caption, isoDate(input.from), isoDate(input.to));
    case Kind::List:
        return caption + QStringLiteral("：") + input.text;
    case Kind::Text:
        return QStringLiteral("%1含“%2”").arg(caption, input.text);
    }
    return {};
}

QString dateOrderMessage()
{
    return QStringLiteral("日期选择错误，请重新选择！");
}

} // namespace Conditions
