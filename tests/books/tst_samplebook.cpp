#include "core/books/SampleBook.h"
#include "data/Sql.h"
#include "support/TestSupport.h"

#include <QTest>

// The sample book: balances that hold the effect of its entries, the same book for
// the same seed, and nothing kept when it cannot be written.
class TestSampleBook : public QObject
{
    Q_OBJECT
private slots:
    void balancesAreOpeningPlusEntries();
    void sameSeedSameBook();
    void aTakenNameWritesNothing();
};

namespace {

// The effect of every entry of the book on the account's balance.
Money entryEffect(const QString &book, const QString &account)
{
    const auto sum = [&](const char *sql) {
        return Money::fromVariant(Db::value(QString::fromUtf8(sql), {book, account}));
    };
    // A follow-up belongs to the book of its entry.
    const auto records = [&](const char *amount, const char *table, const char *key,
                             const char *entries) {
        return Money::fromVariant(
            Db::value(QString("select sum(r.%1) from %2 r join %4 e on e.ID=r.%3 "
                              "where e.BName=? and r.AName=?")
                          .arg(amount, table, key, entries),
                      {book, account}));
    };
    return sum("select sum(IMoney) from InTable where BName=? and AName=?") -
           sum("select sum(OMoney) from OutTable where BName=? and AName=?") -
           sum("select sum(CMoney) from ChangeT where BName=? and OldN=?") +
           sum("select sum(CMoney) from ChangeT where BName=? and NewN=?") +
           // a debt brought what is still owed and what was repaid
           sum("select sum(BMoney+RMoney) from Borrow where BName=? and AName=?") -
           records("RMoney", "BorrowR", "BID", "Borrow") -
           sum("select sum(DMoney+RMoney) from Debt where BName=? and AName=?") +
           records("RMoney", "DebtR", "DID", "Debt") -
           sum("select sum(TMoney) from TTable where BName=? and AName=?") -
           sum("select sum(r.RMoney) from TTableR r join TTable t on t.ID=r.TID "
               "where t.BName=? and t.AName=?") +
           records("RMoney+r.SMoney", "TTableR", "TID", "TTable");
}

// The entries of a book in the order they were written, without keys and book name.
QStringList entries(const QString &book)
{
    QStringList out;
    for (const char *sql :
         {"select IDate,IName,IMoney,AName,FName,Remark from InTable where BName=? order by ID",
          "select ODate,OName,OMoney,AName,FName,Remark from OutTable where BName=? order by ID",
          "select CDate,OldN,NewN,CMoney,FName,Remark from ChangeT where BName=? order by ID",
          "select BDate,BPro,BMoney,AName,FName,RMoney from Borrow where BName=? order by ID",
          "select DDate,DPro,DMoney,AName,FName,RMoney from Debt where BName=? order by ID",
          "select TDate,TName,TMoney,AName,FName,RMoney from TTable where BName=? order by ID"}) {
        QSqlQuery q = Sql(QString::fromUtf8(sql), {book}).exec();
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 6; ++c)
                row << q.value(c).toString();
            out << row.join(QLatin1Char('|'));
        }
    }
    return out;
}

} // namespace

void TestSampleBook::balancesAreOpeningPlusEntries()
{
    TestEnvironment env;
    const QDate lastDay(2026, 3, 31);
    const SampleBook::Summary s =
        SampleBook::write({.book = "样例", .entries = 3000, .seed = 9, .lastDay = lastDay});

    qint64 written = 0;
    for (qint64 n : s.entriesByTable)
        written += n;
    QCOMPARE(written, 3000);
    QVERIFY(s.entriesByTable.value("InTable") > 300 && s.entriesByTable.value("ChangeT") > 100);
    for (const char *table : {"Borrow", "Debt", "TTable"})
        QVERIFY2(s.entriesByTable.value(table) > 10, table);
    QCOMPARE(Db::count("select count(*) from SAccount where BName='样例'"),
             s.openingBalances.size());
    for (auto it = s.openingBalances.cbegin(); it != s.openingBalances.cend(); ++it)
        QCOMPARE(Db::balance("样例", it.key()), it.value() + entryEffect("样例", it.key()));
    // Only the credit card is spent beyond what it holds.
    QCOMPARE(Db::count("select count(*) from SAccount where AMoney<0 and AName<>'信用卡'"), 0);

    // Ten years up to the last day, amounts to the cent, names the book knows.
    QCOMPARE(Db::value("select min(ODate) from OutTable").toString(), "2016-04-01");
    QVERIFY(Db::value("select max(IDate) from InTable").toString() <= "2026-03-31");
    QCOMPARE(Db::count("select count(*) from OutTable where OMoney<=0 or OMoney%100<>0"), 0);
    QCOMPARE(Db::count("select count(*) from OutTable where OName not in "
                       "(select OName from OutD where BName='样例')"),
             0);
    QCOMPARE(Db::count("select count(*) from ChangeT where OldN=NewN"), 0);

    // Debts, credits and investments with follow-ups, their running figures the
    // sums of their follow-ups, never settled beyond the amount.
    QVERIFY(Db::count("select count(*) from BorrowR") > 5 &&
            Db::count("select count(*) from DebtR") > 5 &&
            Db::count("select count(*) from TTableR") > 5);
    QCOMPARE(Db::count("select count(*) from Borrow b where BMoney<0 or RMoney<>"
                       "(select coalesce(sum(RMoney),0) from BorrowR where BID=b.ID)"),
             0);
    QCOMPARE(Db::count("select count(*) from Debt d where DMoney<0 or RMoney<>"
                       "(select coalesce(sum(RMoney),0) from DebtR where DID=d.ID)"),
             0);
    QCOMPARE(Db::count("select count(*) from TTable t where TMoney<0 or RMoney<>"
                       "(select coalesce(sum(SMoney),0) from TTableR where TID=t.ID)"),
             0);
    QCOMPARE(Db::count("select count(*) from BorrowR where RDate>'2026-03-31'"), 0);
}

void TestSampleBook::sameSeedSameBook()
{
    TestEnvironment env;
    SampleBook::write({.book = "甲", .entries = 500, .seed = 42});
    SampleBook::write({.book = "乙", .entries = 500, .seed = 42});
    SampleBook::write({.book = "丙", .entries = 500, .seed = 43});
    QCOMPARE(entries("甲").size(), 500);
    QCOMPARE(entries("甲"), entries("乙"));
    QVERIFY(entries("甲") != entries("丙"));
    // Members are shared by the books: written once.
    QCOMPARE(Db::count("select count(*) from SFamily"), 4);
}

void TestSampleBook::aTakenNameWritesNothing()
{
    TestEnvironment env;
    SampleBook::write({.book = "甲", .entries = 100, .seed = 1});
    const QStringList before = Db::dump();
    QVERIFY_THROWS_EXCEPTION(DbError, SampleBook::write({.book = "甲", .entries = 100}));
    QCOMPARE(Db::dump(), before);
}

QTEST_MAIN(TestSampleBook)
#include "tst_samplebook.moc"
