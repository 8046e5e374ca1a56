#pragma once

#include "core/reports/EntryConditions.h"
#include "widgets/MaintenanceWindow.h"

#include <QDate>
#include <QGroupBox>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;

// What a report window asks before it runs: a period, and optional category,
// account and member limits, each behind its check box, and an item to group by.
namespace Conditions {
struct Choices
{
    QString title = QStringLiteral("查询条件");
    QString dateBox{};              // "统计日期"
    bool dateTicked = true;         // at opening
    bool dateAlwaysApplies = false; // statements read the period whatever the box shows
    QDate from{};                   // the first picker at opening; the second shows today
    QString categoryBox{};          // "收入类别"; empty: no category limit
    Maintenance::Feeder categories = nullptr;
    QStringList items{}; // "统计的项" choices; empty: none
    int defaultItem = 0;
};
} // namespace Conditions

// The grid every condition panel is laid out on, so that the panels of the query,
// statement, analysis and statistics windows line up alike: the period on the
// first row (its box, the first day over the inputs below, "至：" and the last day
// over the second boxes), then the other conditions two to a row, each a check
// box and its input, in columns of one width.
namespace ConditionGrid {
constexpr int BoxWidth = 100, InputWidth = 170;
QGridLayout *make(QWidget *panel);
void addPeriod(QGridLayout *grid, QCheckBox *box, QDateEdit *from, QDateEdit *to);
// The condition in the cell-th place after the period.
void add(QGridLayout *grid, int cell, QCheckBox *box, QWidget *input);
} // namespace ConditionGrid

// The condition group box of the statement, analysis and statistics windows.
// Controls: DateTimePicker1/2, DBLookupComboBox1 (account), DBLookupComboBox2
// (member), DBLookupComboBox3 (category), ComboBox1 (item), each list with a
// check box that choosing an entry ticks.
class ConditionPanel : public QGroupBox
{
    Q_OBJECT
public:
    ConditionPanel(const Conditions::Choices &choices, QWidget *parent);

    QDate from() const;
    QDate to() const;
    int item() const;
    // The limits of the ticked boxes.
    EntryFilter filter() const;
    // The same in words, the period first ("全部日期" when it does not apply).
    QStringList inWords() const;
    // A period whose first day is after its last (when the period applies) is
    // refused, as is a ticked list with nothing chosen ("请选择 <box>！"); false then.
    bool checkChoices();

private:
    struct Limit
    {
        QCheckBox *box = nullptr;
        QComboBox *list = nullptr;
    };
    Limit addLimit(const QString &boxName, const QString &text, const QString &listName,
                   Maintenance::Feeder feeder, int cell);
    static std::optional<QString> chosen(const Limit &limit);

    Conditions::Choices m_spec;
    QCheckBox *m_dateBox = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    Limit m_category, m_account, m_member;
    QComboBox *m_item = nullptr;
    QGridLayout *m_grid = nullptr;
};
