#include "core/ledger/Changes.h"

#include <QCoreApplication>
#include <QThread>

bool Change::wrote(const QString &table) const
{
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        if (it.key().compare(table, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

ChangeFeed *ChangeFeed::instance()
{
    // Lives on the screen's thread, whichever thread asks first.
    static ChangeFeed *const feed = [] {
        auto *f = new ChangeFeed;
        if (QCoreApplication *app = QCoreApplication::instance())
            f->moveToThread(app->thread());
        return f;
    }();
    return feed;
}

void ChangeFeed::announce(const Change &change)
{
    ChangeFeed *feed = instance();
    if (QThread::currentThread() == feed->thread())
        emit feed->committed(change);
    else
        QMetaObject::invokeMethod(
            feed, [feed, change] { emit feed->committed(change); }, Qt::QueuedConnection);
}
