#include "app/SummaryPanel.h"

#include "data/Figures.h"
#include "data/HouseholdMonth.h"
#include "data/MonthTotals.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

Money readSum(const QString &statement, const QString &book)
{
    return Money::fromVariant(Sql(statement, {book}).scalar());
}

QGroupBox *group(const QString &heading, QGridLayout *&grid)
{
    auto *box = new QGroupBox(heading);
    grid = new QGridLayout(box);
    grid->setHorizontalSpacing(12);
    grid->setColumnMinimumWidth(1, 130);
    return box;
}

} // namespace

std::int64_t SummaryPanel::Figures::percentHundredths() const
{
    if (income.isZero())
        return 0;
    // expense * 100 / income, in hundredths of a percent, rounded half away from zero.
    const __int128 scaled = static_cast<__int128>(expense.units()) * 10000 * 2;
    __int128 q = scaled / income.units();
    q = q >= 0 ? (q + 1) / 2 : (q - 1) / 2;
    return static_cast<std::int64_t>(q);
}

SummaryPanel::SummaryPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SummaryPanel"));
    // The figures in one column; this month's budget, when there is one, beside them.
    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(24, 24, 24, 24);
    columns->setSpacing(24);
    auto *layout = new QVBoxLayout;
    layout->setSpacing(16);
    columns->addLayout(layout);

    QGridLayout *grid = nullptr;
    layout->addWidget(group(QStringLiteral("资金"), grid));
    addFigure(grid, QStringLiteral("现金_________________"), "LabCash");
    addFigure(grid, QStringLiteral("存款_________________"), "LabDeposit");
    addFigure(grid, QStringLiteral("投资_________________"), "LabInvest");
    addFigure(grid, QStringLiteral("债权_________________"), "LabCredit");
    addFigure(grid, QStringLiteral("总资金："), "LabTotalFunds");
    addFigure(grid, QStringLiteral("净资金："), "LabNetFunds");

    layout->addWidget(group(QStringLiteral("负债"), grid));
    addFigure(grid, QStringLiteral("债务_________________"), "LabDebt", true);
    addFigure(grid, QStringLiteral("负债总计："), "LabTotalDebt", true);

    layout->addWidget(group(QStringLiteral("收支"), grid));
    addFigure(grid, QStringLiteral("收入_________________"), "LabIncome");
    addFigure(grid, QStringLiteral("支出_________________"), "LabExpense");
    addFigure(grid, QStringLiteral("支出占收入百分之："), "LabPercent");

    m_budget = group(QStringLiteral("本月预算"), grid);
    m_budget->setObjectName(QStringLiteral("GroupBudget"));
    m_budget->hide();
    layout->addStretch();
    auto *side = new QVBoxLayout;
    side->addWidget(m_budget);
    side->addStretch();
    columns->addLayout(side);
}

QLabel *SummaryPanel::addFigure(QGridLayout *grid, const QString &caption, const char *name,
                                bool red)
{
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(caption), row, 0);
    auto *figure = new QLabel(QStringLiteral("0"));
    figure->setObjectName(QLatin1String(name));
    figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = figure->font();
    bold.setBold(true);
    figure->setFont(bold);
    if (red)
        figure->setStyleSheet(QStringLiteral("color: red;"));
    grid->addWidget(figure, row, 1);
    return figure;
}

SummaryPanel::Figures SummaryPanel::read()
{
    Figures f;
    TfrmDM *dm = TfrmDM::instance();
    if (!dm || !dm->isOpen())
        return f;
    const QString book = dm->currentBook();
    f.cash = readSum(
        QStringLiteral("Select AMoney  from SAccount Where (BName=?) AND (AName='现金')"), book);
    f.deposits = readSum(
        QStringLiteral(
            "Select Sum(AMoney) as 存款合计 from SAccount Where (BName=?) AND (AName<>'现金')"),
        book);
    // What is outstanding of debts, credits and investments, and all income and
    // expense: from the kept totals, whatever the size of the book.
    const QHash<QString, Money> totals = MonthTotals::byKind(book);
    f.credits = totals.value(QStringLiteral("Debt"));
    f.debts = totals.value(QStringLiteral("Borrow"));
    f.investments = totals.value(QStringLiteral("TTable"));
    f.income = totals.value(QStringLiteral("InTable"));
    f.expense = totals.value(QStringLiteral("OutTable"));
    return f;
}

void SummaryPanel::show(const Figures &f)
{
    const auto set = [this](const char *name, const QString &text) {
        findChild<QLabel *>(QLatin1String(name))->setText(text);
    };
    set("LabCash", f.cash.toGrouped());
    set("LabDeposit", f.deposits.toGrouped());
    set("LabInvest", f.investments.toGrouped());
    set("LabCredit", f.credits.toGrouped());
    set("LabTotalFunds", f.totalFunds().toGrouped());
    set("LabNetFunds", f.netFunds().toGrouped());
    set("LabDebt", f.debts.toGrouped());
    set("LabTotalDebt", f.debts.toGrouped());
    set("LabIncome", f.income.toGrouped());
    set("LabExpense", f.expense.toGrouped());
    set("LabPercent", formatHundredths(f.percentHundredths()) + QLatin1Char('%'));
}

QString SummaryPanel::figureText(const QString &objectName) const
{
    const auto *label = findChild<QLabel *>(objectName);
    return label ? label->text() : QString();
}

Budget::Status SummaryPanel::readBudget()
{
    TfrmDM *dm = TfrmDM::instance();
    if (!dm || !dm->isOpen() || dm->currentBook().isEmpty() || !Budget::any(dm->currentBook()))
        return {};
    const QString book = dm->currentBook();
    return Budget::status(
        book,
        HouseholdMonth::containing(QDate::currentDate(), HouseholdMonth::startDay(book)).label);
}

void SummaryPanel::showBudget(const Budget::Status &status)
{
    qDeleteAll(m_budget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
    m_budget->setVisible(!status.lines.empty());
    if (status.lines.empty())
        return;
    m_budget->setTitle(QStringLiteral("本月预算（%1）").arg(status.month));
    auto *grid = static_cast<QGridLayout *>(m_budget->layout());
    // Shown at once, so that the panel's size counts them.
    const auto place = [grid](QWidget *widget, int row, int column) {
        grid->addWidget(widget, row, column);
        widget->show();
    };
    std::vector<Budget::Line> lines = status.lines;
    lines.push_back(status.total());
    for (int i = 0; i < int(lines.size()); ++i) {
        const Budget::Line &line = lines[std::size_t(i)];
        place(new QLabel(line.name, m_budget), i, 0);
        auto *bar = new QProgressBar(m_budget);
        bar->setObjectName(QStringLiteral("BarBudget%1").arg(i));
        bar->setRange(0, 1000);
        bar->setValue(int(std::clamp<std::int64_t>(line.used() / (Money::Scale / 1000), 0, 1000)));
        bar->setFormat(::Figures::percent(line.used()));
        bar->setFixedWidth(130);
        if (line.left() < Money())
            bar->setStyleSheet(QStringLiteral("QProgressBar { text-align: center; } "
                                              "QProgressBar::chunk { background: %1; }")
                                   .arg(::Figures::negativeColor().name()));
        place(bar, i, 1);
        auto *figures = new QLabel(::Figures::richText(QStringLiteral("已用 %1 / %2　剩余 %3")
                                                           .arg(::Figures::money(line.spent),
                                                                ::Figures::money(line.available()),
                                                                ::Figures::money(line.left())),
                                                       line.left() < Money()),
                                   m_budget);
        figures->setObjectName(QStringLiteral("LabBudget%1").arg(i));
        place(figures, i, 2);
    }
}
