#pragma once

#include "data/Sql.h"

#include <QSet>
#include <QString>
#include <vector>

namespace List {

enum class Kind
{
    Text,   // shown as the database holds it
    Money,  // a stored amount (ten-thousandths), shown as money
    Hidden, // read but not shown
};

// One result column of a list statement: "name as alias". The name may be any
// expression ("sum(IMoney)"); the alias is its title. Amounts are declared here,
// where the statement is written, so that computed amounts show as money too.
struct Column
{
    QString name{};
    QString alias{};
    Kind kind = Kind::Text;
    int width = 0; // in a grid; 0 takes the window's default
};

// One term of a list's order: a result column and its direction.
struct OrderTerm
{
    QString column;
    bool descending = false;
};

// A list statement: the select without its order, the order by result columns,
// and which result columns hold stored amounts. The order must tell every two
// rows apart (end it with a key), so that reading it backwards gives the list
// from its end and a row's place can be counted.
struct Query
{
    Sql select{};
    QString order{};       // "日期 desc, ID desc"
    QSet<QString> money{}; // result columns holding amounts
    std::vector<OrderTerm> orderTerms() const;
};

// "select <name as alias, ...> from <from>" for these columns; the caller adds
// the conditions and a group-by.
Sql selectColumns(const std::vector<Column> &columns, const QString &from);
// The aliases of the columns declared Money.
QSet<QString> moneyAliases(const std::vector<Column> &columns);
// An alias or result column as an SQL identifier: "日期" -> "\"日期\"".
QString quoted(const QString &name);

} // namespace List
