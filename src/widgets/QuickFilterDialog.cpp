#include "widgets/QuickFilterDialog.h"

#include "core/ledger/Workspace.h"
#include "widgets/DatePicker.h"
#include "widgets/DialogTitleBar.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"
#include "widgets/PeriodPresets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QuickFilterDialog::QuickFilterDialog(const FilterDescriptor &descriptor, FilterTarget *target,
                                     QWidget *parent)
    : QDialog(parent), m_descriptor(descriptor), m_target(target)
{
    setObjectName(QLatin1String(descriptor.className));
    setWindowTitle(QString::fromUtf8(descriptor.caption));
    setDialogTitleBar(this, descriptor.closeBoxOnly);

    auto *group = new QGroupBox(QStringLiteral("查询条件"), this);
    auto *grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    for (const FilterCriterion &criterion : descriptor.criteria)
        addRow(grid, criterion);

    auto *query = new QPushButton(QStringLiteral("查询（&Q）"), this);
    query->setObjectName(QStringLiteral("BitBtn1"));
    query->setDefault(true);
    auto *exit = new QPushButton(QStringLiteral("退出（&X）"), this);
    exit->setObjectName(QStringLiteral("BitBtn2"));
    connect(query, &QPushButton::clicked, this, &QuickFilterDialog::applyChosen);
    connect(exit, &QPushButton::clicked, this, &QuickFilterDialog::closeDialog);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(query);
    buttons->addWidget(exit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

void QuickFilterDialog::addRow(QGridLayout *grid, const FilterCriterion &criterion)
{
    Row row{&criterion};
    const int line = grid->rowCount();
    row.check = new QCheckBox(QString::fromUtf8(criterion.caption));
    row.check->setObjectName(QStringLiteral("CheckBox%1").arg(m_rows.size() + 1));
    row.check->setChecked(criterion.tickedAtStart);
    grid->addWidget(row.check, line, 0);

    switch (criterion.kind) {
    case FilterCriterion::Kind::DateRange: {
        const QDate today = QDate::currentDate();
        row.from = makeDatePicker(this, QStringLiteral("DateTimePicker%1").arg(++m_dates),
                                  monthBefore(today));
        row.to = makeDatePicker(this, QStringLiteral("DateTimePicker%1").arg(++m_dates), today);
        auto *range = new QHBoxLayout;
        range->addWidget(row.from, 1);
        range->addWidget(new QLabel(QStringLiteral("至：")));
        range->addWidget(row.to, 1);
        addPeriodPresets(range, row.from, row.to, row.check);
        grid->addLayout(range, line, 1);
        break;
    }
    case FilterCriterion::Kind::List: {
        row.list = new QComboBox(this);
        row.list->setObjectName(QStringLiteral("DBLookupComboBox%1").arg(++m_lists));
        if (criterion.feeder)
            Msg::guarded(this, [&] { fillLookup(row.list, criterion.feeder); });
        // Choosing a name means filtering by it.
        QCheckBox *check = row.check;
        connect(row.list, &QComboBox::activated, check, [check] { check->setChecked(true); });
        makeSearchable(row.list);
        grid->addWidget(row.list, line, 1);
        break;
    }
    case FilterCriterion::Kind::Text:
        row.text = new QLineEdit(this);
        row.text->setObjectName(QStringLiteral("Edit%1").arg(++m_texts));
        // Typing a text means filtering by it, as choosing in a list does.
        connect(row.text, &QLineEdit::textEdited, row.check,
                [check = row.check] { check->setChecked(true); });
        grid->addWidget(row.text, line, 1);
        break;
    }
    m_rows.push_back(row);
}

QDate QuickFilterDialog::monthBefore(const QDate &day)
{
    return day.addMonths(-1); // Qt keeps the day, clamped to the shorter month's end
}

Conditions::Input QuickFilterDialog::input(const Row &row)
{
    if (row.from)
        return {row.from->date(), row.to->date()};
    return {{}, {}, row.list ? row.list->currentText() : row.text->text()};
}

Condition QuickFilterDialog::condition() const
{
    Condition filter;
    for (const Row &row : m_rows)
        if (row.check->isChecked())
            filter += Conditions::of(row.criterion->kind, QLatin1String(row.criterion->column),
                                     input(row));
    return filter;
}

QString QuickFilterDialog::description() const
{
    QStringList parts;
    for (const Row &row : m_rows) {
        if (!row.check->isChecked())
            continue;
        parts << Conditions::describe(row.criterion->kind, row.check->text(), input(row));
    }
    return parts.join(QStringLiteral("，"));
}

const QuickFilterDialog::Row *QuickFilterDialog::reversedRange() const
{
    for (const Row &row : m_rows)
        if (row.check->isChecked() && row.from && row.from->date() > row.to->date())
            return &row;
    return nullptr;
}

void QuickFilterDialog::applyChosen()
{
    if (const Row *reversed = reversedRange()) {
        Msg::plain(this, Conditions::dateOrderMessage());
        reversed->from->setFocus();
        return;
    }
    if (m_target) {
        m_target->applyFilter(condition());
        m_target->showFilter(description());
    }
    accept();
}

void QuickFilterDialog::closeDialog()
{
    reject();
}
