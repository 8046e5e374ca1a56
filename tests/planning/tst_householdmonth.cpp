#include "core/ledger/HouseholdMonth.h"
#include "core/reports/Analysis.h"
#include "core/reports/PeriodStatement.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QTest>

// The household's month: where months start and end, the presets, the setting
// kept per book, and the statement and analysis cutting their months alike.
class TestHouseholdMonth : public QObject
{
    Q_OBJECT
private slots:
    void monthsStartOnTheBooksDay();
    void presetsFollowTheMonths();
    void theDayIsKeptPerBook();
    void statementAndAnalysisMoveTogether();
};

namespace {

QDate day(const char *text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

QString span(const HouseholdMonth::Period &p)
{
    return p.label + ":" + isoDate(p.first) + ".." + isoDate(p.last);
}

} // namespace

void TestHouseholdMonth::monthsStartOnTheBooksDay()
{
    using HouseholdMonth::containing;
    QCOMPARE(span(containing(day("2026-02-28"), 1)), QString("2026-02:2026-02-01..2026-02-28"));
    QCOMPARE(span(containing(day("2024-02-29"), 1)), QString("2024-02:2024-02-01..2024-02-29"));
    // With the 15th: the 14th still belongs to the month begun before.
    QCOMPARE(span(containing(day("2026-12-14"), 15)), QString("2026-11:2026-11-15..2026-12-14"));
    QCOMPARE(span(containing(day("2026-12-15"), 15)), QString("2026-12:2026-12-15..2027-01-14"));
    QCOMPARE(span(containing(day("2027-01-03"), 15)), QString("2026-12:2026-12-15..2027-01-14"));
    QCOMPARE(span(containing(day("2024-03-27"), 28)), QString("2024-02:2024-02-28..2024-03-27"));
    QCOMPARE(span(HouseholdMonth::named("2026-01", 25)), QString("2026-01:2026-01-25..2026-02-24"));
    QVERIFY(!HouseholdMonth::named("2026-13", 1).first.isValid());
    QCOMPARE(HouseholdMonth::shifted("2026-01", -1), QString("2025-12"));
}

void TestHouseholdMonth::presetsFollowTheMonths()
{
    using HouseholdMonth::Preset;
    const auto text = [](Preset p, int start) {
        const auto [first, last] = HouseholdMonth::preset(p, day("2026-01-10"), start);
        return isoDate(first) + ".." + isoDate(last);
    };
    QCOMPARE(HouseholdMonth::presetNames(),
             QStringList({"本月", "上月", "今年", "去年", "近12个月"}));
    QCOMPARE(text(Preset::ThisMonth, 1), QString("2026-01-01..2026-01-31"));
    QCOMPARE(text(Preset::LastMonth, 1), QString("2025-12-01..2025-12-31"));
    QCOMPARE(text(Preset::ThisYear, 1), QString("2026-01-01..2026-12-31"));
    QCOMPARE(text(Preset::LastYear, 1), QString("2025-01-01..2025-12-31"));
    QCOMPARE(text(Preset::Last12Months, 1), QString("2025-02-01..2026-01-31"));
    // On 10 January with the 15th, December's month is still running.
    QCOMPARE(text(Preset::ThisMonth, 15), QString("2025-12-15..2026-01-14"));
    QCOMPARE(text(Preset::LastMonth, 15), QString("2025-11-15..2025-12-14"));
    QCOMPARE(text(Preset::ThisYear, 15), QString("2025-01-15..2026-01-14"));
    QCOMPARE(text(Preset::Last12Months, 15), QString("2025-01-15..2026-01-14"));
}

void TestHouseholdMonth::theDayIsKeptPerBook()
{
    TestEnvironment env;
    Db::insertBook("甲");
    Db::insertBook("乙");
    QCOMPARE(HouseholdMonth::startDay("甲"), 1);
    HouseholdMonth::setStartDay("甲", 15);
    HouseholdMonth::setStartDay("甲", 25);
    QCOMPARE(HouseholdMonth::startDay("甲"), 25);
    QCOMPARE(HouseholdMonth::startDay("乙"), 1);
    QVERIFY_THROWS_EXCEPTION(DbError, HouseholdMonth::setStartDay("乙", 29));
    QCOMPARE(HouseholdMonth::startDay("乙"), 1);
}

void TestHouseholdMonth::statementAndAnalysisMoveTogether()
{
    TestEnvironment env;
    const QString book = "家";
    Db::insertBook(book);
    Seed seed(book);
    for (const auto &[date, amount] : {std::pair{"2026-01-14", 100}, std::pair{"2026-01-15", 20},
                                       std::pair{"2026-02-14", 3}, std::pair{"2026-02-15", 4000}})
        seed.expense(date, "餐饮", Money::fromUnits(amount * Money::Scale), "现金");
    seed.commit();
    const auto months = [&] {
        QStringList out;
        const auto result = PeriodStatement::compute(book, PeriodStatement::Period::Month,
                                                     day("2026-01-01"), day("2026-02-28"), {});
        for (const auto &row : result.rows)
            out << row.label + "=" + row.expense.toPlain();
        return out;
    };
    const auto analysed = [&] {
        QStringList out;
        EntryFilter filter;
        filter.days = {{day("2025-12-01"), day("2026-03-31")}};
        const auto items = Analysis::items("支出", EntryTables::Expense);
        for (const auto &row : Analysis::run(EntryTables::Expense, items[1], book, filter).rows)
            out << row.item + "=" + row.amount.toPlain();
        return out;
    };
    QCOMPARE(months(), QStringList({"2026-01=120", "2026-02=4003"}));
    QCOMPARE(analysed(), QStringList({"2026-01=120", "2026-02=4003"}));
    HouseholdMonth::setStartDay(book, 15);
    QCOMPARE(months(), QStringList({"2025-12=100", "2026-01=23", "2026-02=4000"}));
    QCOMPARE(analysed(), QStringList({"2025-12=100", "2026-01=23", "2026-02=4000"}));
}

QTEST_GUILESS_MAIN(TestHouseholdMonth)
#include "tst_householdmonth.moc"
