#include "widgets/ListModel.h"

#include "core/ledger/Figures.h"
#include "core/ledger/Workspace.h"
#include "data/Connection.h"
#include "data/KeySorter.h"
#include "data/ProgressCheck.h"
#include "widgets/ListWindow.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <algorithm>

namespace {
// Pages kept in memory; the rest are read again when shown.
constexpr int MaxPages = 64;
qint64 g_stepBudget = ListModel::StepBudget;
} // namespace

ListModel::~ListModel()
{
    delete m_sorter;
}

void ListModel::setStepBudget(qint64 steps)
{
    g_stepBudget = steps > 0 ? steps : StepBudget;
}

Sql ListModel::within(const QString &outer, const Sql &condition) const
{
    Sql sql(QStringLiteral("select ") + outer + QStringLiteral(" from ("));
    sql += m_query.select;
    sql.add(QStringLiteral(")"));
    if (!condition.isEmpty())
        sql.add(QStringLiteral(" where ")).add(condition);
    return sql;
}

QString ListModel::orderClause(bool reversed) const
{
    QStringList terms;
    for (const List::OrderTerm &t : m_query.orderTerms())
        terms << List::quoted(t.column) +
                     (t.descending != reversed ? QStringLiteral(" desc") : QString());
    return terms.isEmpty() ? QString()
                           : QStringLiteral(" order by ") + terms.join(QLatin1Char(','));
}

qint64 ListModel::totalChanges()
{
    return Sql(QStringLiteral("select total_changes()")).scalar().toLongLong();
}

void ListModel::setQuery(const List::Query &query)
{
    QStringList titles = query.titles;
    try {
        if (titles.isEmpty())
            titles = resultNames(query);
    } catch (const DbError &) {
        m_query = query;
        setColumns({});
        m_listed = false;
        emit listed();
        throw;
    }
    // A list of the same columns keeps them and only its rows are replaced: the
    // grid keeps its header and column widths. Emptied first, so that the grid
    // starts again from the top and never asks for the end of the new list.
    const bool sameColumns = !isComputed() && titles == m_titles && query.kinds == m_query.kinds;
    m_query = query;
    if (sameColumns)
        showRows(0, true);
    else
        setColumns(titles);
    reload();
}

QStringList ListModel::resultNames(const List::Query &query)
{
    Sql empty(QStringLiteral("select * from ("));
    empty += query.select;
    empty.add(QStringLiteral(") limit 0"));
    const QSqlRecord record = empty.exec().record();
    QStringList names;
    for (int c = 0; c < record.count(); ++c)
        names << record.fieldName(c);
    return names;
}

void ListModel::setColumns(const QStringList &titles)
{
    beginResetModel();
    m_titles = titles;
    m_kinds.clear();
    for (const QString &title : titles)
        m_kinds << m_query.kinds.value(title, List::Kind::Text);
    m_count = 0;
    m_blankRow = false;
    m_pages.clear();
    endResetModel();
}

void ListModel::showRows(int count, bool counted, bool keepBlankRow)
{
    // Rows come and go at the end and every shown row is read again: the grid
    // keeps its columns, its cursor and its place.
    m_counted = counted;
    m_pages.clear();
    if (m_blankRow && !keepBlankRow) {
        beginRemoveRows(QModelIndex(), m_count, m_count);
        m_blankRow = false;
        endRemoveRows();
    }
    if (count < m_count) {
        beginRemoveRows(QModelIndex(), count, m_count - 1);
        m_count = count;
        endRemoveRows();
    } else if (count > m_count) {
        beginInsertRows(QModelIndex(), m_count, count - 1);
        m_count = count;
        endInsertRows();
    }
    // What the grid read while rows came and went was read from a list half changed.
    m_pages.clear();
    if (rowCount() > 0 && !m_titles.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, int(m_titles.size()) - 1));
}

void ListModel::setRows(const std::vector<List::Column> &columns, const QList<QVariantList> &rows)
{
    fill(columns, rows, true);
}

void ListModel::showColumnsOnly(const std::vector<List::Column> &columns)
{
    fill(columns, {}, false);
}

void ListModel::fill(const std::vector<List::Column> &columns, const QList<QVariantList> &rows,
                     bool asList)
{
    stopSorting();
    m_query = List::Query();
    beginResetModel();
    m_titles.clear();
    m_kinds.clear();
    for (const List::Column &c : columns) {
        m_titles << c.alias;
        m_kinds << c.kind;
    }
    m_count = int(rows.size());
    m_counted = true;
    m_blankRow = false;
    m_pages.clear();
    for (int first = 0; first < m_count; first += PageSize)
        m_pages.insert(first / PageSize, rows.mid(first, PageSize));
    m_listed = asList;
    endResetModel();
    emit listed();
}

void ListModel::reload()
{
    if (isComputed())
        return;
    stopSorting();
    std::optional<QList<QVariantList>> read;
    try {
        m_changesSeen = totalChanges();
        // The first page and one row more: the row more tells whether the list is
        // longer than a page; a longer list is counted when something needs its end.
        read = readRows(0, PageSize + 1, false);
    } catch (const DbError &) {
        showRows(0, true);
        m_listed = false;
        emit listed();
        throw;
    }
    m_listed = true;
    if (!read) {
        sortAside();
        emit listed();
        return;
    }
    QList<QVariantList> &firstPage = *read;
    const bool counted = firstPage.size() <= PageSize;
    if (!counted)
        firstPage.removeLast();
    showRows(int(firstPage.size()), counted);
    m_pages.insert(0, firstPage);
    emit listed();
}

void ListModel::countRows()
{
    int count = m_count;
    try {
        count = within(QStringLiteral("count(*)")).scalar().toInt();
    } catch (const DbError &e) {
        qWarning("list not counted: %s", qPrintable(e.message()));
    }
    // A row being entered stays the last one.
    showRows(count, true, true);
}

int ListModel::totalRows()
{
    if (!m_counted)
        countRows();
    return m_count;
}

bool ListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_counted;
}

void ListModel::fetchMore(const QModelIndex &parent)
{
    if (canFetchMore(parent))
        countRows();
}

bool ListModel::isUpToDate() const
{
    try {
        return totalChanges() == m_changesSeen;
    } catch (const DbError &) {
        return false;
    }
}

bool ListModel::isListed(const QString &keyAlias, const QVariant &key) const
{
    return within(QStringLiteral("count(*)"),
                  Sql(List::quoted(keyAlias) + QStringLiteral("=?"), {key}))
               .scalar()
               .toInt() > 0;
}

void ListModel::rowWritten(const QString &keyAlias, const QVariant &key, bool wasListed,
                           bool wasUpToDate)
{
    if (!wasUpToDate || key.isNull() || m_keyed || isSorting()) {
        reload();
        return;
    }
    const int change = int(isListed(keyAlias, key)) - int(wasListed);
    m_changesSeen = totalChanges();
    showRows(std::max(0, m_count + change), m_counted);
    emit listed();
}

int ListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count + int(m_blankRow);
}

int ListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_titles.size());
}

std::optional<QList<QVariantList>> ListModel::readRows(int offset, int count, bool reversed) const
{
    Sql sql = within(QStringLiteral("*"));
    sql.add(orderClause(reversed) + QStringLiteral(" limit ? offset ?"), {count, offset});
    const bool budgeted = canSortAside();
    std::optional<ProgressCheck> check;
    if (budgeted)
        check.emplace(Connection::current(), ProgressCheck::afterSteps(g_stepBudget));
    QList<QVariantList> rows;
    try {
        QSqlQuery query = sql.exec();
        while (query.next()) {
            QVariantList row;
            row.reserve(m_titles.size());
            for (int c = 0; c < m_titles.size(); ++c)
                row << query.value(c);
            rows << row;
        }
    } catch (const DbError &) {
        if (!check || !check->stopped())
            throw;
    }
    if (check && check->stopped())
        return std::nullopt;
    if (reversed)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

QList<QVariantList> ListModel::readByKeys(const std::vector<qint64> &keys) const
{
    // The keys as a table of their own, each joined to its row through the
    // table's key: no index over the whole list is walked for a page.
    Sql sql(QStringLiteral("with k(id) as (values "));
    for (std::size_t i = 0; i < keys.size(); ++i)
        sql.add(i == 0 ? QStringLiteral("(?)") : QStringLiteral(",(?)"), {keys[i]});
    sql.add(QStringLiteral(") select t.* from k join ("));
    sql += m_query.select;
    sql.add(QStringLiteral(") t on t.%1 = k.id").arg(List::quoted(List::KeyAlias)));
    QSqlQuery query = sql.exec();
    const int keyColumn = column(List::KeyAlias);
    QHash<qint64, QVariantList> found;
    while (query.next()) {
        QVariantList row;
        row.reserve(m_titles.size());
        for (int c = 0; c < m_titles.size(); ++c)
            row << query.value(c);
        found.insert(row.at(keyColumn).toLongLong(), row);
    }
    QList<QVariantList> rows;
    for (qint64 key : keys)
        rows << found.value(key, QVariantList(m_titles.size()));
    return rows;
}

bool ListModel::canSortAside() const
{
    return !isComputed() && m_titles.contains(List::KeyAlias);
}

void ListModel::sortAside()
{
    showRows(0, true);
    Sql keys = within(List::quoted(List::KeyAlias));
    keys.add(orderClause(false));
    m_sorter = new KeySorter(Workspace::instance()->databasePath(), keys);
    connect(m_sorter, &KeySorter::done, this, &ListModel::keysSorted);
    emit sortingChanged(true);
}

void ListModel::keysSorted()
{
    KeySorter *sorter = std::exchange(m_sorter, nullptr);
    sorter->deleteLater();
    if (!sorter->failure().isEmpty()) {
        // Shown as an empty list, as a failed page is; the next reload says why.
        qWarning("list not sorted: %s", qPrintable(sorter->failure()));
        emit sortingChanged(false);
        return;
    }
    m_keys = sorter->keys();
    m_keyed = true;
    // A row being entered meanwhile stays the last one.
    showRows(int(m_keys.size()), true, true);
    emit sortingChanged(false);
}

void ListModel::stopSorting()
{
    m_keyed = false;
    m_keys = {};
    m_sortAsideDue = false;
    if (m_sorter) {
        delete std::exchange(m_sorter, nullptr);
        emit sortingChanged(false);
    }
}

void ListModel::readPage(int page) const
{
    if (isComputed())
        return;
    if (m_pages.size() >= MaxPages)
        m_pages.clear();
    const int first = page * PageSize;
    const int end = std::min(first + PageSize, m_count);
    // The rows after the middle are read from the end backwards: the database
    // then skips fewer rows, and the last page costs no more than the first.
    const bool fromEnd = m_counted && first > m_count / 2;
    try {
        std::optional<QList<QVariantList>> rows;
        if (m_keyed)
            rows = readByKeys({m_keys.begin() + first, m_keys.begin() + end});
        else
            rows = readRows(fromEnd ? m_count - end : first, end - first, fromEnd);
        m_pages[page] = rows.value_or(QList<QVariantList>());
        // Too slow to read this way: sorted aside once the grid is done painting.
        if (!rows && !std::exchange(m_sortAsideDue, true)) {
            auto *self = const_cast<ListModel *>(this);
            QTimer::singleShot(0, self, [self] {
                if (std::exchange(self->m_sortAsideDue, false))
                    self->sortAside();
            });
        }
    } catch (const DbError &e) {
        // Shown as empty rows; the next reload reports what is wrong.
        m_pages[page].clear();
        qWarning("list page not read: %s", qPrintable(e.message()));
    }
}

const QVariantList *ListModel::rowAt(int row) const
{
    if (row < 0 || row >= m_count)
        return nullptr;
    const int page = row / PageSize;
    if (!m_pages.contains(page))
        readPage(page);
    const QList<QVariantList> &rows = m_pages[page];
    const int at = row % PageSize;
    return at < rows.size() ? &rows[at] : nullptr;
}

QVariant ListModel::value(int row, const QString &alias) const
{
    const int c = column(alias);
    const QVariantList *values = c < 0 ? nullptr : rowAt(row);
    return values ? values->at(c) : QVariant();
}

QString ListModel::text(int row, const QString &alias) const
{
    return Figures::text(m_kinds.value(column(alias)), value(row, alias));
}

QString ListModel::editText(int row, const QString &alias) const
{
    const QVariant v = value(row, alias);
    if (v.isNull())
        return QString();
    return isMoney(column(alias)) ? Money::fromVariant(v).toEditable() : v.toString();
}

QVariant ListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_titles.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return text(index.row(), m_titles[index.column()]);
    if (role == Qt::TextAlignmentRole && isNumber(index.column()))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole &&
        Figures::isNegative(kind(index.column()), value(index.row(), m_titles[index.column()])))
        return Figures::negativeColor();
    return QVariant();
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < m_titles.size()) {
        if (role == Qt::DisplayRole)
            return m_titles[section];
        if (role == Qt::TextAlignmentRole && isNumber(section))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool ListModel::isNumber(int column) const
{
    const List::Kind kind = m_kinds.value(column);
    return kind == List::Kind::Money || kind == List::Kind::Count || kind == List::Kind::Ratio;
}

bool ListModel::isSummed(int column) const
{
    const List::Kind kind = m_kinds.value(column);
    return kind == List::Kind::Money || kind == List::Kind::Count;
}

QList<int> ListModel::summedColumns() const
{
    QList<int> columns;
    for (int c = 0; c < m_titles.size(); ++c)
        if (isSummed(c))
            columns << c;
    return columns;
}

std::optional<Sql> ListModel::totalsStatement() const
{
    if (isComputed() || !m_listed)
        return std::nullopt;
    QStringList figures{QStringLiteral("count(*)")};
    for (int c : summedColumns())
        figures << QStringLiteral("sum(%1)").arg(List::quoted(m_titles[c]));
    return within(figures.join(QLatin1Char(',')));
}

std::optional<QVariantList> ListModel::computedTotals() const
{
    if (!isComputed() || !m_listed)
        return std::nullopt;
    const QList<int> summed = summedColumns();
    QVariantList totals{qlonglong(m_count)};
    for (int c : summed) {
        // The sum of no rows is empty, as the database gives it.
        QVariant sum;
        for (int row = 0; row < m_count; ++row)
            if (const QVariantList *values = rowAt(row); values && !values->at(c).isNull())
                sum = sum.toLongLong() + values->at(c).toLongLong();
        totals << sum;
    }
    return totals;
}

int ListModel::placeOf(const QString &keyAlias, const QVariant &key) const
{
    if (m_keyed && keyAlias == List::KeyAlias) {
        const auto at = std::find(m_keys.begin(), m_keys.end(), key.toLongLong());
        return at == m_keys.end() ? -1 : int(at - m_keys.begin());
    }
    const std::vector<List::OrderTerm> terms = m_query.orderTerms();
    QStringList columns;
    for (const List::OrderTerm &t : terms)
        columns << List::quoted(t.column);
    const Sql byKey(List::quoted(keyAlias) + QStringLiteral("=?"), {key});
    QSqlQuery found = within(columns.join(QLatin1Char(',')), byKey).exec();
    if (!found.next())
        return -1;
    // The rows before it: those that come earlier on the first term, those equal
    // on the first and earlier on the second, and so on. Each count is a range
    // of the index the list is ordered by.
    int before = 0;
    Sql equal;
    for (int i = 0; i < int(terms.size()); ++i) {
        const QString name = List::quoted(terms[i].column);
        const QVariant v = found.value(i);
        QList<Sql> earlier;
        // NULL comes first in ascending order.
        if (v.isNull())
            earlier << Sql(terms[i].descending ? name + QStringLiteral(" is not null") : QString());
        else if (terms[i].descending)
            earlier << Sql(name + QStringLiteral(">?"), {v});
        else
            earlier << Sql(name + QStringLiteral("<?"), {v})
                    << Sql(name + QStringLiteral(" is null"));
        for (const Sql &condition : earlier)
            if (!condition.isEmpty())
                before += within(QStringLiteral("count(*)"), equal + condition).scalar().toInt();
        equal += v.isNull() ? Sql(name + QStringLiteral(" is null and "))
                            : Sql(name + QStringLiteral("=? and "), {v});
    }
    return before;
}

int ListModel::rowOf(const QString &keyAlias, const QVariant &key) const
{
    const int c = column(keyAlias);
    if (c < 0 || key.isNull())
        return -1;
    for (auto page = m_pages.cbegin(); page != m_pages.cend(); ++page)
        for (int i = 0; i < page->size(); ++i)
            if (page->at(i).at(c) == key)
                return page.key() * PageSize + i;
    try {
        const int row = placeOf(keyAlias, key);
        return row < m_count || !m_counted ? row : -1;
    } catch (const DbError &) {
        return -1;
    }
}

int ListModel::appendBlankRow()
{
    if (!m_blankRow) {
        beginInsertRows(QModelIndex(), m_count, m_count);
        m_blankRow = true;
        endInsertRows();
    }
    return m_count;
}

void ListModel::removeRowAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    if (m_blankRow && row == m_count) {
        m_blankRow = false;
    } else {
        // The rows after it move up: every page is read again when shown.
        --m_count;
        m_pages.clear();
    }
    endRemoveRows();
}
