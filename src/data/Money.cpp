#include "data/Money.h"

#include <QRegularExpression>
#include <cstdlib>

namespace {
// Twelve integer digits: any household amount, and sums of many stay exact integers.
constexpr int MaxIntegerDigits = 12;
constexpr int MaxDecimals = 4;

std::int64_t roundedDiv(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t half = divisor / 2;
    return value >= 0 ? (value + half) / divisor : -((-value + half) / divisor);
}
} // namespace

QString Money::normalized(const QString &text)
{
    QString out = text.trimmed();
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) // the full-width forms of ASCII
            c = QChar(u - 0xFF01 + 0x21);
        else if (u == 0x3002) // "。", what the point key gives in Chinese mode
            c = QLatin1Char('.');
    }
    return out;
}

bool Money::isPartialAmount(const QString &text)
{
    static const QRegularExpression partial(QStringLiteral("^[+-]?[\\d,]*(\\.\\d*)?$"));
    return partial.match(normalized(text)).hasMatch();
}

namespace {

// Sign, whole part (plain, or grouped by thousands with commas), decimals.
const QRegularExpression &amountPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^([+-]?)(\\d{1,3}(?:,\\d{3})+|\\d*)(?:\\.(\\d*))?$"));
    return pattern;
}

} // namespace

std::optional<Money> Money::parse(const QString &text)
{
    const auto match = amountPattern().match(normalized(text));
    if (!match.hasMatch())
        return std::nullopt;
    const QString whole = match.captured(2).remove(QLatin1Char(','));
    const QString decimals = match.captured(3);
    if (whole.isEmpty() && decimals.isEmpty())
        return std::nullopt;
    if (whole.size() > MaxIntegerDigits || decimals.size() > MaxDecimals)
        return std::nullopt;

    std::int64_t units = whole.isEmpty() ? 0 : whole.toLongLong() * Scale;
    std::int64_t fraction = decimals.isEmpty() ? 0 : decimals.toLongLong();
    for (auto i = decimals.size(); i < MaxDecimals; ++i)
        fraction *= 10;
    units += fraction;
    if (match.captured(1) == QLatin1String("-"))
        units = -units;
    return Money(units);
}

Money Money::fromVariant(const QVariant &stored)
{
    if (stored.isNull() || !stored.isValid())
        return Money();
    bool ok = false;
    const qlonglong v = stored.toLongLong(&ok);
    if (ok)
        return Money(v);
    // Sums of INTEGER columns come back as integers; anything else is a fault of ours.
    return Money(std::llround(stored.toDouble()));
}

QString Money::toPlain() const
{
    const std::int64_t magnitude = std::llabs(m_units);
    QString text = QString::number(magnitude / Scale);
    if (const std::int64_t fraction = magnitude % Scale; fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, MaxDecimals, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return m_units < 0 ? QLatin1Char('-') + text : text;
}

QString Money::toGrouped() const
{
    return formatHundredths(roundedDiv(m_units, Scale / 100));
}

QString Money::shownDecimals() const
{
    QString digits =
        QStringLiteral("%1").arg(std::llabs(m_units) % Scale, MaxDecimals, 10, QLatin1Char('0'));
    while (digits.size() > 2 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    return digits;
}

QString Money::toShown() const
{
    return toGrouped();
}

QString Money::toEditable() const
{
    const QString text =
        QString::number(std::llabs(m_units) / Scale) + QLatin1Char('.') + shownDecimals();
    return m_units < 0 ? QLatin1Char('-') + text : text;
}

QString Money::invalidMessage(const QString &fieldName)
{
    return fieldName + QStringLiteral("必须是金额（数字，最多四位小数）！请重新录入！");
}

QString Money::refusal(const QString &text, const QString &fieldName)
{
    if (parse(text))
        return {};
    const auto match = amountPattern().match(normalized(text));
    if (match.hasMatch() && match.captured(3).size() > MaxDecimals)
        return fieldName + QStringLiteral("最多只能有四位小数！请重新录入！");
    if (match.hasMatch() && match.captured(2).remove(QLatin1Char(',')).size() > MaxIntegerDigits)
        return fieldName + QStringLiteral("最多只能有 12 位整数！请重新录入！");
    return invalidMessage(fieldName);
}

QString groupedNumber(std::int64_t wholePart, const QString &decimals, bool negative)
{
    QString digits = QString::number(wholePart);
    for (auto i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    QString text = decimals.isEmpty() ? digits : digits + QLatin1Char('.') + decimals;
    return negative ? QLatin1Char('-') + text : text;
}

QString formatHundredths(std::int64_t hundredths)
{
    const std::int64_t magnitude = std::llabs(hundredths);
    return groupedNumber(magnitude / 100,
                         QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0')),
                         hundredths < 0);
}
