#include "core/books/BookStore.h"
#include "core/ledger/Changes.h"
#include "core/ledger/Figures.h"
#include "core/ledger/HouseholdMonth.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "support/TestSupport.h"

#include <QTest>

// Budgets: a year of rollover reckoned exactly, the other spending, the 80 % and
// 100 % notes once each, and a budget dropped with its book.
class TestBudget : public QObject
{
    Q_OBJECT
private slots:
    void rolloverCarriesEveryMonthExactly();
    void otherSpendingTakesWhatHasNoBudget();
    void warnsOncePast80AndOncePast100();
    void aDeletedBookTakesItsPlanningRows();
};

namespace {

const QString Book = "家";

void spend(const QString &date, const QString &category, const char *amount)
{
    Ledger ledger(Book);
    ledger.save(Ledger::expense(), {{"ODate", date},
                                    {"OName", category},
                                    {"OMoney", yuan(amount).toVariant()},
                                    {"AName", "现金"}});
    ledger.commit();
}

QString figures(const Budget::Line &l)
{
    return QStringList{l.name, l.budget.toPlain(), l.carried.toPlain(), l.spent.toPlain(),
                       l.left().toPlain()}
        .join(' ');
}

const Budget::Line *line(const Budget::Status &s, const QString &name)
{
    for (const Budget::Line &l : s.lines)
        if (l.name == name)
            return &l;
    return nullptr;
}

} // namespace

// 食品 has 1000 a month and rolls over; 外出就餐 has 300 and does not. 食品 is
// overspent in March (1300) and underspent in April (600).
void TestBudget::rolloverCarriesEveryMonthExactly()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
    QVERIFY(!Budget::any(Book));
    Budget::setAmount(Book, "食品", Budget::months(2026), yuan("1000"));
    Budget::setAmount(Book, "外出就餐", Budget::months(2026), yuan("300"));
    Budget::setRollover(Book, "食品", true);
    const char *food[12] = {"900",    "1000", "1300", "600",  "1000.01", "0",
                            "999.99", "1000", "1000", "1000", "1000",    "1000"};
    for (int m = 0; m < 12; ++m) {
        spend(QString("2026-%1-10").arg(m + 1, 2, 10, QChar('0')), "食品", food[m]);
        spend(QString("2026-%1-28").arg(m + 1, 2, 10, QChar('0')), "外出就餐", "350");
    }
    // Carried into each month: what the months since January left.
    const QStringList carried = {"0",       "100",  "100",  "-200", "200",  "199.99",
                                 "1199.99", "1200", "1200", "1200", "1200", "1200"};
    for (int m = 0; m < 12; ++m) {
        const Budget::Status s = Budget::status(Book, Budget::months(2026)[m]);
        QCOMPARE(s.lines.size(), std::size_t(2));
        QCOMPARE(line(s, "食品")->carried.toPlain(), carried[m]);
        QCOMPARE(line(s, "外出就餐")->carried, Money());
        QCOMPARE(line(s, "外出就餐")->left(), yuan("-50"));
    }
    const Budget::Status december = Budget::status(Book, "2026-12");
    QCOMPARE(figures(*line(december, "食品")), QString("食品 1000 1200 1000 1200"));
    QCOMPARE(figures(december.total()), QString("合计 1300 1200 1350 1150"));
    QCOMPARE(line(december, "食品")->used(), Figures::ratio(yuan("1000"), yuan("2200")));
    // No rollover: the year's carry is gone; the budget then starts with none.
    Budget::setRollover(Book, "食品", false);
    QCOMPARE(line(Budget::status(Book, "2026-12"), "食品")->carried, Money());
    QCOMPARE(Budget::status(Book, "2027-01").lines.size(), std::size_t(0));
}

void TestBudget::otherSpendingTakesWhatHasNoBudget()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
    // The household month starts on the 15th: 2026-03 runs 3-15 .. 4-14.
    HouseholdMonth::setStartDay(Book, 15);
    Budget::setAmount(Book, "食品", {"2026-03"}, yuan("500"));
    Budget::setAmount(Book, "", {"2026-03"}, yuan("200"));
    spend("2026-03-14", "食品", "70");
    spend("2026-03-15", "食品", "80");
    spend("2026-04-14", "外出就餐", "40");
    spend("2026-04-14", "衣服", "60");
    spend("2026-04-15", "衣服", "1000");
    const Budget::Status s = Budget::status(Book, "2026-03");
    QCOMPARE(figures(*line(s, "食品")), QString("食品 500 0 80 420"));
    QCOMPARE(figures(*line(s, "其余支出")), QString("其余支出 200 0 100 100"));
    QCOMPARE(figures(s.total()), QString("合计 700 0 180 520"));
    // Copied into the next month; a negative amount is refused.
    Budget::copyPrevious(Book, "2026-04");
    QCOMPARE(Budget::plan(Book, 2026).value("食品").value("2026-04"), yuan("500"));
    QCOMPARE(Budget::plan(Book, 2026).value("").value("2026-04"), yuan("200"));
    // A category renamed keeps its budget and its spending.
    Ledger ledger(Book);
    ledger.saveReferenceEdit("OutD", Db::value("select ID from OutD where OName='食品'"),
                             {{"OName", "饮食"}});
    ledger.commit();
    QCOMPARE(figures(*line(Budget::status(Book, "2026-03"), "饮食")), QString("饮食 500 0 80 420"));
    try {
        Budget::setAmount(Book, "食品", {"2026-05"}, yuan("-1"));
        QFAIL("refused");
    } catch (const DbError &e) {
        QCOMPARE(e.message(), Budget::negativeRefusal());
    }
}

void TestBudget::warnsOncePast80AndOncePast100()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
    QStringList notes;
    QObject listener;
    QObject::connect(
        ChangeFeed::instance(), &ChangeFeed::committed, &listener,
        [&](const Change &change) { notes << Budget::warnings(change.book, change.spending); });
    Budget::setAmount(Book, "食品", {"2026-05"}, yuan("1000"));
    spend("2026-05-01", "食品", "700");
    spend("2026-04-30", "食品", "900"); // another month
    QCOMPARE(notes, QStringList());
    spend("2026-05-02", "食品", "100");
    spend("2026-05-03", "食品", "150");
    QCOMPARE(notes, QStringList({"预算提醒：食品 2026-05 已用 80.0%，剩余 200.00。"}));
    spend("2026-05-04", "食品", "50"); // all of it, not past it
    QCOMPARE(notes.size(), 1);
    spend("2026-05-05", "食品", "10");
    spend("2026-05-06", "食品", "5");
    QCOMPARE(notes.size(), 2);
    QCOMPARE(notes.last(), QString("超出预算：食品 2026-05 已用 1,010.00，超出 10.00。"));
    // A category without a budget says nothing.
    spend("2026-05-05", "外出就餐", "5000");
    QCOMPARE(notes.size(), 2);
}

void TestBudget::aDeletedBookTakesItsPlanningRows()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    Budget::setAmount(Book, "食品", {"2026-05"}, yuan("1000"));
    Budget::setRollover(Book, "食品", true);
    HouseholdMonth::setStartDay(Book, 10);
    BookStore::deleteBook(Book);
    BookStore::createBook(Book);
    QVERIFY(!Budget::any(Book));
    QVERIFY(!Budget::rollover(Book, "食品"));
    QCOMPARE(HouseholdMonth::startDay(Book), 1);
}

QTEST_MAIN(TestBudget)
#include "tst_budget.moc"
