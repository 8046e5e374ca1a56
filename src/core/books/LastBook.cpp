#include "core/books/LastBook.h"

#include <QSettings>

namespace {
const QString Key = QStringLiteral("books/lastOpened");
}

QString LastBook::name()
{
    return QSettings().value(Key).toString();
}

void LastBook::remember(const QString &book)
{
    QSettings().setValue(Key, book);
}
