#include "data/FileDatabase.h"

#include "data/Background.h"
#include "data/Sql.h"

#include <QUuid>
#include <sqlite3.h>

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

DbError sqliteFailure(sqlite3 *db, int resultCode, const QString &notDone)
{
    const char *message =
        db && sqlite3_errcode(db) != SQLITE_OK ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
    return DbError::fromSqlite(resultCode, QString::fromUtf8(message), notDone);
}

namespace {

// Pages copied per backup step: the read lock on the data file is taken for one
// step at a time, so that a save of the program waits for one step at most (a few
// milliseconds); a save between two steps makes the copy start over.
constexpr int PagesPerStep = 1024;
// How often a step that found the file locked is tried again, 50 ms apart.
constexpr int BusyRetries = 100;

} // namespace

void copyDatabase(sqlite3 *from, sqlite3 *to, const QString &notDone, Background::Context &work)
{
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        throw sqliteFailure(to, sqlite3_errcode(to), notDone);
    int stepped = SQLITE_OK;
    for (int busy = 0; !work.isCancelled();) {
        stepped = sqlite3_backup_step(backup, PagesPerStep);
        if (const int total = sqlite3_backup_pagecount(backup); total > 0)
            work.progress(int(100LL * (total - sqlite3_backup_remaining(backup)) / total));
        if ((stepped == SQLITE_BUSY || stepped == SQLITE_LOCKED) && ++busy <= BusyRetries) {
            sqlite3_sleep(50);
            continue;
        }
        if (stepped != SQLITE_OK)
            break;
        busy = 0;
    }
    const int finished = sqlite3_backup_finish(backup);
    work.checkCancelled();
    if (stepped != SQLITE_DONE)
        throw sqliteFailure(to, stepped, notDone);
    if (finished != SQLITE_OK)
        throw sqliteFailure(to, finished, notDone);
}
