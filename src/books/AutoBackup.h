#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// The automatic backups: once a day, when a book is opened, a checked copy of the
// whole database goes into a folder of its own inside the data folder, named by
// the date and time it was taken; the newest ones are kept, older ones removed.
namespace AutoBackup {

// How many automatic backups are kept.
constexpr int Kept = 14;

// <data folder>/自动备份
QString folder();

// The clock the backups are dated by; tests set their own (an empty one restores
// the system clock).
using Clock = std::function<QDateTime()>;
void setClock(Clock clock);

// Writes today's backup unless there is one already, then removes all but the
// newest Kept. Returns the file written, or an empty text when today's existed.
// Throws DbError with a reason that can be shown to the user.
QString runIfDue();

// The automatic backups, newest first (full paths).
QStringList list();

// "yyyy-MM-dd HH:mm:ss" of an automatic backup's file name; empty for other names.
QString takenAt(const QString &path);

} // namespace AutoBackup
