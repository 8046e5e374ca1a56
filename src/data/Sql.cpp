#include "data/Sql.h"

#include "data/Connection.h"

#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <atomic>
#include <sqlite3.h>
#include <utility>

namespace {
// Statements run on worker threads are recorded too.
std::atomic<bool> g_recording = false;
QMutex g_recordedLock;
QList<SqlRecording::Statement> g_recorded;

void record(const QString &text, const QVariantList &values)
{
    const QMutexLocker locker(&g_recordedLock);
    g_recorded.append({text, values});
}
} // namespace

void SqlRecording::start()
{
    const QMutexLocker locker(&g_recordedLock);
    g_recorded.clear();
    g_recording = true;
}

QList<SqlRecording::Statement> SqlRecording::stop()
{
    const QMutexLocker locker(&g_recordedLock);
    g_recording = false;
    return std::exchange(g_recorded, {});
}

DbError::DbError(const QString &message) : std::runtime_error(message.toStdString())
{
}

namespace {

// SQLite's primary result codes that have a cause the user can act on.
enum SqliteCode
{
    Busy = 5,
    Locked = 6,
    ReadOnly = 8,
    IoError = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADatabase = 26,
};

std::atomic<int> g_ownWork{0};

QString causeOf(int resultCode, const QString &text)
{
    const int code = resultCode & 0xff;
    if (code == Full || text.contains(QLatin1String("disk is full")))
        return QStringLiteral("磁盘空间已满。请腾出磁盘空间后再试。");
    if (code == ReadOnly || text.contains(QLatin1String("readonly")))
        return QStringLiteral("数据文件是只读的，或它所在的文件夹不能写入。");
    if (code == Corrupt || code == NotADatabase || text.contains(QLatin1String("malformed")))
        return QStringLiteral("数据文件已损坏。请用“数据恢复”从备份恢复。");
    if ((code == Busy || code == Locked) && g_ownWork.load() > 0)
        return QStringLiteral("本程序正在后台处理数据文件（备份、检查或导入），没有及时让出。"
                              "请稍后再试。");
    if (code == Busy || code == Locked)
        return QStringLiteral("数据文件正被其他程序占用。请稍后再试。");
    if (code == IoError || code == CantOpen)
        return QStringLiteral("读写数据文件时磁盘出错。");
    if (text.contains(QLatin1String("integer overflow")))
        return QStringLiteral("金额合计太大，超出了能精确计算的范围。");
    return QStringLiteral("数据库出错。");
}

// What was not done, why, and the database's own text below.
DbError said(const QString &notDone, const QString &cause, const QString &original)
{
    return DbError(notDone + QStringLiteral("：") + cause + QStringLiteral("\n\n") +
                   original.trimmed());
}

bool isReading(const QString &statement)
{
    const QString start = statement.trimmed().section(QLatin1Char(' '), 0, 0).toLower();
    return start == QLatin1String("select") || start == QLatin1String("with") ||
           (start == QLatin1String("pragma") && !statement.contains(QLatin1Char('=')));
}

} // namespace

void DbError::ownWorkStarted()
{
    ++g_ownWork;
}

void DbError::ownWorkEnded()
{
    --g_ownWork;
}

DbError DbError::fromDatabase(const QSqlError &error, bool writing)
{
    const QString what = writing ? QStringLiteral("数据没有保存") : QStringLiteral("数据没有读出");
    return said(what, causeOf(error.nativeErrorCode().toInt(), error.databaseText()), error.text());
}

DbError DbError::fromSqlite(int resultCode, const QString &message, const QString &notDone)
{
    return said(notDone, causeOf(resultCode, message), message);
}

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    if (!db.isOpen())
        throw DbError(QStringLiteral("数据库没有打开。"));
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DbError(QStringLiteral("数据库连接不是 SQLite 连接。"));
    sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.constData());
    if (!raw)
        throw DbError(QStringLiteral("数据库没有打开。"));
    return raw;
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

namespace {

thread_local SqlReuse *t_reuse = nullptr;

} // namespace

SqlReuse::SqlReuse() : m_outer(t_reuse)
{
    t_reuse = this;
}

SqlReuse::~SqlReuse()
{
    t_reuse = m_outer;
    for (sqlite3_stmt *statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
}

namespace {

// A value bound as Qt's SQLite driver binds it: a null QString is NULL.
void bindValue(sqlite3_stmt *statement, int at, const QVariant &value)
{
    if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isNull())) {
        sqlite3_bind_null(statement, at);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(statement, at, value.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(statement, at, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(statement, at, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        return;
    }
    default: {
        // As UTF-8, the file's encoding: SQLite need not convert it again.
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(statement, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

DbError notSaved(sqlite3 *handle)
{
    return DbError::fromSqlite(sqlite3_extended_errcode(handle),
                               QString::fromUtf8(sqlite3_errmsg(handle)),
                               QStringLiteral("数据没有保存"));
}

} // namespace

QSqlQuery Sql::exec(const QSqlDatabase &db) const
{
    if (!db.isOpen())
        throw DbError(QStringLiteral("数据库没有打开。"));
    if (g_recording)
        record(m_text, m_values);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(m_text))
        throw DbError::fromDatabase(query.lastError(), !isReading(m_text));
    for (const QVariant &value : m_values)
        query.addBindValue(value);
    if (!query.exec())
        throw DbError::fromDatabase(query.lastError(), !isReading(m_text));
    return query;
}

QSqlQuery Sql::exec() const
{
    return exec(Connection::current());
}

QVariant Sql::insert() const
{
    const QSqlDatabase db = Connection::current();
    if (!t_reuse)
        return exec(db).lastInsertId();
    if (g_recording)
        record(m_text, m_values);
    sqlite3 *handle = sqliteHandle(db);
    sqlite3_stmt *&statement = t_reuse->m_statements[db.connectionName() + QChar(0x1F) + m_text];
    if (!statement &&
        sqlite3_prepare16_v2(handle, m_text.utf16(), -1, &statement, nullptr) != SQLITE_OK) {
        const DbError error = notSaved(handle);
        t_reuse->m_statements.remove(db.connectionName() + QChar(0x1F) + m_text);
        throw error;
    }
    sqlite3_reset(statement);
    for (int i = 0; i < m_values.size(); ++i)
        bindValue(statement, i + 1, m_values.at(i));
    if (sqlite3_step(statement) != SQLITE_DONE) {
        const DbError error = notSaved(handle);
        sqlite3_reset(statement);
        throw error;
    }
    sqlite3_reset(statement);
    return qlonglong(sqlite3_last_insert_rowid(handle));
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
