#pragma once

#include "reports/EntryConditions.h"
#include "widgets/MaintenanceWindow.h"

#include <QDate>
#include <QGroupBox>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QDateEdit;

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
    class QGridLayout *m_grid = nullptr;
};
