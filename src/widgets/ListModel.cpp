#include "widgets/ListModel.h"

#include "data/Money.h"

#include <QSqlQuery>
#include <QSqlRecord>

void ListModel::load(QSqlQuery &query, const QSet<QString> &moneyAliases)
{
    beginResetModel();
    m_titles.clear();
    m_isMoney.clear();
    m_rows.clear();
    const QSqlRecord record = query.record();
    for (int c = 0; c < record.count(); ++c) {
        m_titles << record.fieldName(c);
        m_isMoney << moneyAliases.contains(record.fieldName(c));
    }
    while (query.next()) {
        QVariantList row;
        row.reserve(m_titles.size());
        for (int c = 0; c < m_titles.size(); ++c)
            row << query.value(c);
        m_rows << row;
    }
    endResetModel();
}

int ListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_titles.size());
}

QString ListModel::shown(int row, int column) const
{
    const QVariant &v = m_rows[row][column];
    if (v.isNull())
        return QString();
    return m_isMoney[column] ? Money::fromVariant(v).toPlain() : v.toString();
}

QVariant ListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_titles.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return shown(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && m_isMoney[index.column()])
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < m_titles.size())
        return m_titles[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant ListModel::value(int row, const QString &alias) const
{
    const int c = column(alias);
    if (row < 0 || row >= m_rows.size() || c < 0)
        return QVariant();
    return m_rows[row][c];
}

QString ListModel::text(int row, const QString &alias) const
{
    const int c = column(alias);
    if (row < 0 || row >= m_rows.size() || c < 0)
        return QString();
    return shown(row, c);
}

int ListModel::rowOf(const QString &keyAlias, const QVariant &key) const
{
    const int c = column(keyAlias);
    if (c < 0 || key.isNull())
        return -1;
    for (int r = 0; r < m_rows.size(); ++r)
        if (m_rows[r][c] == key)
            return r;
    return -1;
}

int ListModel::appendBlankRow()
{
    const int row = int(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_rows << QVariantList(m_titles.size());
    endInsertRows();
    return row;
}

void ListModel::removeRowAt(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}
