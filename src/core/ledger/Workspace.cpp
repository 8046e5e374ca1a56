#include "core/ledger/Workspace.h"

#include "core/ledger/Upgrade.h"
#include "data/Background.h"
#include "data/Dates.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace {
Workspace *g_instance = nullptr;
} // namespace

Workspace::Workspace(QObject *parent) : QObject(parent), m_provide([this] { return database(); })
{
    setObjectName(QStringLiteral("TfrmDM"));
    Q_ASSERT(!g_instance);
    g_instance = this;
    static int connectionCounter = 0;
    m_connectionName = QStringLiteral("qinghebu-%1").arg(++connectionCounter);
    m_dataDir = resolveDataDir();
    openDatabase();
}

Workspace::~Workspace()
{
    // Work on the data file stops first: a backup cut off leaves no file behind.
    Background::finishAll();
    closeDatabase();
    if (g_instance == this)
        g_instance = nullptr;
}

Workspace *Workspace::instance()
{
    return g_instance;
}

QString Workspace::resolveDataDir()
{
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data-dir") && i + 1 < args.size())
            return QDir(args[i + 1]).absolutePath();
        if (args[i].startsWith(QLatin1String("--data-dir=")))
            return QDir(args[i].mid(11)).absolutePath();
    }
    const QString fromEnv = qEnvironmentVariable("QINGHEBU_DATA_DIR");
    if (!fromEnv.isEmpty())
        return QDir(fromEnv).absolutePath();
    const QString portable = QCoreApplication::applicationDirPath() + QStringLiteral("/Data");
    if (QFileInfo(portable).isDir())
        return portable;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString Workspace::databasePath() const
{
    return m_dataDir + QLatin1Char('/') + databaseFileName();
}

QSqlDatabase Workspace::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool Workspace::isOpen() const
{
    return database().isOpen();
}

namespace {

// A file that holds no table and that no program has marked as its own: a new file,
// or one whose creation a crash cut off. Reading it has by then rolled back what the
// crash left half done (SQLite's journal), so the creation can simply run again.
bool holdsNothing(const QSqlDatabase &db)
{
    const auto number = [&db](const char *statement) {
        QSqlQuery query = Sql(QLatin1String(statement)).exec(db);
        return query.next() ? query.value(0).toLongLong() : 0;
    };
    return number("select count(*) from sqlite_master") == 0 &&
           number("PRAGMA application_id") == 0 && number("PRAGMA user_version") == 0;
}

} // namespace

bool Workspace::openDatabase()
{
    m_openError.clear();
    const QString path = QDir::toNativeSeparators(databasePath());
    if (!QDir().mkpath(m_dataDir)) {
        m_openError = QStringLiteral("无法创建数据文件夹：") + QDir::toNativeSeparators(m_dataDir);
        return false;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(databasePath());
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        m_openError = DbError::fromSqlite(error.nativeErrorCode().toInt(), error.text(),
                                          QStringLiteral("无法打开数据文件 ") + path)
                          .message();
        return false;
    }
    try {
        Background::giveWayTo(db);
        // A save that returned must survive a crash or power loss right after it.
        Sql(QStringLiteral("PRAGMA synchronous = FULL")).exec(db);
        // Made anew only when empty: a file that holds anything is never written over.
        if (holdsNothing(db))
            Schema::create(db);
        if (const QString reason = Schema::checkOwnDatabase(db, false); !reason.isEmpty()) {
            m_openError = QStringLiteral("无法使用数据文件 %1：%2").arg(path, reason);
            db.close();
            return false;
        }
        if (Upgrade::isNeeded(db))
            Upgrade::run(db, upgradeProgress());
    } catch (const DbError &e) {
        m_openError = QStringLiteral("无法使用数据文件 %1。\n").arg(path) + e.message();
        db.close();
        return false;
    }
    return true;
}

void Workspace::closeDatabase()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool Workspace::reopen()
{
    closeDatabase();
    return openDatabase();
}

Lookups Workspace::lookups(const QString &statement, bool perBook) const
{
    Lookups out;
    if (!isOpen())
        return out;
    QSqlQuery query =
        perBook ? Sql(statement + QStringLiteral(" Where BName=?"), {m_currentBook}).exec()
                : Sql(statement).exec();
    while (query.next())
        out.push_back({query.value(0).toString(), query.value(1).toString()});
    return out;
}

Lookups Workspace::accounts() const
{
    return lookups(QStringLiteral("select AName, thePY from SAccount "), true);
}

Lookups Workspace::members() const
{
    return lookups(QStringLiteral("select FName, thePY from SFamily "), false);
}

Lookups Workspace::incomeCategories() const
{
    return lookups(QStringLiteral("select IName, thePY from InD "), true);
}

Lookups Workspace::expenseCategories() const
{
    return lookups(QStringLiteral("select OName, thePY from OutD "), true);
}

Lookups Workspace::investmentCategories() const
{
    return lookups(QStringLiteral("select TName, thePY from TD "), true);
}

Lookups Workspace::historyWindows() const
{
    return lookups(QStringLiteral("select distinct Window, '' from History "), true);
}

Lookups Workspace::historyKinds() const
{
    return lookups(QStringLiteral("select distinct Kind, '' from History "), true);
}

QString Workspace::bookForWriting() const
{
    if (m_currentBook.isEmpty())
        throw DbError(Rows::noBookMessage());
    return m_currentBook;
}

bool Workspace::openBook(const QString &book)
{
    // Opening the book that is open again keeps its windows.
    if (book.compare(m_currentBook, Qt::CaseInsensitive) != 0 && !closeBookWindows())
        return false;
    m_currentBook = book;
    emit bookOpened(book);
    return true;
}

bool Workspace::closeBook()
{
    if (!closeBookWindows())
        return false;
    m_currentBook.clear();
    emit bookClosed();
    return true;
}

bool Workspace::closeBookWindows()
{
    bool refused = false;
    emit bookWindowsClosing(&refused);
    return !refused;
}

void Workspace::notifyBalancesChanged()
{
    emit balancesChanged();
}

Upgrade::Progress &Workspace::upgradeProgress()
{
    static Upgrade::Progress progress;
    return progress;
}

QString Workspace::startDate() const
{
    return m_startDate.isEmpty() ? today() : m_startDate;
}
