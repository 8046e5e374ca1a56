#include "reports/AnalysisWindows.h"

#include "core/ledger/Workspace.h"
#include "widgets/ChartTabs.h"
#include "widgets/ConditionPanel.h"
#include "widgets/MessageBox.h"
#include "widgets/ReportOutput.h"

#include <QPushButton>

namespace {

QStringList itemTexts(const std::vector<Analysis::Item> &items)
{
    QStringList texts;
    for (const auto &item : items)
        texts << item.text;
    return texts;
}

// The sums as the grid, the export and the charts take them.
ShownTable sumsTable()
{
    using C = ShownTable::Column;
    return {{C{"统计的项", ShownTable::Kind::Text, 16, ShownTable::Total::RowCount},
             C{"金额", ShownTable::Kind::Money, 14, ShownTable::Total::Sum}},
            {}};
}

List::Descriptor listOf(const AnalysisWindowSide::Descriptor &d)
{
    return {.className = d.className,
            .caption = d.kind + QStringLiteral("分析"),
            .columns = sumsTable().listColumns(),
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 120,
            .exitName = "BitBtn3",
            .countUnit = QStringLiteral("项")};
}

} // namespace

AnalysisWindow::AnalysisWindow(AnalysisWindowSide::Descriptor descriptor, QWidget *parent)
    : ListWindow(listOf(descriptor), parent), m_d(std::move(descriptor)),
      m_items(Analysis::items(m_d.kind, m_d.columns)), m_shown(sumsTable())
{
    Conditions::Choices choices;
    choices.dateBox = m_d.kind + QStringLiteral("日期");
    choices.dateTicked = false;
    choices.from = QDate::currentDate().addMonths(-1);
    choices.categoryBox = m_d.kind + QStringLiteral("类别");
    choices.categories = m_d.categories;
    choices.items = itemTexts(m_items);
    choices.defaultItem = Analysis::DefaultItem;
    m_conditions = new ConditionPanel(choices, this);
    addAboveGrid(m_conditions);

    m_charts = new ChartTabs(windowTitle(), this);
    addBesideGrid(m_charts, Qt::Horizontal, {300, 600});

    addButton("BitBtn1", "统计（&T）", [this] { compute(); })->setDefault(true);
    m_excel = addButton("BitBtn2", "Excel（&E）", [this] { exportWorkbook(); });
    m_excel->setEnabled(false);
    load();
}

void AnalysisWindow::compute()
{
    if (!m_conditions->checkChoices())
        return;
    try {
        showRun(Analysis::run(m_d.columns, m_items.at(m_conditions->item()), book(),
                              m_conditions->filter()));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void AnalysisWindow::showRun(const Analysis::Result &result)
{
    m_shown.rows.clear();
    std::vector<ChartTabs::Point> points;
    for (const auto &row : result.rows) {
        m_shown.rows.push_back({row.item, row.amount.toVariant()});
        points.push_back({row.item, row.amount});
    }
    // The totals row counts the items and sums them.
    showRows(m_shown.listRows());
    m_excel->setEnabled(true);
    m_charts->setPoints(points);
}

void AnalysisWindow::exportWorkbook()
{
    const QString report = m_d.kind + QStringLiteral("分析表");
    ReportOutput::exportWorkbook(this, report, book() + QLatin1Char('-') + report, m_shown,
                                 ReportOutput::Form::Plain);
}

IncomeAnalysisWindow::IncomeAnalysisWindow(QWidget *parent)
    : AnalysisWindow({"TfrmE_I", "收入", EntryTables::Income, &Workspace::incomeCategories}, parent)
{
}

ExpenseAnalysisWindow::ExpenseAnalysisWindow(QWidget *parent)
    : AnalysisWindow({"TfrmE_O", "支出", EntryTables::Expense, &Workspace::expenseCategories},
                     parent)
{
}
