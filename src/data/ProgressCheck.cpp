#include "data/ProgressCheck.h"

#include <QSqlDriver>
#include <QVariant>
#include <sqlite3.h>

namespace {
constexpr int StepsPerCheck = 1000;
} // namespace

ProgressCheck::ProgressCheck(const QSqlDatabase &db, std::function<bool()> stop)
    : m_stop(std::move(stop))
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    if (m_handle)
        sqlite3_progress_handler(m_handle, StepsPerCheck, &ProgressCheck::heard, this);
}

ProgressCheck::~ProgressCheck()
{
    if (m_handle)
        sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
}

int ProgressCheck::heard(void *check)
{
    auto *self = static_cast<ProgressCheck *>(check);
    self->m_stopped = self->m_stopped || self->m_stop();
    return self->m_stopped ? 1 : 0;
}

std::function<bool()> ProgressCheck::afterSteps(qint64 steps)
{
    return
        [checks = steps / StepsPerCheck, heard = qint64(0)]() mutable { return ++heard > checks; };
}
