#include "reports/StatisticsWindows.h"

#include "core/reports/ShownTable.h"
#include "widgets/ConditionPanel.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

// The left list of a statistics window; its statement comes from the conditions.
List::Descriptor listOf(const StatisticsWindowSides::Descriptor &d)
{
    return {.className = d.className,
            .caption = d.caption,
            .table = QString::fromUtf8(d.left.side.columns.table),
            .columns = Statistics::columns(d.left.side),
            .keyColumn = false,
            .columnWidth = 120,
            .gridTitle = d.left.title,
            .gridPanel = "Panel3",
            .exitName = "BitBtn2",
            .countUnit = QStringLiteral("项")};
}

List::Descriptor balances()
{
    return {
        .className = "TfrmP_Account",
        .caption = "当前帐户金额",
        .table = "SAccount",
        .columns = {{"AName", "帐户名称"},
                    {"AMoney", "帐户余额", List::Kind::Money},
                    {"AKind", "帐户类型"},
                    // What a credit card or 花呗 owes, as a positive amount.
                    {"(case when AKind='信用卡/花呗' then -AMoney end)", "欠款", List::Kind::Money},
                    {"Remark", "备注"}},
        .orderBy = "帐户余额 desc,ID",
        .countUnit = "个帐户"};
}

} // namespace

StatisticsWindow::StatisticsWindow(StatisticsWindowSides::Descriptor descriptor, QWidget *parent)
    : ListWindow(listOf(descriptor), parent), m_d(std::move(descriptor))
{
    Conditions::Choices choices;
    choices.title = QStringLiteral("统计条件");
    choices.dateBox = m_d.dateBox;
    choices.from = QDate::currentDate().addMonths(-1);
    m_conditions = new ConditionPanel(choices, this);
    addAboveGrid(m_conditions);
    m_right = addList("DBGrid2", Qt::Horizontal, {500, 500}, m_d.right.title, true);
    addButton("BitBtn1", "统计（&T）", [this] { compute(); })->setDefault(true);
    // Both lists stay empty until 统计 is clicked.
}

List::Query StatisticsWindow::query() const
{
    return statement(m_d.left.side);
}

List::Query StatisticsWindow::statement(const Statistics::Side &side) const
{
    return Statistics::statement(side, book(), m_conditions->filter());
}

void StatisticsWindow::compute()
{
    if (!m_conditions->checkChoices())
        return;
    reload();
    try {
        m_right.model->setQuery(statement(m_d.right.side));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    List::showColumns(m_right.grid, m_right.model, Statistics::columns(m_d.right.side));
}

IncomeExpenseStatisticsWindow::IncomeExpenseStatisticsWindow(QWidget *parent)
    : StatisticsWindow({"TfrmPage1",
                        "收支统计表",
                        "收支日期",
                        {"收入", Statistics::Income},
                        {"支出", Statistics::Expense}},
                       parent)
{
}

DebtCreditStatisticsWindow::DebtCreditStatisticsWindow(QWidget *parent)
    : StatisticsWindow({"TfrmPage2",
                        "债务债权统计表",
                        "日期",
                        {"债务", Statistics::Debts},
                        {"债权", Statistics::Credits}},
                       parent)
{
}

BalancesWindow::BalancesWindow(QWidget *parent) : ListWindow(balances(), parent)
{
    // Accounts that hold nothing are left out.
    setFilterCondition(Condition(QStringLiteral(" AND AMoney<>0")));
    // The summary line along the bottom edge.
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("Panel2"));
    m_summary = new QLabel(bar);
    m_summary->setObjectName(QStringLiteral("Label1"));
    m_summary->setTextFormat(Qt::RichText);
    (new QHBoxLayout(bar))->addWidget(m_summary, 1);
    addBelowGrid(bar);
    load();
}

void BalancesWindow::load()
{
    ListWindow::load();
    showSummary();
}

void BalancesWindow::followChange()
{
    ListWindow::followChange();
    showSummary();
}

void BalancesWindow::showSummary()
{
    try {
        m_summary->setText(Balances::read(book()).richLine());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}
