#include "data/Transaction.h"

#include "data/Connection.h"
#include "data/Sql.h"

#include <QHash>
#include <sqlite3.h>
#include <utility>

namespace {

// The transactions open on a connection, and what is to run once the outermost
// commits. A connection is used on the thread that opened it only, so each
// thread keeps its own.
struct Open
{
    int depth = 0;
    std::vector<std::function<void()>> afterCommit;
};

Open &openOn(const QSqlDatabase &db)
{
    thread_local QHash<QString, Open> open;
    return open[db.connectionName()];
}

} // namespace

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    Open &open = openOn(m_db);
    m_depth = open.depth;
    m_laterMark = open.afterCommit.size();
    if (m_depth == 0) {
        // The write lock is taken at the start: a transaction that read first and
        // asked for it later would be refused at once, without waiting, while a
        // worker of this program writes (SQLite waits only for a lock asked for
        // before anything is read). Taken at once, it waits for the worker to give way.
        Sql(QStringLiteral("BEGIN IMMEDIATE")).exec(m_db);
    } else {
        Sql(QStringLiteral("SAVEPOINT ") + savepoint()).exec(m_db);
    }
    ++open.depth;
    m_open = true;
}

Transaction::Transaction() : Transaction(Connection::current())
{
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    close();
    // What was to follow this work's commit follows nothing now.
    openOn(m_db).afterCommit.resize(m_laterMark);
    if (m_depth == 0) {
        rollBack();
        return;
    }
    try {
        Sql(QStringLiteral("ROLLBACK TO ") + savepoint()).exec(m_db);
        Sql(QStringLiteral("RELEASE ") + savepoint()).exec(m_db);
    } catch (const DbError &) {
        // The outer transaction, rolled back in its turn, undoes this work too.
    }
}

void Transaction::close()
{
    m_open = false;
    --openOn(m_db).depth;
}

void Transaction::rollBack()
{
    // SQLite may have rolled back already (a full disk): a second ROLLBACK would fail.
    try {
        if (!sqlite3_get_autocommit(sqliteHandle(m_db)))
            Sql(QStringLiteral("ROLLBACK")).exec(m_db);
    } catch (const DbError &) {
        // The connection is gone or refuses; SQLite's journal undoes it when reopened.
    }
}

QString Transaction::savepoint() const
{
    return QStringLiteral("inner%1").arg(m_depth);
}

void Transaction::commit()
{
    if (m_depth > 0) {
        Sql(QStringLiteral("RELEASE ") + savepoint()).exec(m_db);
        close();
        return;
    }
    try {
        Sql(QStringLiteral("COMMIT")).exec(m_db);
    } catch (const DbError &) {
        openOn(m_db).afterCommit.clear();
        rollBack();
        close();
        throw;
    }
    close();
    for (const auto &later : std::exchange(openOn(m_db).afterCommit, {}))
        later();
}

void Transaction::afterCommit(const QSqlDatabase &db, std::function<void()> later)
{
    Open &open = openOn(db);
    if (open.depth == 0)
        later();
    else
        open.afterCommit.push_back(std::move(later));
}
