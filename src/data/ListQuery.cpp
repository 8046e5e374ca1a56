#include "data/ListQuery.h"

#include <QStringList>

namespace List {

namespace {

// "select <name as alias, ...> from <from>" for these columns.
Sql selectColumns(const std::vector<Column> &columns, const QString &from)
{
    QStringList list;
    for (const Column &c : columns)
        list << (c.name == c.alias ? c.name : c.name + QStringLiteral(" as ") + quoted(c.alias));
    return Sql(QStringLiteral("select ") + list.join(QLatin1Char(',')) + QStringLiteral(" from ") +
               from);
}

// The kinds of the columns shown other than as text.
QHash<QString, Kind> shownKinds(const std::vector<Column> &columns)
{
    QHash<QString, Kind> kinds;
    for (const Column &c : columns)
        if (c.kind != Kind::Text && c.kind != Kind::Hidden)
            kinds.insert(c.alias, c.kind);
    return kinds;
}

} // namespace

std::vector<OrderTerm> Query::orderTerms() const
{
    std::vector<OrderTerm> terms;
    for (const QString &piece : order.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QStringList words = piece.simplified().split(QLatin1Char(' '));
        bool descending = false;
        if (words.size() > 1) {
            descending = words.last().compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
            words.removeLast();
        }
        terms.push_back({words.join(QLatin1Char(' ')), descending});
    }
    return terms;
}

QString quoted(const QString &name)
{
    QString text = name;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

Query listing(const std::vector<Column> &columns, const QString &from)
{
    Query query{selectColumns(columns, from), QString(), shownKinds(columns), {}};
    for (const Column &c : columns)
        query.titles << c.alias;
    return query;
}

} // namespace List
