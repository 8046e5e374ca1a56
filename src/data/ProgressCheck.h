#pragma once

#include <QSqlDatabase>
#include <functional>

struct sqlite3;

// While it lives, asks `stop` every thousand steps of SQLite's virtual machine on
// the connection whether the running statement should go on; when it says stop,
// the statement is interrupted (it fails, or its rows end early) and stopped()
// tells that apart from a failure. One check per connection at a time.
class ProgressCheck
{
public:
    ProgressCheck(const QSqlDatabase &db, std::function<bool()> stop);
    ~ProgressCheck();
    ProgressCheck(const ProgressCheck &) = delete;
    ProgressCheck &operator=(const ProgressCheck &) = delete;

    bool stopped() const { return m_stopped; }

    // A check that stops a statement after about `steps` steps.
    static std::function<bool()> afterSteps(qint64 steps);

private:
    static int heard(void *check);

    sqlite3 *m_handle = nullptr;
    std::function<bool()> m_stop;
    bool m_stopped = false;
};
