#include "reports/AnalysisWindows.h"

#include "data/TfrmDM.h"
#include "reports/ConditionPanel.h"
#include "reports/ReportOutput.h"
#include "widgets/ChartTabs.h"
#include "widgets/MessageBox.h"

#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr int ItemColumnWidth = 120;

QStringList itemTexts(const std::vector<Analysis::Item> &items)
{
    QStringList texts;
    for (const auto &item : items)
        texts << item.text;
    return texts;
}
} // namespace

AnalysisWindow::AnalysisWindow(AnalysisWindowSide::Descriptor descriptor, QWidget *parent)
    : QWidget(parent), m_d(std::move(descriptor)), m_items(Analysis::items(m_d.kind, m_d.columns))
{
    const QString caption = m_d.kind + QStringLiteral("分析");
    setObjectName(m_d.className);
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);

    Conditions::Choices choices;
    choices.dateBox = m_d.kind + QStringLiteral("日期");
    choices.dateTicked = false;
    choices.from = QDate::currentDate().addMonths(-1);
    choices.categoryBox = m_d.kind + QStringLiteral("类别");
    choices.categories = m_d.categories;
    choices.items = itemTexts(m_items);
    choices.defaultItem = Analysis::DefaultItem;
    m_conditions = new ConditionPanel(choices, this);
    auto *run = m_conditions->addButton("BitBtn1", "统计");
    m_excel = m_conditions->addButton("BitBtn2", "Excel");
    auto *exit = m_conditions->addButton("BitBtn3", "退出");
    m_excel->setEnabled(false);
    layout->addWidget(m_conditions);

    auto *centre = new QSplitter(Qt::Horizontal, this);
    m_grid = makeReportGrid(centre, "DBGrid1");
    m_charts = new ChartTabs(caption, centre);
    centre->addWidget(m_grid);
    centre->addWidget(m_charts);
    centre->setStretchFactor(0, 1);
    centre->setStretchFactor(1, 2);
    centre->setSizes({300, 600});
    layout->addWidget(centre, 1);
    const LabelBar bar = makeLabelBar(this, {"Label1", "Label2"});
    m_labels = bar.labels;
    layout->addWidget(bar.bar);

    connect(run, &QPushButton::clicked, this, &AnalysisWindow::BitBtn1Click);
    connect(m_excel, &QPushButton::clicked, this, &AnalysisWindow::BitBtn2Click);
    connect(exit, &QPushButton::clicked, this, &AnalysisWindow::BitBtn3Click);
}

void AnalysisWindow::BitBtn1Click()
{
    if (!m_conditions->checkChoices())
        return;
    try {
        showRun(Analysis::run(m_d.columns, m_items.at(m_conditions->item()),
                              TfrmDM::instance()->currentBook(), m_conditions->filter()));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void AnalysisWindow::showRun(const Analysis::Result &result)
{
    using C = ShownTable::Column;
    m_shown = {{C{"统计的项", ShownTable::Kind::Text, 16, ShownTable::Total::RowCount},
                C{"金额", ShownTable::Kind::Money, 14, ShownTable::Total::Sum}},
               {}};
    std::vector<ChartTabs::Point> points;
    for (const auto &row : result.rows) {
        m_shown.rows.push_back({row.item, row.amount.toVariant()});
        points.push_back(
            {row.item, double(row.amount.units()) / Money::Scale, row.amount.toGrouped()});
    }
    const QString total = result.total ? result.total->toGrouped() : QString();
    showTable(m_grid, m_shown);
    m_grid->setColumnWidth(0, ItemColumnWidth);
    m_labels[0]->setText(QStringLiteral("数量：%1").arg(result.rows.size()));
    m_labels[1]->setText(QStringLiteral("合计金额：") + total);
    m_excel->setEnabled(true);
    m_charts->setPoints(points);
}

void AnalysisWindow::BitBtn2Click()
{
    const QString report = m_d.kind + QStringLiteral("分析表");
    ReportOutput::exportWorkbook(this, report,
                                 TfrmDM::instance()->currentBook() + QLatin1Char('-') + report,
                                 m_shown, ReportOutput::Form::Plain);
}

TfrmE_I::TfrmE_I(QWidget *parent)
    : AnalysisWindow({"TfrmE_I", "收入", EntryTables::Income, &TfrmDM::DBComInType}, parent)
{
}

TfrmE_O::TfrmE_O(QWidget *parent)
    : AnalysisWindow({"TfrmE_O", "支出", EntryTables::Expense, &TfrmDM::DBComOutType}, parent)
{
}
