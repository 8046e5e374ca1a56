#include "widgets/ConditionPanel.h"

#include "core/ledger/Conditions.h"
#include "core/ledger/Workspace.h"
#include "widgets/DatePicker.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"
#include "widgets/PeriodPresets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
// Conditions sit two to a row under the period: check box and input, twice.
constexpr int PerRow = 2;
} // namespace

namespace ConditionGrid {

QGridLayout *make(QWidget *panel)
{
    auto *grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(8);
    for (int c = 0; c < 2 * PerRow; c += 2) {
        grid->setColumnMinimumWidth(c, BoxWidth);
        grid->setColumnMinimumWidth(c + 1, InputWidth);
    }
    grid->setColumnStretch(2 * PerRow, 1);
    return grid;
}

void addPeriod(QGridLayout *grid, QCheckBox *box, QDateEdit *from, QDateEdit *to)
{
    QWidget *panel = grid->parentWidget();
    from->setFixedWidth(InputWidth);
    to->setFixedWidth(InputWidth);
    grid->addWidget(box, 0, 0);
    grid->addWidget(from, 0, 1);
    auto *label = new QLabel(QStringLiteral("至："), panel);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, 0, 2);
    grid->addWidget(to, 0, 3);
    grid->addWidget(makePeriodPresets(from, to, box), 0, 2 * PerRow, Qt::AlignLeft);
}

void add(QGridLayout *grid, int cell, QCheckBox *box, QWidget *input)
{
    input->setFixedWidth(InputWidth);
    grid->addWidget(box, 1 + cell / PerRow, 2 * (cell % PerRow));
    grid->addWidget(input, 1 + cell / PerRow, 2 * (cell % PerRow) + 1);
}

} // namespace ConditionGrid

ConditionPanel::ConditionPanel(const Conditions::Choices &choices, QWidget *parent)
    : QGroupBox(choices.title, parent), m_spec(choices)
{
    setObjectName(QStringLiteral("GroupBox1"));
    auto *outer = new QVBoxLayout(this);
    auto *grid = new QWidget(this);
    m_grid = ConditionGrid::make(grid);
    m_grid->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(grid);

    m_dateBox = new QCheckBox(choices.dateBox, this);
    m_dateBox->setObjectName(QStringLiteral("CheckDate"));
    m_dateBox->setChecked(choices.dateTicked);
    m_from = makeDatePicker(this, QStringLiteral("DateTimePicker1"), choices.from);
    m_to = makeDatePicker(this, QStringLiteral("DateTimePicker2"));
    ConditionGrid::addPeriod(m_grid, m_dateBox, m_from, m_to);

    int cell = 0;
    if (!choices.categoryBox.isEmpty())
        m_category = addLimit(QStringLiteral("CheckCategory"), choices.categoryBox,
                              QStringLiteral("DBLookupComboBox3"), choices.categories, cell++);
    m_account = addLimit(QStringLiteral("CheckAccount"), QStringLiteral("帐户名称"),
                         QStringLiteral("DBLookupComboBox1"), &Workspace::accounts, cell++);
    m_member = addLimit(QStringLiteral("CheckMember"), QStringLiteral("家庭成员"),
                        QStringLiteral("DBLookupComboBox2"), &Workspace::members, cell++);
    if (!choices.items.isEmpty()) {
        // The item always applies, whatever its box shows.
        auto *box = new QCheckBox(QStringLiteral("统计的项"), this);
        box->setObjectName(QStringLiteral("CheckItem"));
        box->setChecked(true);
        m_item = new QComboBox(this);
        m_item->setObjectName(QStringLiteral("ComboBox1"));
        m_item->addItems(choices.items);
        m_item->setCurrentIndex(choices.defaultItem);
        ConditionGrid::add(m_grid, cell, box, m_item);
    }
}

ConditionPanel::Limit ConditionPanel::addLimit(const QString &boxName, const QString &text,
                                               const QString &listName, Maintenance::Feeder feeder,
                                               int cell)
{
    Limit limit{new QCheckBox(text, this), new QComboBox(this)};
    limit.box->setObjectName(boxName);
    limit.list->setObjectName(listName);
    makeSearchable(limit.list);
    if (feeder)
        Msg::guarded(this, [&] { fillLookup(limit.list, feeder); });
    QCheckBox *box = limit.box;
    connect(limit.list, &QComboBox::activated, box, [box] { box->setChecked(true); });
    ConditionGrid::add(m_grid, cell, limit.box, limit.list);
    return limit;
}

QDate ConditionPanel::from() const
{
    return m_from->date();
}

QDate ConditionPanel::to() const
{
    return m_to->date();
}

int ConditionPanel::item() const
{
    return m_item ? m_item->currentIndex() : -1;
}

std::optional<QString> ConditionPanel::chosen(const Limit &limit)
{
    if (!limit.box || !limit.box->isChecked())
        return std::nullopt;
    return limit.list->currentText();
}

EntryFilter ConditionPanel::filter() const
{
    EntryFilter f;
    if (m_spec.dateAlwaysApplies || m_dateBox->isChecked())
        f.days = std::pair(from(), to());
    f.category = chosen(m_category);
    f.account = chosen(m_account);
    f.member = chosen(m_member);
    return f;
}

QStringList ConditionPanel::inWords() const
{
    QStringList words;
    if (m_spec.dateAlwaysApplies || m_dateBox->isChecked())
        words << Conditions::describe(Conditions::Kind::DateRange, m_dateBox->text(),
                                      {from(), to()});
    else
        words << QStringLiteral("全部日期");
    for (const Limit *limit : {&m_category, &m_account, &m_member})
        if (const std::optional<QString> name = chosen(*limit))
            words << Conditions::describe(Conditions::Kind::List, limit->box->text(),
                                          {{}, {}, *name});
    return words;
}

bool ConditionPanel::checkChoices()
{
    if ((m_spec.dateAlwaysApplies || m_dateBox->isChecked()) && from() > to()) {
        Msg::plain(window(), Conditions::dateOrderMessage());
        m_from->setFocus();
        return false;
    }
    for (const Limit *limit : {&m_category, &m_account, &m_member}) {
        if (limit->box && limit->box->isChecked() && limit->list->currentText().isEmpty()) {
            Msg::plain(window(), QStringLiteral("请选择 %1！").arg(limit->box->text()));
            limit->list->setFocus();
            return false;
        }
    }
    return true;
}
