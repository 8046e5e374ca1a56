#pragma once

#include "data/Background.h"

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

// Today's backup file when there is none yet (the folder is made), or an empty text.
// Throws DbError with a reason that can be shown to the user.
QString dueFile();
// Writes the backup `file` named by dueFile, checked, then removes all but the
// newest Kept. Runs in `work` (see BookStore::backupTo). Throws DbError.
void write(const QString &file, Background::Context *work = nullptr);
// Both on this thread: returns the file written, or an empty text when today's existed.
QString runIfDue();

// The automatic backups, newest first (full paths).
QStringList list();

// "yyyy-MM-dd HH:mm:ss" of an automatic backup's file name; empty for other names.
QString takenAt(const QString &path);

} // namespace AutoBackup
