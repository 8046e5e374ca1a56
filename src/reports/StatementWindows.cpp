#include "reports/StatementWindows.h"

#include "reports/ConditionPanel.h"
#include "reports/ReportOutput.h"
#include "widgets/MessageBox.h"

#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>

namespace {

using PeriodStatement::Period;

Statement::Descriptor monthly()
{
    return {"TfrmSZ_M", "收支月报表", Period::Month, "月份", "-收支月报表", "收支月统计表"};
}

Statement::Descriptor yearly()
{
    return {"TfrmSZ_Y", "收支年报表", Period::Year, "年份", "-收支年报表", "收支年统计表"};
}

ShownTable statementTable(const QString &periodTitle)
{
    using K = ShownTable::Kind;
    using C = ShownTable::Column;
    const auto sum = ShownTable::Total::Sum;
    return {{C{periodTitle, K::Text, 8}, C{"收入金额", K::Money, 10, sum},
             C{"收入笔数", K::Count, 10, sum}, C{"支出金额", K::Money, 10, sum},
             C{"支出笔数", K::Count, 10, sum}, C{"结余金额", K::Money, 10, sum},
             C{"支出占收入", K::Ratio, 11}},
            {}};
}

List::Descriptor listOf(const Statement::Descriptor &d, const ShownTable &table)
{
    return {.className = d.className,
            .caption = d.caption,
            .columns = table.listColumns(),
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 110,
            .exitName = "BitBtn3"};
}

QVariantList values(const PeriodStatement::Row &r)
{
    return {r.label,
            r.income.toVariant(),
            r.incomeCount,
            r.expense.toVariant(),
            r.expenseCount,
            r.balance().toVariant(),
            qlonglong(r.shareHundredths() * (Money::Scale / 100))};
}

} // namespace

StatementWindow::StatementWindow(Statement::Descriptor descriptor, QWidget *parent)
    : ListWindow(listOf(descriptor, statementTable(descriptor.periodTitle)), parent),
      m_d(std::move(descriptor)), m_shown(statementTable(m_d.periodTitle))
{
    Conditions::Choices choices;
    choices.dateBox = QStringLiteral("统计日期");
    choices.dateAlwaysApplies = true;
    int startDay = HouseholdMonth::FirstDay;
    Msg::guarded(this, [&] { startDay = HouseholdMonth::startDay(book()); });
    choices.from = PeriodStatement::defaultFrom(m_d.period, QDate::currentDate(), startDay);
    m_conditions = new ConditionPanel(choices, this);
    m_progress = new QProgressBar(m_conditions);
    m_progress->setObjectName("ProgressBar1");
    m_progress->setValue(0);
    m_conditions->layout()->addWidget(m_progress);
    addAboveGrid(m_conditions);

    const LabelBar bar =
        makeLabelBar(this, {"Label1", "Label2", "Label3", "Label5", "Label6", "Label7"});
    m_labels = bar.labels;
    addBelowGrid(bar.bar);

    addButton("BitBtn1", "统计", [this] { BitBtn1Click(); })->setDefault(true);
    m_excel = addButton("BitBtn2", "Excel", [this] { BitBtn2Click(); });
    m_print = addButton("BitBtn4", "打印", [this] { BitBtn4Click(); });
    m_excel->setEnabled(false);
    m_print->setEnabled(false);
    FormCreate();
}

void StatementWindow::BitBtn1Click()
{
    if (!m_conditions->checkChoices())
        return;
    try {
        showRun(PeriodStatement::compute(book(), m_d.period, m_conditions->from(),
                                         m_conditions->to(), m_conditions->filter()));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void StatementWindow::showRun(const PeriodStatement::Result &result)
{
    m_shown.rows.clear();
    for (const auto &row : result.rows)
        m_shown.rows.push_back(values(row));
    m_totals = result.totals();
    showRows(m_shown.listRows());
    // Both sides come from one grouped query each: the bar fills at once.
    m_progress->setRange(0, int(result.rows.size()));
    m_progress->setValue(int(result.rows.size()));

    const QStringList texts = {QStringLiteral("数量：%1").arg(result.rows.size()),
                               QStringLiteral("收入合计：") + m_totals.income.toGrouped(),
                               QStringLiteral("收入笔数：%1").arg(m_totals.incomeCount),
                               QStringLiteral("支出合计：") + m_totals.expense.toGrouped(),
                               QStringLiteral("支出笔数：%1").arg(m_totals.expenseCount),
                               QStringLiteral("结余合计：") + m_totals.balance().toGrouped()};
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        m_labels[i]->setText(texts[int(i)]);
    m_excel->setEnabled(true);
    m_print->setEnabled(true);
}

void StatementWindow::BitBtn2Click()
{
    ReportOutput::exportWorkbook(this, m_d.caption, book() + m_d.exportSuffix, m_shown);
}

void StatementWindow::BitBtn4Click()
{
    ReportOutput::print(this, m_d.reportTitle, m_shown);
}

TfrmSZ_M::TfrmSZ_M(QWidget *parent) : StatementWindow(monthly(), parent)
{
}

TfrmSZ_Y::TfrmSZ_Y(QWidget *parent) : StatementWindow(yearly(), parent)
{
}
