#pragma once

#include "reports/Statistics.h"
#include "widgets/ListWindow.h"

#include <QWidget>

class ConditionPanel;
class ListModel;
class QLabel;
class QTableView;

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

// The statistics window: conditions, 统计 / 退出, and two grids side by side
// (the left one in Panel3, which the main window sets to half the width).
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    StatisticsWindow(StatisticsWindowSides::Descriptor descriptor, QWidget *parent);

    void BitBtn1Click();
    void BitBtn2Click() { close(); }

private:
    struct Shown
    {
        Statistics::Side side;
        ListModel *model;
    };
    QWidget *makeGridGroup(const StatisticsWindowSides::Grid &grid, const QString &gridName);

    StatisticsWindowSides::Descriptor m_d;
    ConditionPanel *m_conditions = nullptr;
    std::vector<Shown> m_grids;
};

class TfrmPage1 : public StatisticsWindow
{
    Q_OBJECT
public:
    explicit TfrmPage1(QWidget *parent = nullptr);
};

class TfrmPage2 : public StatisticsWindow
{
    Q_OBJECT
public:
    explicit TfrmPage2(QWidget *parent = nullptr);
};

// The accounts of the book that hold money, largest first, and under them the
// accounts, debts, credits and net assets in one line.
class TfrmP_Account : public ListWindow
{
    Q_OBJECT
public:
    explicit TfrmP_Account(QWidget *parent = nullptr);
    void FormCreate() override;

private:
    QLabel *m_summary = nullptr;
};
