#include "data/Transaction.h"

#include "data/Background.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"

#include <QHash>
#include <QSqlError>
#include <sqlite3.h>

namespace {

// How many transactions are open on each connection. A connection is used on the
// thread that opened it only, so each thread counts its own.
QHash<QString, int> &openTransactions()
{
    thread_local QHash<QString, int> depths;
    return depths;
}

} // namespace

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    int &depth = openTransactions()[m_db.connectionName()];
    m_depth = depth;
    if (m_depth == 0) {
        // The write lock is taken at the start: a transaction that read first and
        // asked for it later would be refused at once, without waiting, while a
        // worker of this program writes (SQLite waits only for a lock asked for
        // before anything is read). Taken at once, it waits for the worker to give way.
        Sql(QStringLiteral("BEGIN IMMEDIATE")).exec(m_db);
    } else {
        Sql(QStringLiteral("SAVEPOINT ") + savepoint()).exec(m_db);
    }
    ++depth;
    m_open = true;
}

Transaction::Transaction() : Transaction(TfrmDM::instance()->database())
{
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    --openTransactions()[m_db.connectionName()];
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

void Transaction::rollBack()
{
    // SQLite may have rolled back already (a full disk): a second ROLLBACK would fail.
    try {
        if (!sqlite3_get_autocommit(Background::handleOf(m_db)))
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
    } else {
        try {
            Sql(QStringLiteral("COMMIT")).exec(m_db);
        } catch (const DbError &) {
            rollBack();
            m_open = false;
            --openTransactions()[m_db.connectionName()];
            throw;
        }
    }
    m_open = false;
    --openTransactions()[m_db.connectionName()];
}
