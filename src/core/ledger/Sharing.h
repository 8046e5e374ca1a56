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

// A book's settings kept in `table` (budgets, the month's first day, what its bill
// imports map to) changed, in the caller's transaction: announced once it commits
// (what is shown of them follows), and, when the book is shared, the table's rows
// of the book queued to be sent as they stand.
void settingsChanged(const QString &book, const QString &table);
// The same without the announcement, for settings whose own window follows its
// writes itself (what bill imports map to).
void queueSettings(const QString &book, const QString &table);

// The tables of a book's settings that travel whole.
const QStringList &settingsTables();

} // namespace Sharing
