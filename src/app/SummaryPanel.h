#pragma once

#include "core/planning/Budget.h"
#include "core/planning/Recurring.h"
#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QWidget>

class QBarSet;
class QChart;
class QGridLayout;
class QLabel;

// The home page of the main window, behind its child windows: the household's
// position for the current book. 净资产 large; funds, liabilities, and income and
// expense (this household month and all-time) as two-column tables; this
// month's budget and the recurring entries due, when the book has them; a chart
// of the last twelve months. Further sections (addSection) take their place
// after these.
class SummaryPanel : public QWidget
{
    Q_OBJECT
public:
    // Stands in `area` (the main window's MDI area), filling it.
    explicit SummaryPanel(QWidget *area);

    struct Month
    {
        QString month; // "yyyy-MM"
        Money income, expense;
    };

    struct Figures
    {
        // owed: what the credit cards and 花呗 owe.
        Money cash, deposits, credits, debts, owed, investments, income, expense;
        // The last twelve months, oldest first; this month last.
        QList<Month> months;
        Money totalFunds() const { return cash + deposits + credits + investments; }
        Money liabilities() const { return debts + owed; }
        Money netFunds() const { return cash + deposits + credits - liabilities(); }
        // What the household owns less what it owes, investments included.
        Money netWorth() const { return totalFunds() - liabilities(); }
        Month thisMonth() const { return months.isEmpty() ? Month{} : months.last(); }
    };

    // Expense as a percentage of income, in hundredths of a percent; 0 without income.
    static std::int64_t percentHundredths(Money expense, Money income);
    // The same as shown: "45.20%"; "—" without income, which has no ratio.
    static QString percentText(Money expense, Money income);

    // Reads every figure of the current book afresh, balances from the accounts and
    // the rest from the kept monthly totals; zeros when no book is open. The twelve
    // months end with the month of `today`.
    static Figures read(const QDate &today);
    void show(const Figures &figures);

    QString figureText(const QString &objectName) const;
    // A further section (a card with its heading) after those shown, taking one
    // or more of a row's three columns.
    void addSection(const QString &heading, QWidget *content, int columns = 1);

    // This household month's budget of the current book; no lines without one.
    static Budget::Status readBudget();
    // Shows each line's spending against its budget with a bar, and the total;
    // the section stays hidden when there are no lines.
    void showBudget(const Budget::Status &status);

    // The current book's recurring entries due by today (待记帐).
    struct Dues
    {
        bool anySchedule = false; // without schedules the section stays hidden
        std::vector<Recurring::Due> due;
    };
    static Dues readDue();
    // Lists the first of them, the count of the rest, and a button to the list.
    void showDue(const Dues &dues);

signals:
    // 去记帐 was clicked: the list of what is due should open.
    void dueRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *card(const QString &heading, QWidget *content, const char *name);
    QWidget *fundsTable();
    QWidget *debtsTable();
    QWidget *incomeTable();
    QWidget *monthsChart();
    QLabel *addFigure(QGridLayout *grid, const QString &caption, const char *name,
                      const QString &note = {});
    void showMonths(const QList<Month> &months);
    void placeSection(QWidget *section, int columns);
    // Takes a section's lines away and shows its card (and the row of the budget
    // and due cards) or hides it; the grid to fill.
    QGridLayout *refill(QWidget *lines, bool shown);

    class QScrollArea *m_scroll = nullptr;
    QWidget *m_budget = nullptr; // the budget section's lines
    QWidget *m_due = nullptr;    // the due section's lines
    QWidget *m_plans = nullptr;  // the row of both
    QGridLayout *m_sections = nullptr;
    QChart *m_chart = nullptr;
    QBarSet *m_incomeBars = nullptr;
    QBarSet *m_expenseBars = nullptr;
};
