#include "widgets/AmountValidator.h"

#include "data/Money.h"

QValidator::State AmountValidator::validate(QString &input, int &) const
{
    if (!Money::isPartialAmount(input))
        return Invalid;
    return Money::parse(input) ? Acceptable : Intermediate;
}
