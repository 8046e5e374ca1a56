#include "data/Transaction.h"

#include "data/Sql.h"
#include "data/TfrmDM.h"

#include <QSqlError>

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    if (!m_db.transaction())
        throw DbError(m_db.lastError().text());
    m_open = true;
}

Transaction::Transaction() : Transaction(TfrmDM::instance()->database())
{
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

void Transaction::commit()
{
    if (!m_db.commit()) {
        const QString message = m_db.lastError().text();
        m_db.rollback();
        m_open = false;
        throw DbError(message);
    }
    m_open = false;
}
