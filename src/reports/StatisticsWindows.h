#pragma once

#include "core/reports/Statistics.h"
#include "widgets/ListWindow.h"

class ConditionPanel;
class QLabel;

namespace StatisticsWindowSides {
// One of the two grids: its group box title and its statement.
struct Grid
{
    QString title; // "收入"
    Statistics::Side side;
};
// What tells the income-expense statistics from the debt-credit statistics.
struct Descriptor
{
    QString className;
    QString caption;
    QString dateBox; // "收支日期" or "日期"
    Grid left, right;
};
} // namespace StatisticsWindowSides

// The statistics window: conditions, 统计 / 退出, and two lists side by side
// (the left one in Panel3, which the main window sets to half the width), both
// read when 统计 is clicked.
class StatisticsWindow : public ListWindow
{
    Q_OBJECT
public:
    StatisticsWindow(StatisticsWindowSides::Descriptor descriptor, QWidget *parent);

    void compute();

protected:
    List::Query query() const override;

private:
    // A side's sums under the conditions as they stand.
    List::Query statement(const Statistics::Side &side) const;

    StatisticsWindowSides::Descriptor m_d;
    ConditionPanel *m_conditions = nullptr;
    List::Pane m_right{};
};

class IncomeExpenseStatisticsWindow : public StatisticsWindow
{
    Q_OBJECT
public:
    explicit IncomeExpenseStatisticsWindow(QWidget *parent = nullptr);
};

class DebtCreditStatisticsWindow : public StatisticsWindow
{
    Q_OBJECT
public:
    explicit DebtCreditStatisticsWindow(QWidget *parent = nullptr);
};

// The accounts of the book that hold money, largest first, and under them the
// accounts, debts, credits and net assets in one line.
class BalancesWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit BalancesWindow(QWidget *parent = nullptr);
    void load() override;
    void followChange() override;

private:
    void showSummary();
    QLabel *m_summary = nullptr;
};
