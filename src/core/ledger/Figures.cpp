#include "core/ledger/Figures.h"

#include <cstdlib>

namespace Figures {

QString money(Money amount)
{
    return amount.toShown();
}

QString wholeMoney(Money amount)
{
    const std::int64_t magnitude = (std::llabs(amount.units()) + Money::Scale / 2) / Money::Scale;
    return groupedNumber(magnitude, QString(), amount.units() < 0 && magnitude != 0);
}

QString count(qint64 number)
{
    return groupedNumber(std::llabs(number), QString(), number < 0);
}

QString percent(std::int64_t ratioUnits)
{
    // Amount units are hundredths of a percent: tenths of a percent, rounded.
    const std::int64_t magnitude = std::llabs(ratioUnits);
    const std::int64_t tenths = (magnitude + 5) / 10;
    return groupedNumber(tenths / 10, QString::number(tenths % 10), ratioUnits < 0 && tenths != 0) +
           QLatin1Char('%');
}

std::int64_t ratio(Money part, Money whole)
{
    if (part.isZero() || whole.isZero())
        return 0;
    // 128 bits: an amount times the scale may pass 64 bits.
    const __int128 numerator = __int128(part.units()) * Money::Scale;
    const __int128 denominator = whole.units();
    __int128 quotient = numerator / denominator;
    const __int128 remainder = numerator % denominator;
    const __int128 twice = remainder < 0 ? -2 * remainder : 2 * remainder;
    const bool negative = (numerator < 0) != (denominator < 0);
    if (twice >= (denominator < 0 ? -denominator : denominator))
        quotient += negative ? -1 : 1;
    return std::int64_t(quotient);
}

QString text(List::Kind kind, const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (kind) {
    case List::Kind::Money:
        return money(Money::fromVariant(value));
    case List::Kind::Ratio:
        return percent(value.toLongLong());
    case List::Kind::Count: {
        bool whole = false;
        const qlonglong n = value.toLongLong(&whole);
        return whole ? count(n) : value.toString();
    }
    case List::Kind::Text:
    case List::Kind::Hidden:
        break;
    }
    return value.toString();
}

bool isNegative(List::Kind kind, const QVariant &value)
{
    return (kind == List::Kind::Money || kind == List::Kind::Ratio) && !value.isNull() &&
           value.toLongLong() < 0;
}

QColor negativeColor()
{
    return QColor(0xC6, 0x28, 0x28);
}

QString richText(const QString &text, bool negative)
{
    const QString escaped = text.toHtmlEscaped();
    return negative ? QStringLiteral("<span style=\"color:%1\">%2</span>")
                          .arg(negativeColor().name(), escaped)
                    : escaped;
}

} // namespace Figures
