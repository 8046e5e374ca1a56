#pragma once

#include "core/reports/PeriodStatement.h"
#include "core/reports/ShownTable.h"
#include "widgets/ListWindow.h"

class ConditionPanel;
class QLabel;
class QProgressBar;
class QPushButton;

namespace Statement {
// What tells the monthly statement from the yearly one.
struct Descriptor
{
    QString className;
    QString caption; // "收支月报表"
    PeriodStatement::Period period;
    QString periodTitle;  // first column: "月份" or "年份"
    QString exportSuffix; // after the book's name: "-收支月报表"
    QString reportTitle;  // "收支月统计表"
    QString countUnit;    // of the totals row: "合计 12 个月"
    // Months with the book's budget against them (预算, 预算剩余, 预算已用): when
    // it has one.
    bool budgets = false;
};
} // namespace Statement

// The income-expense statement window: conditions with a progress bar (shown
// while it runs) above the grid of the periods, their totals row under it,
// 统计 / Excel / 打印 / 退出. The window keeps its last run; the grid, the export
// and the print all show that run.
class StatementWindow : public ListWindow
{
    Q_OBJECT
public:
    StatementWindow(Statement::Descriptor descriptor, QWidget *parent);

    void compute();
    void exportWorkbook();
    void printReport();

    // The last run as shown (no rows before the first run).
    const ShownTable &shown() const { return m_shown; }

private:
    void showRun(const PeriodStatement::Result &result);

    Statement::Descriptor m_d;
    ConditionPanel *m_conditions = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_excel = nullptr;
    QPushButton *m_print = nullptr;
    ShownTable m_shown;
    QString m_subtitle; // of the printed report: the book and the run's conditions
};

class MonthlyStatementWindow : public StatementWindow
{
    Q_OBJECT
public:
    explicit MonthlyStatementWindow(QWidget *parent = nullptr);
};

class YearlyStatementWindow : public StatementWindow
{
    Q_OBJECT
public:
    explicit YearlyStatementWindow(QWidget *parent = nullptr);
};
