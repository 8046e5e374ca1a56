#include "widgets/AmountValidator.h"

#include "data/Money.h"

#include <QLineEdit>

namespace {

// How many characters the change from `before` to `after` put in: one for a
// keystroke, more for a paste.
qsizetype inserted(const QString &before, const QString &after)
{
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return after.size() - prefix - suffix;
}

} // namespace

AmountValidator::AmountValidator(QLineEdit *edit) : QValidator(edit), m_before(edit->text())
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_before = text; });
}

QValidator::State AmountValidator::validate(QString &input, int &) const
{
    if (!Money::isPartialAmount(input))
        return inserted(m_before, input) > 1 ? Intermediate : Invalid;
    return Money::parse(input) ? Acceptable : Intermediate;
}
