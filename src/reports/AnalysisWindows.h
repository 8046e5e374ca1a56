#pragma once

#include "core/reports/Analysis.h"
#include "core/reports/ShownTable.h"
#include "widgets/ListWindow.h"
#include "widgets/MaintenanceWindow.h"

class ChartTabs;
class ConditionPanel;
class QPushButton;

namespace AnalysisWindowSide {
// What tells the income analysis from the expense analysis.
struct Descriptor
{
    QString className;
    QString kind; // "收入": caption "收入分析", boxes "收入日期", "收入类别", items "月收入"...
    EntryColumns columns;
    Maintenance::Feeder categories;
};
} // namespace AnalysisWindowSide

// The analysis window: conditions, the item to sum by, 统计 / Excel / 退出, the
// sums in a grid beside bar, line and pie charts, the count and the total in the
// grid's totals row.
class AnalysisWindow : public ListWindow
{
    Q_OBJECT
public:
    AnalysisWindow(AnalysisWindowSide::Descriptor descriptor, QWidget *parent);

    void compute();
    void exportWorkbook();

    const ShownTable &shown() const { return m_shown; }
    ChartTabs *charts() const { return m_charts; }

private:
    void showRun(const Analysis::Result &result);

    AnalysisWindowSide::Descriptor m_d;
    std::vector<Analysis::Item> m_items;
    ConditionPanel *m_conditions = nullptr;
    ChartTabs *m_charts = nullptr;
    QPushButton *m_excel = nullptr;
    ShownTable m_shown;
};

class IncomeAnalysisWindow : public AnalysisWindow
{
    Q_OBJECT
public:
    explicit IncomeAnalysisWindow(QWidget *parent = nullptr);
};

class ExpenseAnalysisWindow : public AnalysisWindow
{
    Q_OBJECT
public:
    explicit ExpenseAnalysisWindow(QWidget *parent = nullptr);
};
