#pragma once

#include <QValidator>

// What an amount field lets through while typing: anything that may still become
// an amount, in ASCII or full-width characters, with thousands separators and any
// number of decimals. Whether it is an amount is checked on save, with a message,
// so that a fifth decimal is refused aloud rather than swallowed.
class AmountValidator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};
