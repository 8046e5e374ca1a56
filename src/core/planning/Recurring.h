#pragma once

#include "core/ledger/Ledger.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

// Recurring entries (周期记帐): an income, expense or transfer repeated every N
// days, weeks, months or years from a start date, until a date, for a number of
// times or for ever. Each occurrence is posted through the ledger at most once:
// the schedule and the occurrence's date are the unique key of its row in
// SchedulePost, written in the same action of the ledger as the entry (undone
// with it). An occurrence skipped is kept there too, with no entry.
namespace Recurring {

enum class Unit
{
    Day,
    Week,
    Month,
    Year
};

enum class Weekend
{
    Keep,
    Earlier, // to the Friday before
    Later,   // to the Monday after
};

struct Rule
{
    QDate start;
    int every = 1;
    Unit unit = Unit::Month;
    bool lastDayOfMonth = false; // monthly: the month's last day instead of the start's day
    QDate until{};               // the last day an occurrence may fall on; invalid: none
    int times = 0;               // how many occurrences in all; 0: no limit
    Weekend weekend = Weekend::Keep;
};

struct Occurrence
{
    QDate due;  // as the rule gives it: the key of its post
    QDate date; // the entry's date, moved off a weekend as the rule says
};

// The occurrences whose entry date is on or before `through`, in order.
std::vector<Occurrence> occurrences(const Rule &rule, const QDate &through);

// The texts the schedule's choices are stored and shown as.
namespace Text {
inline const QString Income = QStringLiteral("收入");
inline const QString Expense = QStringLiteral("支出");
inline const QString Transfer = QStringLiteral("转帐");
QStringList kinds();
QStringList units();        // 天 周 月 年
QStringList monthDays();    // 同开始日 月末
QStringList endings();      // 一直重复 到结束日期为止 重复次数
QStringList weekends();     // 不调整 提前到周五 推后到周一
QStringList amountModes();  // 固定金额 估计金额（记帐前确认）
QStringList postingModes(); // 列出待我确认 到期自动记帐
} // namespace Text

// A schedule as stored in its table.
struct Schedule
{
    qint64 id = 0;
    QString book;
    QString kind; // 收入, 支出 or 转帐
    QString name; // the category, or for a transfer the account it goes to
    QString account;
    Money amount;
    QString member;
    QString remark;
    Rule rule;
    bool estimate = false;  // the amount is confirmed before each post
    bool automatic = false; // posts by itself when the book is opened

    const Ledger::EntryKind &entryKind() const;
    // The entry of an occurrence on `date`, as the ledger saves it.
    QVariantMap entry(const QDate &date) const;
};

// The book's schedules, by key. Throws DbError.
std::vector<Schedule> schedules(const QString &book);
std::optional<Schedule> schedule(const QString &book, qint64 id);

// An occurrence not posted nor skipped yet.
struct Due
{
    Schedule schedule;
    Occurrence occurrence;
};
// Those whose entry date is on or before `today`, by date. Throws DbError.
std::vector<Due> due(const QString &book, const QDate &today);

// What the user changed before posting (修改后记帐); unset parts stay as scheduled.
struct Changes
{
    std::optional<QDate> date{};
    std::optional<Money> amount{};
    std::optional<QString> account{};
    std::optional<QString> remark{};
};

// Posts occurrences through the ledger in one action: each entry with its post.
// DbError, and nothing written, when one was posted or skipped already (another
// window, a run before a crash) or the ledger refuses an entry.
void post(const QString &book, const std::vector<Due> &dues, const QString &window);
void post(const QString &book, const Due &due, const Changes &changes, const QString &window);
// Marks the occurrences skipped, in one action of the ledger.
void skip(const QString &book, const std::vector<Due> &dues, const QString &window);
// Said when an occurrence was posted or skipped already.
QString postedAlreadyMessage();

// Deletes a schedule with its posts (the entries it posted stay), in one action
// of the ledger.
void remove(const QString &book, qint64 id, const QString &window);

} // namespace Recurring
