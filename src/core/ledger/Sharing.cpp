#include "core/ledger/Sharing.h"

#include "core/ledger/Changes.h"
#include "data/Connection.h"
#include "data/Sql.h"

#include <QCryptographicHash>

namespace Sharing {

namespace {

QString shareOf(const QString &book)
{
    return Sql(QStringLiteral("select ShareID from SyncShare where BName=?"), {book})
        .scalar()
        .toString();
}

} // namespace

QString bookIdentity(const QString &book)
{
    const QString share = shareOf(book);
    return share.isEmpty() ? book : share;
}

QString identityOf(const QString &book, const QStringList &parts)
{
    const QString text = book + QLatin1Char('\n') + parts.join(QLatin1Char('\n'));
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

void settingsChanged(const QString &book, const QString &table)
{
    ChangeFeed::announceOnCommit(Connection::current(), Change::ofSettings(book, table));
    queueSettings(book, table);
}

void queueSettings(const QString &book, const QString &table)
{
    Sql(QStringLiteral("insert into SyncOutbox (BName,HistoryID,Kind) select ?,NULL,? where "
                       "exists (select 1 from SyncShare where BName=?)"),
        {book, QStringLiteral("settings:") + table, book})
        .exec();
}

const QStringList &settingsTables()
{
    static const QStringList tables = {
        QStringLiteral("Budget"),         QStringLiteral("BudgetRollover"),
        QStringLiteral("BookSetting"),    QStringLiteral("ImportAccount"),
        QStringLiteral("ImportCategory"), QStringLiteral("ImportRule")};
    return tables;
}

} // namespace Sharing
