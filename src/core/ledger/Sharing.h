#pragma once

#include <QString>
#include <QStringList>

// What a book and its rows are on every computer of the household.
namespace Sharing {

// What a book is on every computer: its identity when it is shared (its name may
// differ from one computer to another), else its name.
QString bookIdentity(const QString &book);

// The identity of a row made from what it stands for rather than at random, so
// that it is the same wherever that is written: a bill's entry, imported into the
// same shared book on two computers, is one row. `parts` name it within the book
// (bookIdentity).
QString identityOf(const QString &book, const QStringList &parts);

} // namespace Sharing
