#include "widgets/FilterStatus.h"

#include "widgets/QuickFilterDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

FilterStatus::FilterStatus(FilterTarget *target, QWidget *parent)
    : QWidget(parent), m_target(target)
{
    setObjectName(QStringLiteral("FilterStatus"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("LabFilter"));
    m_text->setStyleSheet(QStringLiteral("color: #a05a00;"));
    // Long conditions wrap instead of widening the window.
    m_text->setWordWrap(true);
    auto *clear = new QPushButton(QStringLiteral("清除筛选"), this);
    clear->setObjectName(QStringLiteral("ButClearFilter"));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, &FilterStatus::clearFilter);
    row->addWidget(m_text, 1);
    row->addWidget(clear);
    hide();
}

void FilterStatus::showConditions(const QString &description)
{
    m_text->setText(QStringLiteral("已筛选：") + description);
    setVisible(!description.isEmpty());
}

void FilterStatus::clearFilter()
{
    m_target->applyFilter(Condition());
    m_target->showFilter(QString());
}
