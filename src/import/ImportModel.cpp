#include "import/ImportModel.h"

#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "widgets/LookupSearch.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>

using Import::Kind;
using Import::Line;

namespace {

const char *const Titles[] = {"导入", "状态",     "日期",     "类型", "金额", "类别",
                              "帐户", "转入帐户", "家庭成员", "备注", "说明", "帐单"};

QColor statusColour(Import::Status status)
{
    switch (status) {
    case Import::Status::New:
        return QColor(0x1b, 0x5e, 0x20);
    case Import::Status::Refund:
    case Import::Status::Transfer:
        return QColor(0x15, 0x65, 0xc0);
    case Import::Status::ToConfirm:
        return QColor(0xb2, 0x6a, 0x00);
    case Import::Status::Duplicate:
    case Import::Status::Skipped:
        break;
    }
    return QColor(0x75, 0x75, 0x75);
}

bool editable(const Line &line, int column)
{
    switch (column) {
    case ImportModel::Category:
        return line.kind != Kind::Transfer && Import::Plan::choosable(line);
    case ImportModel::ToAccount:
        return line.kind == Kind::Transfer && Import::Plan::choosable(line);
    case ImportModel::Account:
    case ImportModel::Member:
    case ImportModel::Remark:
        return Import::Plan::choosable(line);
    default:
        return false;
    }
}

} // namespace

ImportModel::ImportModel(Import::Plan *plan, QObject *parent)
    : QAbstractTableModel(parent), m_plan(plan)
{
}

void ImportModel::refresh()
{
    beginResetModel();
    endResetModel();
    emit linesEdited();
}

void ImportModel::replacePlan(Import::Plan plan)
{
    beginResetModel();
    *m_plan = std::move(plan);
    endResetModel();
    emit linesEdited();
}

int ImportModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_plan->lines().size());
}

int ImportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ImportModel::data(const QModelIndex &index, int role) const
{
    const Line &line = m_plan->lines().at(index.row());
    const int column = index.column();
    // Marked where the user has to choose, not on lines that cannot be imported.
    const bool choosable = Import::Plan::choosable(line);
    const bool unmappedAccount = choosable && line.account.isEmpty() && column == Account;
    const bool fallback = choosable && line.categoryFallback && column == Category;
    if (role == Qt::CheckStateRole && column == Chosen)
        return line.chosen ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && column == Amount)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole) {
        if (column == Status)
            return QBrush(statusColour(line.status));
        if (unmappedAccount || fallback)
            return QBrush(QColor(0xc6, 0x28, 0x28));
        if (!line.chosen)
            return QBrush(QColor(0x75, 0x75, 0x75));
        return {};
    }
    if (role == Qt::ToolTipRole) {
        if (unmappedAccount)
            return QStringLiteral(
                       "收/付款方式“%1”还没有对应的帐户：请在“收/付款方式与类别”中选择。")
                .arg(m_plan->rowOf(line).method);
        if (fallback)
            return QStringLiteral("帐单分类“%1”没有对应的类别，暂记为“%2”。")
                .arg(m_plan->rowOf(line).category, line.category);
        if (column == Why || column == Remark)
            return data(index, Qt::DisplayRole);
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (column) {
    case Status:
        return Import::statusName(line.status);
    case Date:
        return line.date;
    case Kind:
        return Import::kindName(line.kind);
    case Amount:
        return line.amount.toShown();
    case Category:
        return line.category;
    case Account:
        return unmappedAccount && role == Qt::DisplayRole && line.kind != Kind::Transfer
                   ? QStringLiteral("（未对应）%1").arg(m_plan->rowOf(line).method)
                   : line.account;
    case ToAccount:
        return line.toAccount;
    case Member:
        return line.member;
    case Remark:
        return line.remark;
    case Why:
        return Import::explanation(line);
    case Source:
        return QStringLiteral("%1 第 %2 行")
            .arg(m_plan->documentOf(line).name)
            .arg(m_plan->rowOf(line).line);
    default:
        return {};
    }
}

bool ImportModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Line &line = m_plan->line(index.row());
    const int column = index.column();
    if (column == Chosen && role == Qt::CheckStateRole) {
        if (!Import::Plan::choosable(line))
            return false;
        line.chosen = value.toInt() == Qt::Checked;
    } else if (role == Qt::EditRole && editable(line, column)) {
        const QString text = value.toString().trimmed();
        switch (column) {
        case Category:
            line.category = text;
            line.ownCategory = true;
            line.categoryFallback = false;
            line.reason = QStringLiteral("手动选择：%1").arg(text);
            break;
        case Account:
            line.account = text;
            line.ownAccount = true;
            break;
        case ToAccount:
            line.toAccount = text;
            line.ownToAccount = true;
            break;
        case Member:
            line.member = text;
            line.ownMember = true;
            break;
        case Remark:
            line.remark = text;
            line.ownRemark = true;
            break;
        }
    } else {
        return false;
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    emit linesEdited();
    if (column == Category || column == Account || column == ToAccount)
        emit choiceEdited(index);
    return true;
}

Qt::ItemFlags ImportModel::flags(const QModelIndex &index) const
{
    const Line &line = m_plan->lines().at(index.row());
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Chosen && Import::Plan::choosable(line))
        flags |= Qt::ItemIsUserCheckable;
    if (editable(line, index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant ImportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < ColumnCount)
        return QString::fromUtf8(Titles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QWidget *ImportChoiceDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    Workspace::Feeder feeder = nullptr;
    switch (index.column()) {
    case ImportModel::Category:
        feeder = index.siblingAtColumn(ImportModel::Kind).data().toString() ==
                         Import::kindName(Kind::Income)
                     ? &Workspace::incomeCategories
                     : &Workspace::expenseCategories;
        break;
    case ImportModel::Account:
    case ImportModel::ToAccount:
        feeder = &Workspace::accounts;
        break;
    case ImportModel::Member:
        feeder = &Workspace::members;
        break;
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto *box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("CellChoice"));
    try {
        fillLookup(box, feeder);
    } catch (const DbError &) {
        // An empty list: the grid's value stays as it is.
    }
    if (index.column() == ImportModel::Member)
        box->insertItem(0, QString());
    makeSearchable(box);
    return box;
}

void ImportChoiceDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor)) {
        box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void ImportChoiceDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                        const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor)) {
        if (box->currentIndex() >= 0)
            model->setData(index, box->currentText());
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
