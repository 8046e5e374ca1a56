#include "widgets/PeriodPresets.h"

#include "core/ledger/HouseholdMonth.h"
#include "core/ledger/Workspace.h"
#include "widgets/MessageBox.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>

QComboBox *makePeriodPresets(QDateEdit *from, QDateEdit *to, QCheckBox *box)
{
    auto *presets = new QComboBox(from->parentWidget());
    presets->setObjectName(QStringLiteral("ComboPeriod"));
    presets->addItems(HouseholdMonth::presetNames());
    presets->setPlaceholderText(QStringLiteral("常用期间"));
    presets->setCurrentIndex(-1);
    presets->setToolTip(QStringLiteral("按本帐簿的每月开始日计算"));
    QObject::connect(presets, &QComboBox::activated, from, [=](int index) {
        int startDay = HouseholdMonth::FirstDay;
        Msg::guarded(from->window(), [&] {
            startDay = HouseholdMonth::startDay(Workspace::instance()->currentBook());
        });
        const auto [first, last] =
            HouseholdMonth::preset(HouseholdMonth::Preset(index), QDate::currentDate(), startDay);
        from->setDate(first);
        to->setDate(last);
        if (box)
            box->setChecked(true);
    });
    return presets;
}

QComboBox *addPeriodPresets(QBoxLayout *row, QDateEdit *from, QDateEdit *to, QCheckBox *box)
{
    QComboBox *presets = makePeriodPresets(from, to, box);
    row->addWidget(presets);
    return presets;
}
