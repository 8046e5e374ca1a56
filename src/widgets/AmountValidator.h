#pragma once

#include <QValidator>

class QLineEdit;

// What an amount field lets through while typing: anything that may still become
// an amount, in ASCII or full-width characters, with thousands separators and any
// number of decimals. Whether it is an amount is checked on save, with a message,
// so that a fifth decimal is refused aloud rather than swallowed. Text pasted or
// dropped in is always taken, amount or not: refusing it would leave the amount
// that was there, to be saved without a word.
class AmountValidator : public QValidator
{
    Q_OBJECT
public:
    explicit AmountValidator(QLineEdit *edit);
    State validate(QString &input, int &pos) const override;

private:
    QString m_before; // the text before the change being validated
};
