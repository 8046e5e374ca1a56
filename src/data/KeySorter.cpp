#include "data/KeySorter.h"

#include "data/FileDatabase.h"
#include "data/ProgressCheck.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <atomic>

struct KeySorter::Job
{
    QString path;
    Sql statement;
    std::atomic<bool> cancelled = false;
    std::vector<qint64> keys;
    QString failure;

    // Runs on the sorter's thread; its statements go straight to the driver, not
    // through Sql::exec, whose recording belongs to the screen's thread.
    void run()
    {
        FileDatabase file(path);
        if (!file.isOpen()) {
            failure = QStringLiteral("无法打开数据文件。");
            return;
        }
        {
            QSqlQuery query(file.database());
            // Waits out a save of the screen's thread rather than failing on it.
            query.exec(QStringLiteral("PRAGMA busy_timeout = 5000"));
            ProgressCheck check(file.database(), [this] { return cancelled.load(); });
            query.setForwardOnly(true);
            query.prepare(statement.text());
            for (const QVariant &value : statement.values())
                query.addBindValue(value);
            if (!query.exec()) {
                failure = DbError::fromDatabase(query.lastError(), false).message();
                return;
            }
            while (!cancelled && query.next())
                keys.push_back(query.value(0).toLongLong());
            if (query.lastError().isValid() && !cancelled)
                failure = DbError::fromDatabase(query.lastError(), false).message();
        }
    }
};

KeySorter::KeySorter(const QString &path, const Sql &statement, QObject *parent)
    : QObject(parent), m_job(std::make_shared<Job>())
{
    m_job->path = path;
    m_job->statement = statement;
    m_thread = QThread::create([job = m_job] { job->run(); });
    connect(m_thread, &QThread::finished, this, [this] {
        m_done = true;
        emit done();
    });
    m_thread->start();
}

KeySorter::~KeySorter()
{
    m_job->cancelled = true;
    m_thread->wait();
    delete m_thread;
}

const std::vector<qint64> &KeySorter::keys() const
{
    return m_job->keys;
}

QString KeySorter::failure() const
{
    return m_job->failure;
}
