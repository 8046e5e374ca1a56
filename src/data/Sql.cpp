#include "data/Sql.h"

#include "data/TfrmDM.h"

#include <QSqlError>
#include <utility>

namespace {
bool g_recording = false;
QList<SqlRecording::Statement> g_recorded;
} // namespace

void SqlRecording::start()
{
    g_recorded.clear();
    g_recording = true;
}

QList<SqlRecording::Statement> SqlRecording::stop()
{
    g_recording = false;
    return std::exchange(g_recorded, {});
}

DbError::DbError(const QString &message) : std::runtime_error(message.toStdString())
{
}

Sql::Sql(QString text, QVariantList values) : m_text(std::move(text)), m_values(std::move(values))
{
}

Sql &Sql::add(const QString &piece, const QVariantList &values)
{
    m_text += piece;
    m_values += values;
    return *this;
}

Sql &Sql::add(const Sql &other)
{
    return add(other.m_text, other.m_values);
}

Sql operator+(Sql left, const Sql &right)
{
    return left.add(right);
}

QSqlQuery Sql::exec(const QSqlDatabase &db) const
{
    if (!db.isOpen())
        throw DbError(QStringLiteral("数据库没有打开。"));
    if (g_recording)
        g_recorded.append({m_text, m_values});
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(m_text))
        throw DbError(query.lastError().text());
    for (const QVariant &value : m_values)
        query.addBindValue(value);
    if (!query.exec())
        throw DbError(query.lastError().text());
    return query;
}

QSqlQuery Sql::exec() const
{
    return exec(TfrmDM::instance()->database());
}

QVariant Sql::scalar() const
{
    QSqlQuery query = exec();
    return query.next() ? query.value(0) : QVariant();
}

bool Sql::hasRows() const
{
    return exec().next();
}
