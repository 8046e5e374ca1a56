#include "reports/StatementWindows.h"

#include "core/ledger/Figures.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "core/reports/Report.h"
#include "widgets/ConditionPanel.h"
#include "widgets/MessageBox.h"
#include "widgets/ReportOutput.h"
#include "widgets/TotalsRow.h"

#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>

namespace {

using PeriodStatement::Period;

Statement::Descriptor monthly()
{
    Statement::Descriptor d{"TfrmSZ_M",    "收支月报表",   Period::Month, "月份",
                            "-收支月报表", "收支月统计表", "个月"};
    try {
        d.budgets = Budget::any(Workspace::instance()->currentBook());
    } catch (const DbError &) {
        // Shown without budgets; the statement's own reading says what is wrong.
    }
    return d;
}

Statement::Descriptor yearly()
{
    return {"TfrmSZ_Y", "收支年报表", Period::Year, "年份", "-收支年报表", "收支年统计表", "年"};
}

ShownTable statementTable(const Statement::Descriptor &d)
{
    using K = ShownTable::Kind;
    using C = ShownTable::Column;
    const auto sum = ShownTable::Total::Sum;
    ShownTable table{{C{d.periodTitle, K::Text, 8}, C{"收入金额", K::Money, 10, sum},
                      C{"收入笔数", K::Count, 10, sum}, C{"支出金额", K::Money, 10, sum},
                      C{"支出笔数", K::Count, 10, sum}, C{"结余金额", K::Money, 10, sum},
                      C{"支出占收入", K::Ratio, 11, ShownTable::Total::Share, {3, 1}}},
                     {}};
    if (d.budgets) {
        table.columns.push_back(C{"预算", K::Money, 10, sum});
        table.columns.push_back(C{"预算剩余", K::Money, 10, sum});
        // What the budgets' total left unspent, over that total.
        table.columns.push_back(
            C{"预算已用", K::Ratio, 10, ShownTable::Total::Share, {8, 7, true}});
    }
    return table;
}

List::Descriptor listOf(const Statement::Descriptor &d, const ShownTable &table)
{
    return {.className = d.className,
            .caption = d.caption,
            .columns = table.listColumns(),
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 110,
            .exitName = "BitBtn3",
            .countUnit = d.countUnit};
}

QVariantList values(const PeriodStatement::Row &r)
{
    return {r.label,        r.income.toVariant(),    r.incomeCount,       r.expense.toVariant(),
            r.expenseCount, r.balance().toVariant(), qlonglong(r.share())};
}

} // namespace

StatementWindow::StatementWindow(Statement::Descriptor descriptor, QWidget *parent)
    : ListWindow(listOf(descriptor, statementTable(descriptor)), parent),
      m_d(std::move(descriptor)), m_shown(statementTable(m_d))
{
    Conditions::Choices choices;
    choices.dateBox = QStringLiteral("统计日期");
    choices.dateAlwaysApplies = true;
    int startDay = HouseholdMonth::FirstDay;
    Msg::guarded(this, [&] { startDay = HouseholdMonth::startDay(book()); });
    choices.from = PeriodStatement::defaultFrom(m_d.period, QDate::currentDate(), startDay);
    m_conditions = new ConditionPanel(choices, this);
    // Shown while a run reads the periods only.
    m_progress = new QProgressBar(m_conditions);
    m_progress->setObjectName("ProgressBar1");
    m_progress->setValue(0);
    m_progress->hide();
    m_conditions->layout()->addWidget(m_progress);
    addAboveGrid(m_conditions);

    addButton("BitBtn1", "统计（&T）", [this] { compute(); })->setDefault(true);
    m_excel = addButton("BitBtn2", "Excel（&E）", [this] { exportWorkbook(); });
    m_print = addButton("BitBtn4", "打印（&P）", [this] { printReport(); });
    m_excel->setEnabled(false);
    m_print->setEnabled(false);
    load();
}

void StatementWindow::compute()
{
    if (!m_conditions->checkChoices())
        return;
    m_progress->setRange(0, 0);
    m_progress->show();
    try {
        showRun(PeriodStatement::compute(book(), m_d.period, m_conditions->from(),
                                         m_conditions->to(), m_conditions->filter()));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    m_progress->hide();
}

void StatementWindow::showRun(const PeriodStatement::Result &result)
{
    m_shown.rows.clear();
    Budget::Line budgets;
    for (const auto &row : result.rows) {
        m_shown.rows.push_back(values(row));
        // The month's budget (what its lines may spend), what is left of it and
        // the share used.
        if (m_d.budgets) {
            const Budget::Line month = Budget::status(book(), row.label).total();
            m_shown.rows.back() << month.available().toVariant() << month.left().toVariant()
                                << qlonglong(month.used());
            budgets.budget += month.available();
            budgets.spent += month.spent;
        }
    }
    m_subtitle = Report::subtitle(book(), m_conditions->inWords());
    showRows(m_shown.listRows());
    // The totals row sums the periods; the share is that of the sums.
    const PeriodStatement::Totals sums = result.totals();
    totals()->setFigure(QStringLiteral("支出占收入"),
                        qlonglong(Figures::ratio(sums.expense, sums.income)));
    if (m_d.budgets)
        totals()->setFigure(QStringLiteral("预算已用"), qlonglong(budgets.used()));
    m_excel->setEnabled(true);
    m_print->setEnabled(true);
}

void StatementWindow::exportWorkbook()
{
    ReportOutput::exportWorkbook(this, m_d.caption, book() + m_d.exportSuffix, m_shown);
}

void StatementWindow::printReport()
{
    ReportOutput::print(this, m_d.reportTitle, m_subtitle, m_shown);
}

MonthlyStatementWindow::MonthlyStatementWindow(QWidget *parent) : StatementWindow(monthly(), parent)
{
}

YearlyStatementWindow::YearlyStatementWindow(QWidget *parent) : StatementWindow(yearly(), parent)
{
}
