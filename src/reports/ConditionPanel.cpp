#include "reports/ConditionPanel.h"

#include "data/Conditions.h"
#include "data/TfrmDM.h"
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
// Lists sit two to a row under the period: check box and list, twice.
constexpr int ListsPerRow = 2;
constexpr int ListWidth = 160;
} // namespace

ConditionPanel::ConditionPanel(const Conditions::Choices &choices, QWidget *parent)
    : QGroupBox(choices.title, parent), m_spec(choices)
{
    setObjectName(QStringLiteral("GroupBox1"));
    auto *outer = new QVBoxLayout(this);
    m_grid = new QGridLayout;
    outer->addLayout(m_grid);

    m_dateBox = new QCheckBox(choices.dateBox, this);
    m_dateBox->setObjectName(QStringLiteral("CheckDate"));
    m_dateBox->setChecked(choices.dateTicked);
    m_from = makeDatePicker(this, QStringLiteral("DateTimePicker1"), choices.from);
    m_to = makeDatePicker(this, QStringLiteral("DateTimePicker2"));
    auto *period = new QHBoxLayout;
    period->addWidget(m_from);
    period->addWidget(new QLabel(QStringLiteral("至："), this));
    period->addWidget(m_to);
    addPeriodPresets(period, m_from, m_to, m_dateBox);
    period->addStretch(1);
    m_grid->addWidget(m_dateBox, 0, 0);
    m_grid->addLayout(period, 0, 1, 1, 2 * ListsPerRow - 1);

    int cell = 0;
    if (!choices.categoryBox.isEmpty())
        m_category = addLimit(QStringLiteral("CheckCategory"), choices.categoryBox,
                              QStringLiteral("DBLookupComboBox3"), choices.categories, cell++);
    m_account = addLimit(QStringLiteral("CheckAccount"), QStringLiteral("帐户名称"),
                         QStringLiteral("DBLookupComboBox1"), &TfrmDM::DBComAccount, cell++);
    m_member = addLimit(QStringLiteral("CheckMember"), QStringLiteral("家庭成员"),
                        QStringLiteral("DBLookupComboBox2"), &TfrmDM::DBComFamily, cell++);
    if (!choices.items.isEmpty()) {
        // The item always applies, whatever its box shows.
        auto *box = new QCheckBox(QStringLiteral("统计的项"), this);
        box->setObjectName(QStringLiteral("CheckItem"));
        box->setChecked(true);
        m_item = new QComboBox(this);
        m_item->setObjectName(QStringLiteral("ComboBox1"));
        m_item->addItems(choices.items);
        m_item->setCurrentIndex(choices.defaultItem);
        m_item->setMinimumWidth(ListWidth);
        m_grid->addWidget(box, 1 + cell / ListsPerRow, 2 * (cell % ListsPerRow));
        m_grid->addWidget(m_item, 1 + cell / ListsPerRow, 2 * (cell % ListsPerRow) + 1);
    }
    m_grid->setColumnStretch(2 * ListsPerRow, 1);
}

ConditionPanel::Limit ConditionPanel::addLimit(const QString &boxName, const QString &text,
                                               const QString &listName, Maintenance::Feeder feeder,
                                               int cell)
{
    Limit limit{new QCheckBox(text, this), new QComboBox(this)};
    limit.box->setObjectName(boxName);
    limit.list->setObjectName(listName);
    limit.list->setMinimumWidth(ListWidth);
    makeSearchable(limit.list);
    if (feeder)
        Msg::guarded(this, [&] { fillLookup(limit.list, feeder); });
    QCheckBox *box = limit.box;
    connect(limit.list, &QComboBox::activated, box, [box] { box->setChecked(true); });
    m_grid->addWidget(limit.box, 1 + cell / ListsPerRow, 2 * (cell % ListsPerRow));
    m_grid->addWidget(limit.list, 1 + cell / ListsPerRow, 2 * (cell % ListsPerRow) + 1);
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
