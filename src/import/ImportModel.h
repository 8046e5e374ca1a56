#pragma once

#include "core/bills/ImportPlan.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

// The lines of an import plan as the import window's grid shows and edits them:
// 导入 (a check box where the line may be chosen), 状态, 日期, 类型, 金额, 类别,
// 帐户, 转入帐户, 家庭成员, 备注, 说明 and where the row came from.
class ImportModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        Chosen,
        Status,
        Date,
        Kind,
        Amount,
        Category,
        Account,
        ToAccount,
        Member,
        Remark,
        Why,
        Source,
        ColumnCount
    };

    explicit ImportModel(Import::Plan *plan, QObject *parent = nullptr);

    // The plan changed as a whole (settings applied again).
    void refresh();
    // The plan shown is replaced by `plan` (made on a worker).
    void replacePlan(Import::Plan plan);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // A line was chosen or dropped, or edited: the counts below the grid follow.
    void linesEdited();
    // The user chose a line's category or account by hand: the window offers to do
    // so with every row of its 交易对方 (or its kind of move) from now on.
    void choiceEdited(const QModelIndex &index);

private:
    Import::Plan *m_plan;
};

// Edits 类别, 帐户, 转入帐户 and 家庭成员 with a drop-down of the book's names that
// finds a name as it is typed, as every entry window does.
class ImportChoiceDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};
