#pragma once

#include "core/ledger/Conditions.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

// A list window that takes its filter from a quick-filter dialog.
class FilterTarget
{
public:
    virtual ~FilterTarget() = default;
    // Replaces the window's filter condition and reads its list again.
    virtual void applyFilter(const Condition &filter) = 0;
    // Shows what the filter keeps, in words; an empty text: nothing is filtered.
    virtual void showFilter(const QString &description) { Q_UNUSED(description) }
};

// One row of a quick-filter dialog: a check box and its input. When ticked it
// adds its condition, with the input's value bound, to the filter.
struct FilterCriterion
{
    using Kind = Conditions::Kind;
    using Feeder = Workspace::Feeder;

    const char *caption; // the check box's text, e.g. "收入日期"
    Kind kind;
    const char *column;      // the filtered column, e.g. "IDate"
    Feeder feeder = nullptr; // fills a List criterion's drop-down
    bool tickedAtStart = false;
};

struct FilterDescriptor
{
    const char *className;
    const char *caption;
    std::vector<FilterCriterion> criteria;
    bool closeBoxOnly = true; // else the title bar's ordinary buttons
};

// The quick-filter dialog family: check boxes with their inputs under "查询条件",
// "查询" builds the condition in the criteria's order and hands it to the
// window that opened the dialog; "退出" changes nothing.
class QuickFilterDialog : public QDialog
{
    Q_OBJECT
public:
    QuickFilterDialog(const FilterDescriptor &descriptor, FilterTarget *target,
                      QWidget *parent = nullptr);

    // The condition the ticked criteria make, in their order.
    Condition condition() const;
    // The same in words: "收入日期 2024-01-01 至 2024-02-01，帐户名称：现金".
    QString description() const;
    // 查询: refuses a date range whose first day is after its last, else hands
    // the condition and its description to the window.
    void applyChosen();
    void closeDialog(); // 退出

    // The default start of a date range: the same day one month back, or that
    // month's last day when it is shorter.
    static QDate monthBefore(const QDate &day);

private:
    struct Row
    {
        const FilterCriterion *criterion;
        QCheckBox *check = nullptr;
        QDateEdit *from = nullptr;
        QDateEdit *to = nullptr;
        QComboBox *list = nullptr;
        QLineEdit *text = nullptr;
    };
    void addRow(class QGridLayout *grid, const FilterCriterion &criterion);
    static Conditions::Input input(const Row &row);
    // The first ticked date range whose days are reversed, or nullptr.
    const Row *reversedRange() const;

    const FilterDescriptor &m_descriptor;
    FilterTarget *m_target;
    std::vector<Row> m_rows;
    int m_dates = 0, m_lists = 0, m_texts = 0;
};
