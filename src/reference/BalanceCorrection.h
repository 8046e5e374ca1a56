#pragma once

#include "data/Money.h"

#include <QDialog>
#include <optional>

class QComboBox;

// Asked when a balance is typed over an account's in 帐户管理: where the
// difference goes. 期初余额调整 corrects the opening balance and is no income or
// expense; a category (bank interest, fees) books a real income or expense.
namespace BalanceCorrection {

// Asks first whether it corrects the opening balance (the default), then, when
// not, which category it is booked to. Nothing when the user cancels; an empty
// text for 期初余额调整, else the category.
std::optional<QString> ask(QWidget *parent, const QString &account, Money from, Money to);

} // namespace BalanceCorrection

// The category of a difference booked as an income (more money) or an expense.
class CorrectionCategoryDialog : public QDialog
{
    Q_OBJECT
public:
    CorrectionCategoryDialog(const QString &question, bool income, QWidget *parent);
    QString category() const;

private:
    QComboBox *m_category = nullptr;
};
