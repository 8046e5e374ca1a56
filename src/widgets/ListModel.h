#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QVariant>

class QSqlQuery;

// The rows of one list query, read at once, for a read-only grid. The column
// titles are the query's aliases; amount columns show as plain decimals.
class ListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Replaces every row with those of an executed query. Columns whose alias is
    // in moneyAliases hold stored amounts.
    void load(QSqlQuery &query, const QSet<QString> &moneyAliases);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The column titled alias, or -1.
    int column(const QString &alias) const { return m_titles.indexOf(alias); }
    QVariant value(int row, const QString &alias) const;
    // The value as the grid shows it.
    QString text(int row, const QString &alias) const;
    // The row whose column keyAlias holds key, or -1.
    int rowOf(const QString &keyAlias, const QVariant &key) const;

    // A row with no values yet (a record being entered); returns its number.
    int appendBlankRow();
    void removeRowAt(int row);

private:
    QString shown(int row, int column) const;

    QStringList m_titles;
    QList<bool> m_isMoney;
    QList<QVariantList> m_rows;
};
