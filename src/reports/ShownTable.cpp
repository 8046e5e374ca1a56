#include "reports/ShownTable.h"

#include "data/Money.h"
#include "reports/PeriodStatement.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>

int ShownTable::column(const QString &title) const
{
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].title == title)
            return int(c);
    return -1;
}

QString ShownTable::format(Kind kind, const QVariant &value)
{
    switch (kind) {
    case Kind::Money:
        return Money::fromVariant(value).toGrouped();
    case Kind::Ratio:
        return PeriodStatement::ratioText(value.toLongLong() / (Money::Scale / 100));
    case Kind::Count:
    case Kind::Text:
        break;
    }
    return value.toString();
}

QString ShownTable::text(int row, int column) const
{
    return format(columns.at(column).kind, rows.at(row).value(column));
}

QTableView *makeReportGrid(QWidget *parent, const QString &objectName)
{
    auto *grid = new QTableView(parent);
    grid->setObjectName(objectName);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setAlternatingRowColors(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setModel(new QStandardItemModel(grid));
    return grid;
}

void showTable(QTableView *grid, const ShownTable &table)
{
    auto *model = qobject_cast<QStandardItemModel *>(grid->model());
    model->clear();
    QStringList titles;
    for (const auto &c : table.columns)
        titles << c.title;
    model->setHorizontalHeaderLabels(titles);
    for (int r = 0; r < int(table.rows.size()); ++r) {
        QList<QStandardItem *> items;
        for (int c = 0; c < int(table.columns.size()); ++c) {
            auto *item = new QStandardItem(table.text(r, c));
            if (table.columns[c].kind != ShownTable::Kind::Text)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            items << item;
        }
        model->appendRow(items);
    }
    grid->resizeColumnsToContents();
}

LabelBar makeLabelBar(QWidget *parent, const QStringList &objectNames)
{
    auto *bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("Panel2"));
    auto *layout = new QHBoxLayout(bar);
    std::vector<QLabel *> labels;
    for (const QString &name : objectNames) {
        auto *label = new QLabel(bar);
        label->setObjectName(name);
        layout->addWidget(label, 1);
        labels.push_back(label);
    }
    return {bar, labels};
}
