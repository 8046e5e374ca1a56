#pragma once

#include "data/Background.h"

#include <QString>
#include <QStringList>

// The life of a book, without any window: creation with its default reference
// data, password check and change, deletion, and backup and restore of the whole
// database file. Every change runs in one transaction (or one SQLite online backup):
// it is stored completely or not at all. Failures throw DbError with a message
// that can be shown to the user.
namespace BookStore {

// The password of a book made without one given (the sample books of the tools).
inline const QString InitialPassword = QStringLiteral("480726");
// Number of default reference rows a new book starts with.
constexpr int DefaultRowCount = 91;

// Writes the book row (with the password hashed) and its default income, expense
// and investment categories and accounts, each with its pinyin initials. An empty
// date stands for today. The current book is not changed. Throws when the name is
// taken or the database refuses; nothing is then stored.
void createBook(const QString &name, const QString &remark = QString(),
                const QString &date = QString(), const QString &password = InitialPassword);

int bookCount();
bool bookExists(const QString &name);

// True when the book exists and the password matches its stored hash.
bool checkPassword(const QString &book, const QString &password);
void changePassword(const QString &book, const QString &newPassword);

// Removes the book and all its rows in every table, the repayments, collections and
// returns of its debts, credits and investments and its history included.
void deleteBook(const QString &name);

// The recycle bin of books. binBook takes the book out of every list: its row goes
// to the bin and its rows stay in the file under a name no book can have. Restored
// with its password, it is as it was; removed for good, it is deleteBook's.
void binBook(const QString &name);
// DbError when the password is wrong or a book of that name exists meanwhile.
void restoreBook(qint64 binnedId, const QString &password);
void purgeBook(qint64 binnedId);
// Books binned more than `days` ago are removed for good (at start).
void expireBinnedBooks(int days);

// Whole-file work: each takes the context of the work it runs in (a worker thread's,
// with its own connection to the data file, its progress and its cancel), or runs on
// the calling thread with a connection of its own when given none.

// Writes a consistent copy of the data file to `path` (replacing a file of that
// name): copied under a temporary name with SQLite's online backup, checked, then
// renamed into place. It holds what was committed when it was taken; a save
// meanwhile makes it start over. A cancelled backup leaves no file.
void backupTo(const QString &path, Background::Context *work = nullptr);

// The reason `path` is not a backup this program can restore, or an empty text.
// Reads the whole file (SQLite's integrity check).
QString checkBackup(const QString &path, Background::Context *work = nullptr);

// Replaces all data with the backup at `path` in one step, after keeping a copy of
// the data it replaces in the data folder; returns that copy's path. A backup of an
// earlier version is then brought up to this version's layout. The file must have
// passed checkBackup: only its quick checks are repeated here. The program's own
// connection must hold no transaction and no unfinished statement (close the
// windows first); the restore waits for it and then fails, changing nothing.
QString restoreFrom(const QString &path, Background::Context *work = nullptr);

// Removes from `folder` what a backup or restore cut off by a crash left there: the
// temporary copies backupTo names "<target>.db.<8 hex digits>.tmp", with their
// journals, and nothing else. Only for folders no other running copy writes into.
void removeLeftovers(const QString &folder);

} // namespace BookStore
