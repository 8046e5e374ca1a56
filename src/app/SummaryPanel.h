#pragma once

#include "data/Money.h"
#include "planning/Budget.h"

#include <QWidget>

class QLabel;

// The household's position for the current book, shown behind the child
// windows of the main window: funds, liabilities, income and expense.
class SummaryPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SummaryPanel(QWidget *parent = nullptr);

    struct Figures
    {
        Money cash, deposits, credits, debts, investments, income, expense;
        Money totalFunds() const { return cash + deposits + credits + investments; }
        Money netFunds() const { return cash + deposits + credits - debts; }
        // Expense as a percentage of income, in hundredths of a percent; 0 without income.
        std::int64_t percentHundredths() const;
    };

    // Reads every figure of the current book afresh; zeros when no book is open.
    static Figures read();
    void show(const Figures &figures);

    QString figureText(const QString &objectName) const;

    // This household month's budget of the current book; no lines without one.
    static Budget::Status readBudget();
    // Shows each line's spending against its budget with a bar, and the total;
    // the group stays hidden when there are no lines.
    void showBudget(const Budget::Status &status);

private:
    class QGroupBox *m_budget = nullptr;
    QLabel *addFigure(class QGridLayout *grid, const QString &caption, const char *name,
                      bool red = false);
};
