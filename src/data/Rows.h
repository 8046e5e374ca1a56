#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

class QSqlQuery;

// Writing one row of a table from its column values (column name -> value).
// A row of a book's table (one with a BName column) is refused when it names no
// book, so that nothing is ever stored where no book would list it again.
namespace Rows {

// Said when a book's row would be written while no book is open.
QString noBookMessage();

// Gives a row of a table whose rows travel between computers its identity
// (SyncID) when it has none yet.
void giveIdentity(const QString &table, QVariantMap &row);

// Both throw DbError (insert gives the row its identity first). insert returns the new row's key;
// update the number of rows written (0: the key is gone).
QVariant insert(const QString &table, const QVariantMap &row);
int update(const QString &table, const QVariantMap &row, const QVariant &key);
// The query's current row, column by column.
QVariantMap current(QSqlQuery &query);
// The stored row of that key, column by column; empty when there is none.
QVariantMap read(const QString &table, const QVariant &key);
// The stored row with that identity (SyncID); empty when there is none.
QVariantMap readByIdentity(const QString &table, const QString &identity);

} // namespace Rows
