#include "data/Transaction.h"

#include "data/Sql.h"
#include "data/TfrmDM.h"

#include <QHash>
#include <QSqlError>

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
        if (!m_db.transaction())
            throw DbError::fromDatabase(m_db.lastError(), true);
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
        m_db.rollback();
        return;
    }
    try {
        Sql(QStringLiteral("ROLLBACK TO ") + savepoint()).exec(m_db);
        Sql(QStringLiteral("RELEASE ") + savepoint()).exec(m_db);
    } catch (const DbError &) {
        // The outer transaction, rolled back in its turn, undoes this work too.
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
    } else if (!m_db.commit()) {
        const QSqlError error = m_db.lastError();
        m_db.rollback();
        m_open = false;
        --openTransactions()[m_db.connectionName()];
        throw DbError::fromDatabase(error, true);
    }
    m_open = false;
    --openTransactions()[m_db.connectionName()];
}
