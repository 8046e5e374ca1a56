#include "reference/BalanceCorrection.h"

#include "core/ledger/Figures.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

std::optional<QString> BalanceCorrection::ask(QWidget *parent, const QString &account, Money from,
                                              Money to)
{
    const Money difference = to - from;
    const bool more = difference > Money();
    const QString side = more ? QStringLiteral("收入") : QStringLiteral("支出");
    const QString said = QStringLiteral("帐户“%1”的余额从 %2 改为 %3，%4 %5。")
                             .arg(account, Figures::money(from), Figures::money(to),
                                  more ? QStringLiteral("多出") : QStringLiteral("少了"),
                                  Figures::money(more ? difference : -difference));
    const QMessageBox::StandardButton how = Msg::show(
        parent, QMessageBox::Question, QStringLiteral("修改余额"),
        said + QStringLiteral("\n\n这笔差额是“%1”吗？（改正期初余额，不计入收支）\n"
                              "选“否”：记一笔%2（如利息、手续费），计入收支，下一步选择类别。")
                   .arg(Ledger::openingAdjustmentName(), side),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (how == QMessageBox::Yes)
        return QString();
    if (how != QMessageBox::No)
        return std::nullopt;
    CorrectionCategoryDialog choose(said + QStringLiteral("\n记为哪一类%1：").arg(side), more,
                                    parent);
    if (choose.exec() != QDialog::Accepted || choose.category().isEmpty())
        return std::nullopt;
    return choose.category();
}

CorrectionCategoryDialog::CorrectionCategoryDialog(const QString &question, bool income,
                                                   QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmBalanceCorrection"));
    setWindowTitle(QStringLiteral("修改余额"));
    auto *said = new QLabel(question, this);
    said->setObjectName(QStringLiteral("LabDifference"));
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("DBLookupComboBox1"));
    Msg::guarded(this, [this, income] {
        fillLookup(m_category,
                   income ? &Workspace::incomeCategories : &Workspace::expenseCategories);
    });
    makeSearchable(m_category);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok =
        buttons->addButton(QStringLiteral("确定（&O）"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("取消（&C）"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(said);
    layout->addWidget(m_category);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

QString CorrectionCategoryDialog::category() const
{
    return m_category->currentText();
}
