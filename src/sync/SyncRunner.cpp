#include "sync/SyncRunner.h"

#include "core/ledger/Changes.h"
#include "core/sync/ChangeFiles.h"
#include "core/sync/Exchange.h"
#include "core/sync/SyncStatus.h"
#include "data/Sql.h"
#include "widgets/WorkProgress.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QTime>
#include <QTimer>

namespace {

SyncRunner *g_runner = nullptr;

// An exchange on a worker; the folder's failure comes back as the job's message.
Sync::Report exchangeOn(Background::Context &work)
{
    try {
        return Sync::exchange([&work](int done, int total) {
            work.checkCancelled();
            if (total > SyncRunner::LongCatchUp)
                work.progress(done * 100 / total,
                              QStringLiteral("正在应用其他电脑的改动：第 %1 个，共 %2 个文件")
                                  .arg(done + 1 > total ? total : done + 1)
                                  .arg(total));
        });
    } catch (const Sync::SyncError &e) {
        throw DbError(e.message());
    }
}

bool outboxHasActions()
{
    return Sql(QStringLiteral("select 1 from SyncOutbox")).hasRows();
}

} // namespace

SyncRunner::SyncRunner(QWidget *window) : QObject(window), m_window(window)
{
    g_runner = this;
}

SyncRunner::~SyncRunner()
{
    if (g_runner == this)
        g_runner = nullptr;
}

SyncRunner *SyncRunner::instance()
{
    return g_runner;
}

void SyncRunner::start()
{
    try {
        if (!Sync::isSetUp())
            return;
    } catch (const DbError &) {
        return; // no data file open: nothing to share
    }
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        m_every = new QTimer(this);
        m_every->setInterval(EveryMs);
        m_afterAction = new QTimer(this);
        m_afterAction->setSingleShot(true);
        m_afterAction->setInterval(ActionDelayMs);
        // A sync service writes a file in pieces: what it brings is read once it is still.
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_afterAction,
                qOverload<>(&QTimer::start));
        connect(m_every, &QTimer::timeout, this, &SyncRunner::runNow);
        connect(m_afterAction, &QTimer::timeout, this, [this] {
            watchFolder();
            runNow();
        });
        connect(ChangeFeed::instance(), &ChangeFeed::committed, this, &SyncRunner::actionCommitted);
        m_every->start();
    }
    watchFolder();
    runNow();
}

void SyncRunner::watchFolder()
{
    // The folder and each computer's folder in it: a new file lands in the latter.
    const QString folder = Sync::folderPath();
    QStringList paths{folder};
    for (const QString &name : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        paths << folder + QLatin1Char('/') + name;
    const QStringList watched = m_watcher->directories();
    for (const QString &path : paths)
        if (!watched.contains(path))
            m_watcher->addPath(path);
}

void SyncRunner::actionCommitted(const Change &change)
{
    try {
        // Only this computer's own actions wait in the outbox; applied ones do not.
        if (Sync::sharedBooks().contains(change.book) && outboxHasActions())
            m_afterAction->start();
    } catch (const DbError &) {
        // The next minute's exchange takes it.
    }
}

void SyncRunner::runNow()
{
    if (m_job) {
        m_again = true;
        return;
    }
    m_job = Background::run(
        this, exchangeOn,
        [this](const Sync::Report &report) {
            ended(report.stopped.isEmpty(),
                  describe(report, QTime::currentTime().toString(QStringLiteral("HH:mm"))));
        },
        [this](const QString &message) { ended(false, QStringLiteral("同步失败：") + message); });
    connect(m_job, &Background::Job::progressed, this,
            [this](int, const QString &step) { showCatchUp(step); });
    connect(m_job, &Background::Job::ended, this, [this, job = m_job.data()] {
        if (job->isCancelled())
            ended(false, QStringLiteral("同步已停止：已应用的改动保留，其余的下次同步时应用。"));
        m_job = nullptr;
        if (m_again) {
            m_again = false;
            runNow();
        }
    });
}

void SyncRunner::ended(bool ok, const QString &line)
{
    m_lastLine = line;
    emit ran(ok, line);
}

void SyncRunner::showCatchUp(const QString &step)
{
    if (m_showingProgress || !m_job)
        return;
    m_showingProgress = true;
    WorkProgress::wait(m_window, m_job, step, WorkProgress::Cancel::Allowed);
    m_showingProgress = false;
}

QString SyncRunner::describe(const Sync::Report &report, const QString &hhmm)
{
    QStringList parts;
    if (report.written > 0)
        parts << QStringLiteral("写出 %1 个文件").arg(report.written);
    if (report.appliedFiles > 0)
        parts << QStringLiteral("应用 %1 个文件（%2 项）")
                     .arg(report.appliedFiles)
                     .arg(report.appliedRows);
    if (report.conflicts > 0)
        parts << QStringLiteral("冲突 %1 项（在回收站）").arg(report.conflicts);
    if (!report.refused.isEmpty())
        parts << QStringLiteral("%1 个文件被拒绝").arg(report.refused.size());
    if (!report.waiting.isEmpty())
        parts << QStringLiteral("%1 个文件等待更新本程序").arg(report.waiting.size());
    if (!report.stopped.isEmpty())
        parts << QStringLiteral("没有做完（下次同步时再试）：") +
                     report.stopped.section(QLatin1Char('\n'), 0, 0);
    const QString line = QStringLiteral("已同步 ") + hhmm;
    return parts.isEmpty() ? line : line + QStringLiteral("：") + parts.join(QStringLiteral("，"));
}
