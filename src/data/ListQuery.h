#pragma once

#include "data/Sql.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace List {

enum class Kind
{
    Text,   // shown as the database holds it
    Money,  // a stored amount (ten-thousandths), shown as money
    Count,  // a whole number, shown on the right
    Ratio,  // a ratio kept in amount units (0.75 is 7500), shown as a percentage ("75.0%")
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
// how result columns other than text are shown and, when the statement is written
// from declared columns, their names (a list then needs no statement to learn
// them). The order must tell every two rows apart (end it with a key), so that
// reading it backwards gives the list from its end and a row's place can be
// counted.
struct Query
{
    Sql select{};
    QString order{};              // "日期 desc, ID desc"
    QHash<QString, Kind> kinds{}; // result columns shown other than as text (amounts, counts)
    QStringList titles{};         // the result columns in order; empty: as the statement says
    std::vector<OrderTerm> orderTerms() const;
};

// The statement listing these columns from `from`, their titles and amounts
// declared; the caller adds the conditions, a group-by and the order.
Query listing(const std::vector<Column> &columns, const QString &from);
// An alias or result column as an SQL identifier: "日期" -> "\"日期\"".
QString quoted(const QString &name);

} // namespace List
