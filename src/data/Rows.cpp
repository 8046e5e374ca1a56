#include "data/Rows.h"

#include "data/Schema.h"
#include "data/Sql.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace Rows {

namespace {

bool hasBookColumn(const QString &table)
{
    const Schema::Table *t = Schema::table(table);
    if (!t || table == QLatin1String("SBook"))
        return false;
    for (const Schema::Column &c : t->columns)
        if (qstrcmp(c.name, "BName") == 0)
            return true;
    return false;
}

void checkBook(const QString &table, const QVariantMap &row, bool inserting)
{
    const auto book = row.find(QStringLiteral("BName"));
    const bool named = book != row.end() && !book->toString().trimmed().isEmpty();
    // An update that leaves BName alone keeps the book the row has.
    if (hasBookColumn(table) && !named && (inserting || book != row.end()))
        throw DbError(noBookMessage());
}

} // namespace

QString noBookMessage()
{
    return QStringLiteral("没有打开的帐簿，不能保存！请先打开帐簿。");
}

void giveIdentity(const QString &table, QVariantMap &row)
{
    const QString column = QStringLiteral("SyncID");
    if (Schema::hasSyncId(table) && row.value(column).toString().isEmpty())
        row[column] = Schema::newSyncId();
}

QVariant insert(const QString &table, const QVariantMap &row)
{
    checkBook(table, row, true);
    QVariantMap written = row;
    giveIdentity(table, written);
    const QStringList columns = written.keys();
    const QStringList marks(columns.size(), QStringLiteral("?"));
    return Sql(QStringLiteral("insert into %1 (%2) values (%3)")
                   .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
               written.values())
        .insert();
}

int update(const QString &table, const QVariantMap &row, const QVariant &key)
{
    checkBook(table, row, false);
    return Sql(QStringLiteral("update %1 set %2=? where ID=?")
                   .arg(table, row.keys().join(QStringLiteral("=?,"))),
               row.values() << key)
        .exec()
        .numRowsAffected();
}

QVariantMap current(QSqlQuery &query)
{
    QVariantMap row;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        row[record.fieldName(i)] = query.value(i);
    return row;
}

QVariantMap read(const QString &table, const QVariant &key)
{
    QSqlQuery query = Sql(QStringLiteral("select * from %1 where ID=?").arg(table), {key}).exec();
    return query.next() ? current(query) : QVariantMap();
}

QVariantMap readByIdentity(const QString &table, const QString &identity)
{
    QSqlQuery query =
        Sql(QStringLiteral("select * from %1 where SyncID=? limit 1").arg(table), {identity})
            .exec();
    return query.next() ? current(query) : QVariantMap();
}

} // namespace Rows
