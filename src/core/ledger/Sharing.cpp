#include "core/ledger/Sharing.h"

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

} // namespace Sharing
