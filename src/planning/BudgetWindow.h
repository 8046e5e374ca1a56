#pragma once

#include "core/planning/Budget.h"
#include "core/reports/ShownTable.h"
#include "widgets/ListWindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace Budget {
// Budget against spending as the budget window, its export and its print show
// it: a row per line, the used share last.
ShownTable statusTable(const Status &status);
} // namespace Budget

// 预算: the book's budgets of a year, a row per expense category (and the other
// spending) and a column per household month, and the chosen month's budget
// against spending under it, with a bar of what is used. The amount typed is set
// for the chosen month of the current row (设置), for it and every month after
// it in the year (每月相同); 复制上月 copies every line of the month before.
// The book's household month (每月从 N 日开始) is set here too.
class BudgetWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit BudgetWindow(QWidget *parent = nullptr);

    void load() override;
    void setChosenMonth();
    void setEveryMonth();
    void copyPreviousMonth();
    void toggleRollover();
    void setStartDay();    // 每月从 N 日开始
    void exportWorkbook(); // Excel
    void printReport();    // 打印

    // The month chosen, "yyyy-MM".
    QString month() const;

protected:
    void currentRowChanged() override;

private:
    QWidget *buildConditions();
    // The stored name of the current row's line; nothing on no row.
    std::optional<QString> currentLine() const;
    // Sets the amount typed for the months; false when it is refused.
    bool setAmount(const QStringList &months);
    // Reads the year's plan and the month's status again, keeping the row.
    void readAll();

    QSpinBox *m_year = nullptr;
    QComboBox *m_month = nullptr;
    QLineEdit *m_amount = nullptr;
    QCheckBox *m_rollover = nullptr;
    QSpinBox *m_startDay = nullptr;
    List::Pane m_statusPane{};
    QStringList m_lines; // the stored name of each row
    ShownTable m_status;
};
