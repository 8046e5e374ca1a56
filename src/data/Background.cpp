#include "data/Background.h"

#include "data/Connection.h"
#include "data/Sql.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <atomic>
#include <chrono>
#include <sqlite3.h>

namespace Background {

struct Context::Shared
{
    std::atomic<bool> cancelled{false};
    bool givesWay = true;             // the worker's own
    std::atomic<bool> gaveWay{false}; // a statement was interrupted for the screen
    Job *job = nullptr;               // where progress is said; set before the work starts

    // Written by the worker before its thread ends, read after.
    enum class Outcome
    {
        Succeeded,
        Failed,
        Cancelled
    } outcome = Outcome::Cancelled;
    QString message;

    // The worker's last report, so that only changes are sent.
    int percent = -2;
    QString step;
};

namespace {

// The jobs that have not yet said how they ended; the screen's thread only.
QSet<Job *> &jobs()
{
    static QSet<Job *> all;
    return all;
}

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// When the screen's connection last waited for a lock; it waits in steps of a few
// milliseconds, so a time older than this says it waits no more.
std::atomic<qint64> g_screenWaitedAt{0};
constexpr qint64 StillWaitingMs = 50;
constexpr qint64 ScreenGivesUpMs = 5000;

bool screenWaits()
{
    return nowMs() - g_screenWaitedAt.load() < StillWaitingMs;
}

// The busy handler of the screen's connection: notes that it waits, so that the
// workers give way, and tries again every few milliseconds.
int screenBusy(void *, int tries)
{
    static qint64 since = 0; // the screen's thread only
    const qint64 now = nowMs();
    if (tries == 0)
        since = now;
    g_screenWaitedAt = now;
    if (now - since >= ScreenGivesUpMs)
        return 0;
    sqlite3_sleep(tries < 20 ? 1 : 10);
    return 1;
}

// SQLite asks every few thousand steps of a statement whether to go on: not when
// the work was cancelled...
int interrupted(void *shared)
{
    return static_cast<Context::Shared *>(shared)->cancelled.load() ? 1 : 0;
}

// ... nor, on the work's connection to the data file, while the screen waits.
int interruptedOrGivingWay(void *shared)
{
    auto *s = static_cast<Context::Shared *>(shared);
    if (s->cancelled.load())
        return 1;
    if (!s->givesWay || !screenWaits())
        return 0;
    s->gaveWay = true;
    return 1;
}

constexpr int StepsBetweenChecks = 1000;

thread_local Context *t_current = nullptr;

} // namespace

Context *current()
{
    return t_current;
}

// ---- Context ----------------------------------------------------------------------

Context::Context(QString dataFile) : Context(std::move(dataFile), nullptr)
{
}

Context::Context(QString dataFile, std::shared_ptr<Shared> shared)
    : m_dataFile(std::move(dataFile)), m_shared(std::move(shared))
{
}

Context::~Context()
{
    if (m_connectionName.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

QString Context::dataFile() const
{
    // Work run on the calling thread reads the file that thread's connection is to.
    return m_dataFile.isEmpty() ? Connection::current().databaseName() : m_dataFile;
}

QSqlDatabase Context::database()
{
    if (m_db.isOpen())
        return m_db;
    const QString path = dataFile();
    const QString notDone = QStringLiteral("无法打开数据文件 ") + QDir::toNativeSeparators(path);
    // Opening would make a new empty file where the data file went missing.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw DbError(notDone + QStringLiteral("：文件不存在。"));
    if (m_connectionName.isEmpty()) {
        static std::atomic<int> serial{0};
        m_connectionName = QStringLiteral("background-%1").arg(++serial);
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_db.setDatabaseName(path);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!m_db.open()) {
        const QSqlError error = m_db.lastError();
        throw DbError::fromSqlite(error.nativeErrorCode().toInt(), error.text(), notDone);
    }
    // What this work writes (a restore, repaired totals) must survive a power loss.
    Sql(QStringLiteral("PRAGMA synchronous = FULL")).exec(m_db);
    // Its changes stay in memory until the commit: written out earlier, they would
    // lock the screen's thread out of reading until then.
    Sql(QStringLiteral("PRAGMA cache_spill = false")).exec(m_db);
    if (m_shared)
        sqlite3_progress_handler(sqliteHandle(m_db), StepsBetweenChecks, &interruptedOrGivingWay,
                                 m_shared.get());
    return m_db;
}

void Context::interruptible(sqlite3 *handle)
{
    if (m_shared)
        sqlite3_progress_handler(handle, StepsBetweenChecks, &interrupted, m_shared.get());
}

void Context::keepGoing()
{
    if (m_shared)
        m_shared->givesWay = false;
}

bool Context::isCancelled() const
{
    return m_shared && m_shared->cancelled.load();
}

void Context::checkCancelled() const
{
    if (isCancelled())
        throw Cancelled{};
}

void Context::rollBack()
{
    if (m_db.isOpen() && !sqlite3_get_autocommit(sqliteHandle(m_db)))
        sqlite3_exec(sqliteHandle(m_db), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Context::progress(int percent, const QString &step)
{
    if (!m_shared || !m_shared->job)
        return;
    const bool newStep = !step.isEmpty() && step != m_shared->step;
    if (!newStep && percent == m_shared->percent)
        return;
    m_shared->percent = percent;
    if (newStep)
        m_shared->step = step;
    Job *job = m_shared->job;
    // The job lives until its thread has ended, so the report always finds it.
    QMetaObject::invokeMethod(
        job, [job, percent, step] { emit job->progressed(percent, step); }, Qt::QueuedConnection);
}

// ---- Job --------------------------------------------------------------------------

Job *Job::start(Work work)
{
    return new Job(std::move(work));
}

Job::Job(Work work) : m_shared(std::make_shared<Context::Shared>())
{
    m_shared->job = this;
    jobs().insert(this);
    DbError::ownWorkStarted();
    // The file of the connection the screen's thread uses, opened anew on the worker.
    const QString dataFile = Connection::current().databaseName();
    m_thread = QThread::create([shared = m_shared, work = std::move(work), dataFile] {
        using Outcome = Context::Shared::Outcome;
        Context context(dataFile, shared);
        t_current = &context;
        // What the work runs (the ledger, its checks) uses the work's own connection.
        const Connection::Provide provide([&context] { return context.database(); });
        for (;;) {
            shared->gaveWay = false;
            shared->percent = -2; // a new try reports from its start
            try {
                work(context);
                shared->outcome = Outcome::Succeeded;
            } catch (const Cancelled &) {
                shared->outcome = Outcome::Cancelled;
            } catch (const DbError &e) {
                shared->outcome = Outcome::Failed;
                shared->message = e.message();
            } catch (const std::exception &e) {
                shared->outcome = Outcome::Failed;
                shared->message = QString::fromLocal8Bit(e.what());
            }
            if (!shared->gaveWay || shared->cancelled)
                break;
            // Again from the start once the screen's statement is through.
            while (screenWaits() && !shared->cancelled)
                QThread::msleep(5);
            context.rollBack();
        }
        t_current = nullptr;
    });
    connect(m_thread, &QThread::finished, this, &Job::finish);
    m_thread->start();
}

Job::~Job()
{
    m_thread->wait();
    delete m_thread;
}

void Job::cancel()
{
    m_shared->cancelled = true;
}

bool Job::isCancelled() const
{
    return m_shared->cancelled.load();
}

void Job::finish()
{
    using Outcome = Context::Shared::Outcome;
    m_thread->wait();
    jobs().remove(this);
    DbError::ownWorkEnded();
    if (!isCancelled()) {
        if (m_shared->outcome == Outcome::Succeeded)
            emit succeeded();
        else if (m_shared->outcome == Outcome::Failed)
            emit failed(m_shared->message);
    }
    emit ended();
    deleteLater();
}

// ---- all jobs -----------------------------------------------------------------------

bool isBusy()
{
    return !jobs().isEmpty();
}

void waitForIdle()
{
    while (isBusy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
}

void finishAll()
{
    const QSet<Job *> all = jobs();
    for (Job *job : all)
        job->cancel();
    for (Job *job : all) {
        jobs().remove(job);
        DbError::ownWorkEnded();
        delete job; // waits for its thread
    }
}

void giveWayTo(const QSqlDatabase &screen)
{
    sqlite3_busy_handler(sqliteHandle(screen), &screenBusy, nullptr);
}

} // namespace Background
