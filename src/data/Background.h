#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

class QThread;
struct sqlite3;

// Whole-file work off the screen's thread: a backup, a restore, a statement that
// reads the whole book. Each job runs on a worker thread of its own with its own
// connection to the data file, opened and closed on that thread, so that the
// screen's thread never waits for it. Its result, or the message of the DbError it
// threw, and its progress reports come back to the screen's thread. A cancelled job
// hands back nothing.
namespace Background {

class Context;

// The context of the job whose work runs on this thread; nullptr on the screen's
// thread. The data module's connection is then the work's (Workspace::database), so
// that the program's own services (the ledger, its checks and kept totals) run
// unchanged on a worker.
Context *current();

// Thrown by Context::checkCancelled: the work stops and its job ends quietly.
struct Cancelled
{
};

// What work sees while it runs: its connection, whether it was cancelled, and where
// it says how far it is. A job makes one on its worker thread; work run on the
// calling thread (tests, tools) makes its own, which is never cancelled.
class Context
{
public:
    // `dataFile` empty: the data module's file.
    explicit Context(QString dataFile = {});
    ~Context();
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    QString dataFile() const;
    // The connection of this work to the data file, opened at first use on this
    // thread and closed with the context. Throws DbError when it cannot be opened.
    // A cancel interrupts the statement running on it.
    QSqlDatabase database();
    // Lets a cancel interrupt what runs on another connection of this work (a copy
    // being checked); the handle must stay open until the work ends.
    void interruptible(sqlite3 *handle);

    // The work goes on when the screen's thread waits for its lock (see giveWayTo):
    // for work the program waits for anyway and that must not run twice (a restore).
    void keepGoing();

    bool isCancelled() const;
    void checkCancelled() const;
    // How far the work is, 0..100, or -1 when that cannot be told; `step` says what
    // it is doing (empty: the same as before).
    void progress(int percent, const QString &step = {});

    struct Shared; // between a job and its context

private:
    friend class Job;
    Context(QString dataFile, std::shared_ptr<Shared> shared);
    // Ends a transaction that an interrupted statement left open, before a new try.
    void rollBack();

    QString m_dataFile;
    std::shared_ptr<Shared> m_shared;
    QString m_connectionName;
    QSqlDatabase m_db;
};

// One piece of work running on its worker thread. It lives on the screen's thread,
// says there how the work went, and frees itself after `ended`.
class Job : public QObject
{
    Q_OBJECT
public:
    using Work = std::function<void(Context &)>;
    // Starts `work` on a new worker thread.
    static Job *start(Work work);

    // The work stops at its next check and its statement is interrupted; nothing
    // is handed back any more. Work that cannot be undone (a file put in place)
    // checks before it starts that step, never during it.
    void cancel();
    bool isCancelled() const;

signals:
    void progressed(int percent, const QString &step);
    void succeeded();
    void failed(const QString &message);
    // Last, however the work ended (also when cancelled).
    void ended();

private:
    explicit Job(Work work);
    ~Job() override;
    void finish();
    friend void finishAll();

    std::shared_ptr<Context::Shared> m_shared;
    QThread *m_thread = nullptr;
};

// Starts `work` (Result work(Context &)) and hands its result to `done` on the
// screen's thread, or the failure's message to `failed`, while `receiver` lives;
// `receiver` destroyed cancels the job.
template <typename Work, typename Done>
Job *run(QObject *receiver, Work work, Done done, std::function<void(const QString &)> failed = {})
{
    using Result = std::invoke_result_t<Work &, Context &>;
    Job *job = nullptr;
    if constexpr (std::is_void_v<Result>) {
        job = Job::start(std::move(work));
        QObject::connect(job, &Job::succeeded, receiver, std::move(done));
    } else {
        auto result = std::make_shared<std::optional<Result>>();
        job =
            Job::start([work = std::move(work), result](Context &c) { result->emplace(work(c)); });
        QObject::connect(job, &Job::succeeded, receiver,
                         [result, done = std::move(done)] { done(std::move(**result)); });
    }
    if (failed)
        QObject::connect(job, &Job::failed, receiver, std::move(failed));
    QObject::connect(receiver, &QObject::destroyed, job, &Job::cancel);
    return job;
}

// Makes the work of every job give way to `screen`, the connection of the screen's
// thread: when a statement there waits for a lock that a worker's statement holds,
// the worker's statement is interrupted at once and its work runs again from the
// start after the screen's statement, so that the screen's thread waits a few
// milliseconds, never a whole-book statement. The screen's thread still gives up
// after five seconds (another program holding the file).
void giveWayTo(const QSqlDatabase &screen);

// True while a job runs or has not yet said how it ended.
bool isBusy();
// Processes the screen's events until no job is left, their results handed over
// (tests, benchmarks).
void waitForIdle();
// Cancels every job and waits for their threads, handing nothing back: before the
// data file closes.
void finishAll();

} // namespace Background
