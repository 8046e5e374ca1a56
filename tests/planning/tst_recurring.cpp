#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Recurring.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "data/Transaction.h"
#include "support/TestSupport.h"

#include <QTest>

// Recurring entries: the dates a rule gives, and each occurrence posted once.
class TestRecurring : public QObject
{
    Q_OBJECT
private slots:
    void monthEndsAndLeapYears();
    void weekendsMoveTheEntry();
    void endsByDateOrCount();
    void eachOccurrenceIsPostedOnce();
    void skippedOccurrencesStayAway();
};

namespace {

using namespace Recurring;

QDate day(const char *text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

QStringList dates(const Rule &rule, const char *through, bool due = false)
{
    QStringList out;
    for (const Occurrence &o : occurrences(rule, day(through)))
        out << isoDate(due ? o.due : o.date);
    return out;
}

const QString Book = "家";

// A monthly expense of 3000 on the 31st from the cash account.
qint64 addRent(const QString &start, const QString &weekend = Text::weekends().at(0))
{
    Db::exec("insert into Schedule (BName,Kind,OName,AName,SMoney,SDate,Every,Unit,MonthDay,"
             "Ending,Weekend,AmountMode,PostMode,Remark) values (?,?,'房租','现金',?,?,1,'月',?,?,"
             "?,?,?,'房租')",
             {Book, Text::Expense, Money::fromUnits(3000 * Money::Scale).toVariant(), start,
              Text::monthDays().at(0), Text::endings().at(0), weekend, Text::amountModes().at(0),
              Text::postingModes().at(0)});
    return Db::value("select max(ID) from Schedule").toLongLong();
}

void seed(TestEnvironment &env)
{
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
}

int entries()
{
    return Db::count("select count(*) from OutTable where BName=?", {Book});
}

} // namespace

void TestRecurring::monthEndsAndLeapYears()
{
    Rule rule{.start = day("2024-01-31"), .unit = Unit::Month};
    // The 31st falls on each month's last day and comes back after a short month.
    QCOMPARE(dates(rule, "2024-05-31"),
             QStringList({"2024-01-31", "2024-02-29", "2024-03-31", "2024-04-30", "2024-05-31"}));
    rule.start = day("2025-01-31");
    QCOMPARE(dates(rule, "2025-03-31"), QStringList({"2025-01-31", "2025-02-28", "2025-03-31"}));
    // The last day of the month, from a start on the 28th.
    rule = {.start = day("2024-02-28"), .unit = Unit::Month, .lastDayOfMonth = true};
    QCOMPARE(dates(rule, "2024-04-30"), QStringList({"2024-02-29", "2024-03-31", "2024-04-30"}));
    // Every two months, every year from a 29 February, every second week.
    rule = {.start = day("2024-11-30"), .every = 2, .unit = Unit::Month};
    QCOMPARE(dates(rule, "2025-05-31"),
             QStringList({"2024-11-30", "2025-01-30", "2025-03-30", "2025-05-30"}));
    rule = {.start = day("2024-02-29"), .unit = Unit::Year};
    QCOMPARE(dates(rule, "2028-03-01"),
             QStringList({"2024-02-29", "2025-02-28", "2026-02-28", "2027-02-28", "2028-02-29"}));
    rule = {.start = day("2026-01-05"), .every = 2, .unit = Unit::Week};
    QCOMPARE(dates(rule, "2026-02-02"), QStringList({"2026-01-05", "2026-01-19", "2026-02-02"}));
}

void TestRecurring::weekendsMoveTheEntry()
{
    // 2026-01-31 is a Saturday, 2026-05-31 a Sunday.
    Rule rule{.start = day("2026-01-31"), .unit = Unit::Month};
    QCOMPARE(dates(rule, "2026-05-31"),
             QStringList({"2026-01-31", "2026-02-28", "2026-03-31", "2026-04-30", "2026-05-31"}));
    rule.weekend = Weekend::Earlier;
    QCOMPARE(dates(rule, "2026-05-31"),
             QStringList({"2026-01-30", "2026-02-27", "2026-03-31", "2026-04-30", "2026-05-29"}));
    rule.weekend = Weekend::Later;
    // Sunday 31 May moves to 1 June, after the day asked through; Saturday 28
    // February moves to 2 March but keeps its own date as its key.
    QCOMPARE(dates(rule, "2026-05-31"),
             QStringList({"2026-02-02", "2026-03-02", "2026-03-31", "2026-04-30"}));
    QCOMPARE(dates(rule, "2026-05-31", true),
             QStringList({"2026-01-31", "2026-02-28", "2026-03-31", "2026-04-30"}));
    QCOMPARE(dates(rule, "2026-06-01").last(), QString("2026-06-01"));
}

void TestRecurring::endsByDateOrCount()
{
    Rule rule{.start = day("2026-01-10"), .unit = Unit::Day, .times = 3};
    QCOMPARE(dates(rule, "2026-12-31"), QStringList({"2026-01-10", "2026-01-11", "2026-01-12"}));
    rule = {.start = day("2026-01-10"), .every = 10, .unit = Unit::Day, .until = day("2026-01-30")};
    QCOMPARE(dates(rule, "2026-12-31"), QStringList({"2026-01-10", "2026-01-20", "2026-01-30"}));
    rule.start = day("2027-01-01");
    QVERIFY(dates(rule, "2026-12-31").isEmpty());
}

// Posted after a crash cut a run off, after a restart and twice over: each
// occurrence gives one entry, its account moved once, the totals right.
void TestRecurring::eachOccurrenceIsPostedOnce()
{
    TestEnvironment env;
    seed(env);
    const Money before = Db::balance(Book, "现金");
    const QDate today = QDate::currentDate();
    addRent(isoDate(today.addMonths(-3)));
    QCOMPARE(due(Book, today).size(), std::size_t(4));
    {
        // A crash in the middle of the run: nothing of it stays.
        Transaction crashed;
        post(Book, due(Book, today), "周期记帐");
    }
    QCOMPARE(entries(), 0);
    QVERIFY(env.dm()->reopen());
    const std::vector<Due> dues = due(Book, today);
    QCOMPARE(dues.size(), std::size_t(4));
    post(Book, dues, "周期记帐");
    QCOMPARE(entries(), 4);
    QVERIFY_THROWS_EXCEPTION(DbError, post(Book, {dues.back()}, "周期记帐"));
    QVERIFY(env.dm()->reopen());
    QVERIFY(due(Book, today).empty());
    post(Book, due(Book, today), "周期记帐");
    QCOMPARE(entries(), 4);
    QCOMPARE(Db::count("select count(*) from SchedulePost where EID in (select ID from OutTable)"),
             4);
    QCOMPARE(Db::balance(Book, "现金"), before - Money::fromUnits(12000 * Money::Scale));
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    // The unique key holds even against a post written behind the program's back.
    QVERIFY_THROWS_EXCEPTION(
        DbError, Db::exec("insert into SchedulePost (BName,SID,PDate) select BName,SID,PDate "
                          "from SchedulePost limit 1"));
    // Each run is one action of the history, which names it.
    QCOMPARE(
        Db::value("select Description from History order by ID desc limit 1").toString().left(9),
        QString("周期记帐 支出 2"));
}

void TestRecurring::skippedOccurrencesStayAway()
{
    TestEnvironment env;
    seed(env);
    const QDate today = QDate::currentDate();
    addRent(isoDate(today.addMonths(-1)));
    std::vector<Due> dues = due(Book, today);
    QCOMPARE(dues.size(), std::size_t(2));
    skip(Book, {dues.front()}, "待记帐");
    post(Book, {dues.back()}, Changes{.amount = Money::fromUnits(2800 * Money::Scale)}, "待记帐");
    QVERIFY(due(Book, today).empty());
    // A post undone is due again, with its entry gone; redone, both are back.
    const Money cash = Db::balance(Book, "现金");
    History::undo(Book);
    QCOMPARE(due(Book, today).size(), std::size_t(1));
    QCOMPARE(entries(), 0);
    History::redo(Book);
    QVERIFY(due(Book, today).empty());
    QCOMPARE(Db::balance(Book, "现金"), cash);
    QCOMPARE(entries(), 1);
    QCOMPARE(Money::fromVariant(Db::value("select OMoney from OutTable")),
             Money::fromUnits(2800 * Money::Scale));
    QVERIFY_THROWS_EXCEPTION(DbError, skip(Book, {dues.front()}, "待记帐"));
    // A schedule deleted takes its posts along; its entries stay. Undone, it is
    // back with them.
    Recurring::remove(Book, dues.front().schedule.id, "周期记帐");
    QCOMPARE(Db::count("select count(*) from SchedulePost"), 0);
    QCOMPARE(entries(), 1);
    History::undo(Book);
    QCOMPARE(Db::count("select count(*) from SchedulePost"), 2);
    QVERIFY(due(Book, today).empty());
}

QTEST_GUILESS_MAIN(TestRecurring)
#include "tst_recurring.moc"
