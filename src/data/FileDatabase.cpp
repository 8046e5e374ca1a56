#include "data/FileDatabase.h"

#include <QUuid>

FileDatabase::FileDatabase(const QString &path, Mode mode)
    : m_name(QStringLiteral("file-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    if (mode == ReadOnly)
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    m_db.open();
}

FileDatabase::~FileDatabase()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}
