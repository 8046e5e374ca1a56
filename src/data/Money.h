#pragma once

#include <QString>
#include <QVariant>
#include <compare>
#include <cstdint>
#include <optional>

// An exact amount of money, kept as a whole number of ten-thousandths (the
// minor unit of a currency type). Stored in INTEGER columns as that number.
class Money
{
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { return Money(units); }

    // Parses what a user typed ("12.5", "-3", "+0.25", " 100 ", "1,234.5", and the
    // same in full-width characters from a Chinese input method). At most four
    // decimals and twelve integer digits; anything else gives nothing.
    static std::optional<Money> parse(const QString &text);
    // The text with full-width digits, signs, points and commas made ASCII and
    // the surrounding blanks removed; "。" counts as a decimal point.
    static QString normalized(const QString &text);
    // Whether the text may still become an amount as more is typed (what an
    // amount field lets through keystroke by keystroke).
    static bool isPartialAmount(const QString &text);
    // Reads a stored column value (INTEGER units); NULL or empty reads as 0.
    static Money fromVariant(const QVariant &stored);

    constexpr std::int64_t units() const { return m_units; }
    QVariant toVariant() const { return QVariant(qlonglong(m_units)); }
    bool isZero() const { return m_units == 0; }

    // "1500", "12.5", "-0.25": the value as stored, without trailing zeros.
    QString toPlain() const;
    // "1,234.50": thousands grouped, exactly two decimals, rounded half away from 0.
    QString toGrouped() const;
    // How grids, labels and reports show an amount: "1,234.50", "-80.00", "0.01"
    // for 0.0125: as toGrouped. The amount keeps its four decimals; edit boxes show
    // them (toEditable).
    QString toShown() const;
    // The same value as an edit box shows it, without separators: "1234.50".
    QString toEditable() const;

    constexpr Money operator+(Money o) const { return Money(m_units + o.m_units); }
    constexpr Money operator-(Money o) const { return Money(m_units - o.m_units); }
    constexpr Money operator-() const { return Money(-m_units); }
    Money &operator+=(Money o)
    {
        m_units += o.m_units;
        return *this;
    }
    Money &operator-=(Money o)
    {
        m_units -= o.m_units;
        return *this;
    }
    constexpr auto operator<=>(const Money &) const = default;

    // The text shown when an amount box holds something that is not an amount.
    static QString invalidMessage(const QString &fieldName);
    // Why the text is refused as an amount (more than four decimals or twelve
    // integer digits get their own message); empty when it is an amount.
    static QString refusal(const QString &text, const QString &fieldName);

private:
    // The decimals of the amount: at least two, at most four, no trailing zeros beyond two.
    QString shownDecimals() const;

    constexpr explicit Money(std::int64_t units) : m_units(units) {}
    std::int64_t m_units = 0;
};

// Groups an integer part with commas and appends decimals ("1234", "50" -> "1,234.50").
QString groupedNumber(std::int64_t wholePart, const QString &decimals, bool negative);
// Formats hundredths (for percentages and two-decimal figures): 4520 -> "45.20".
QString formatHundredths(std::int64_t hundredths);
