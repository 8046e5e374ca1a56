#include "core/ledger/Changes.h"

#include "data/Transaction.h"

#include <QCoreApplication>
#include <QThread>

Change Change::ofSettings(const QString &book, const QString &table)
{
    Change change;
    change.book = book;
    change.rows.insert(table, {});
    return change;
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

void ChangeFeed::announceOnCommit(const QSqlDatabase &db, Change change)
{
    Transaction::afterCommit(db, [change = std::move(change)] { announce(change); });
}
