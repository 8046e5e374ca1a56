#include "core/ledger/Figures.h"
#include "core/reports/Analysis.h"
#include "core/reports/PeriodStatement.h"
#include "core/reports/Statistics.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

// The computations behind the statement, analysis, statistics and balance windows.
class TestReportData : public QObject
{
    Q_OBJECT
private slots:
    void periodsAreWholeCalendarPeriods();
    void defaultFirstDays();
    void statementSumsEachSideByPeriod();
    void statementLimitsAndQuotedNames();
    void shareIsAnExactRatio();
    void analysisGroupsByItem();
    void statisticsTotalPerName();
    void keptSumsEqualTheRows();
    void balancesAndNetAssets();
};

namespace {

using PeriodStatement::Period;
const QString Book = "家";

QDate day(const char *text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

void income(Seed &seed, const char *date, const char *amount, const QString &category = "工资",
            const QString &account = "现金", const QString &member = "爸爸")
{
    seed.income(date, category, yuan(amount), account, member);
}

void expense(Seed &seed, const char *date, const char *amount, const QString &category = "餐饮",
             const QString &account = "现金", const QString &member = "爸爸")
{
    seed.expense(date, category, yuan(amount), account, member);
}

PeriodStatement::Result monthly(const char *from, const char *to, const EntryFilter &filter = {})
{
    return PeriodStatement::compute(Book, Period::Month, day(from), day(to), filter);
}

// Rows of a list statement in its order as "a|b|c" texts, amounts as plain decimals.
QStringList rows(const List::Query &list, const QList<int> &moneyColumns)
{
    QStringList terms;
    for (const List::OrderTerm &t : list.orderTerms())
        terms << List::quoted(t.column) + (t.descending ? " desc" : "");
    QStringList out;
    QSqlQuery q = Sql(list.select).add(" order by " + terms.join(',')).exec();
    while (q.next()) {
        QStringList cells;
        for (int c = 0; c < q.record().count(); ++c)
            cells << (moneyColumns.contains(c) ? Money::fromVariant(q.value(c)).toPlain()
                                               : q.value(c).toString());
        out << cells.join('|');
    }
    return out;
}

} // namespace

void TestReportData::periodsAreWholeCalendarPeriods()
{
    using PeriodStatement::periodLabels;
    QCOMPARE(periodLabels(Period::Month, day("2008-01-15"), day("2008-03-14")),
             QStringList({"2008-01", "2008-02", "2008-03"}));
    const QStringList year2008 = periodLabels(Period::Month, day("2008-01-01"), day("2008-12-31"));
    QCOMPARE(year2008.size(), 12);
    QCOMPARE(year2008.first(), "2008-01");
    QCOMPARE(year2008.last(), "2008-12");
    QCOMPARE(periodLabels(Period::Month, day("2008-05-20"), day("2008-05-20")),
             QStringList({"2008-05"}));
    QCOMPARE(periodLabels(Period::Month, day("2007-11-30"), day("2008-02-29")),
             QStringList({"2007-11", "2007-12", "2008-01", "2008-02"}));
    QCOMPARE(periodLabels(Period::Year, day("2006-01-01"), day("2008-12-31")),
             QStringList({"2006", "2007", "2008"}));
    QCOMPARE(periodLabels(Period::Year, day("2008-12-31"), day("2009-01-01")),
             QStringList({"2008", "2009"}));
    QVERIFY(periodLabels(Period::Month, day("2008-03-01"), day("2008-02-01")).isEmpty());
}

void TestReportData::defaultFirstDays()
{
    using PeriodStatement::defaultFrom;
    // Twelve months ending with this one, including a leap day's span.
    QCOMPARE(defaultFrom(Period::Month, day("2024-03-31")), day("2023-04-01"));
    QCOMPARE(defaultFrom(Period::Month, day("2008-12-08")), day("2008-01-01"));
    QCOMPARE(
        PeriodStatement::periodLabels(Period::Month, day("2023-04-01"), day("2024-03-31")).size(),
        12);
    QCOMPARE(defaultFrom(Period::Year, day("2024-02-29")), day("2024-01-01"));
}

void TestReportData::statementSumsEachSideByPeriod()
{
    TestEnvironment env;
    Seed seed(Book);
    income(seed, "2007-12-31", "999"); // before the first period
    income(seed, "2008-01-01", "0.1");
    income(seed, "2008-01-31", "0.2");
    expense(seed, "2008-01-10", "0.25");
    expense(seed, "2008-02-29", "40"); // a month with expenses and no income
    income(seed, "2008-03-31", "100");
    income(seed, "2008-04-01", "999"); // after the last period
    seed.commit();
    Seed other("别家");
    income(other, "2008-01-05", "777");
    other.commit();

    const auto result = monthly("2008-01-15", "2008-03-14");
    QCOMPARE(result.rows.size(), std::size_t(3));
    const auto &jan = result.rows[0];
    QCOMPARE(jan.label, "2008-01");
    QCOMPARE(jan.income, yuan("0.3"));
    QCOMPARE(jan.incomeCount, 2);
    QCOMPARE(jan.expense, yuan("0.25"));
    QCOMPARE(jan.balance(), yuan("0.05"));
    const auto &feb = result.rows[1];
    QCOMPARE(feb.incomeCount, 0);
    QCOMPARE(feb.balance(), -yuan("40"));
    QCOMPARE(feb.share(), 0);
    QCOMPARE(result.rows[2].income, yuan("100"));
    QCOMPARE(result.rows[2].expenseCount, 0);

    const auto totals = result.totals();
    QCOMPARE(totals.income, yuan("100.3"));
    QCOMPARE(totals.incomeCount, 3);
    QCOMPARE(totals.expense, yuan("40.25"));
    QCOMPARE(totals.expenseCount, 2);
    QCOMPARE(totals.balance(), yuan("60.05"));

    const auto years =
        PeriodStatement::compute(Book, Period::Year, day("2006-01-01"), day("2008-12-31"), {});
    QCOMPARE(years.rows.size(), std::size_t(3));
    QCOMPARE(years.rows[0].label, "2006");
    QCOMPARE(years.rows[0].incomeCount, 0);
    QCOMPARE(years.rows[1].income, yuan("999"));
    QCOMPARE(years.rows[2].incomeCount, 4);
}

void TestReportData::statementLimitsAndQuotedNames()
{
    TestEnvironment env;
    Seed seed(Book);
    income(seed, "2008-01-02", "10", "工资", "现金");
    income(seed, "2008-01-03", "20", "工资", "O'Brien 卡");
    expense(seed, "2008-01-04", "5", "餐饮", "现金");
    expense(seed, "2008-01-05", "7", "餐饮", "O'Brien 卡", "妈'妈");
    seed.commit();

    EntryFilter byAccount;
    byAccount.account = "O'Brien 卡";
    const auto card = monthly("2008-01-01", "2008-01-31", byAccount).rows.at(0);
    QCOMPARE(card.income, yuan("20"));
    QCOMPARE(card.expense, yuan("7"));

    EntryFilter byMember;
    byMember.member = "妈'妈";
    const auto mum = monthly("2008-01-01", "2008-01-31", byMember).rows.at(0);
    QCOMPARE(mum.incomeCount, 0);
    QCOMPARE(mum.expenseCount, 1);
}

void TestReportData::shareIsAnExactRatio()
{
    const auto share = [](const char *in, const char *out) {
        PeriodStatement::Row row;
        row.income = yuan(in);
        row.expense = yuan(out);
        return Figures::percent(row.share());
    };
    QCOMPARE(share("100", "75"), "75.0%");
    QCOMPARE(share("3", "1"), "33.3%");
    QCOMPARE(share("3", "2"), "66.7%");
    QCOMPARE(share("0.3", "0.1"), "33.3%");
    QCOMPARE(share("100", "120"), "120.0%");
    QCOMPARE(share("0.01", "12345"), "123,450,000.0%");
    QCOMPARE(share("0", "5"), "0.0%");
    QCOMPARE(share("5", "0"), "0.0%");
    QCOMPARE(share("-4", "1"), "-25.0%");
    QCOMPARE(share("99999999999999", "99999999999999"), "100.0%");
}

void TestReportData::analysisGroupsByItem()
{
    TestEnvironment env;
    Seed seed(Book);
    income(seed, "2007-05-01", "10", "工资", "现金", "爸爸");
    income(seed, "2007-06-01", "20", "奖金", "现金", "");
    income(seed, "2008-01-01", "30", "工资", "银行卡", "");
    income(seed, "2008-01-20", "40", "利'息", "银行卡", "妈妈");
    seed.commit();
    const auto items = Analysis::items("收入", EntryTables::Income);
    QCOMPARE(items.size(), std::size_t(6));
    QCOMPARE(items[Analysis::DefaultItem].text, "月收入");

    const auto run = [&](int item, const EntryFilter &filter = {}) {
        QStringList out;
        const auto result = Analysis::run(EntryTables::Income, items[item], Book, filter);
        for (const auto &r : result.rows)
            out << r.item + "=" + r.amount.toPlain();
        out << (result.total ? result.total->toPlain() : "-");
        return out;
    };
    QCOMPARE(run(1), QStringList({"2007-05=10", "2007-06=20", "2008-01=70", "100"}));
    QCOMPARE(run(2), QStringList({"2007=30", "2008=70", "100"}));
    QCOMPARE(run(3), QStringList({"=50", "妈妈=40", "爸爸=10", "100"}));
    QCOMPARE(run(4).size(), 4); // three categories and the total
    EntryFilter days;
    days.days = {day("2007-06-01"), day("2008-01-01")};
    QCOMPARE(run(0, days), QStringList({"2007-06-01=20", "2008-01-01=30", "50"}));
    EntryFilter quoted;
    quoted.category = "利'息";
    QCOMPARE(run(5, quoted), QStringList({"银行卡=40", "40"}));
    quoted.category = "无此类别";
    QCOMPARE(run(5, quoted), QStringList({"-"}));
}

void TestReportData::statisticsTotalPerName()
{
    TestEnvironment env;
    Seed seed(Book);
    income(seed, "2008-01-02", "10");
    income(seed, "2008-01-03", "20");
    income(seed, "2008-01-04", "30");
    income(seed, "2007-01-04", "5", "奖金");
    seed.commit();
    Seed other("别家");
    income(other, "2008-01-04", "100", "奖金");
    other.commit();
    EntryFilter period;
    period.days = {day("2008-01-01"), day("2008-01-31")};
    QCOMPARE(rows(Statistics::statement(Statistics::Income, Book, period), {2}),
             QStringList({"工资|3|60"}));
    QCOMPARE(rows(Statistics::statement(Statistics::Income, Book, {}), {2}),
             QStringList({"工资|3|60", "奖金|1|5"}));

    // A debt repaid in full still counts, adding nothing.
    Seed debts(Book);
    const QVariant repaid = debts.debt("2008-01-01", "老王", yuan("5"), "现金");
    debts.followUp(Ledger::repayment(), repaid, "2008-01-01", yuan("5"), "现金");
    debts.debt("2008-01-02", "老王", yuan("3"), "现金");
    debts.commit();
    QCOMPARE(rows(Statistics::statement(Statistics::Debts, Book, {}), {2}),
             QStringList({"老王|2|3"}));
    QCOMPARE(
        Statistics::statement(Statistics::Credits, Book, {}).kinds,
        (QHash<QString, List::Kind>{{"笔数", List::Kind::Count}, {"未收金额", List::Kind::Money}}));
}

// Kept totals for the whole months of a range and rows for the days of the months
// it cuts give what the rows alone give, whichever days the range starts and ends on.
void TestReportData::keptSumsEqualTheRows()
{
    TestEnvironment env;
    const QStringList members = {"爸爸", "妈妈", ""};
    Seed seed(Book);
    for (int i = 0; i < 120; ++i)
        income(seed, qPrintable(day("2024-01-20").addDays(i * 3 % 100).toString(Qt::ISODate)),
               qPrintable(QString::number(i + 1)), i % 2 ? "工资" : "奖金", "现金", members[i % 3]);
    seed.commit();
    const QStringList ranges = {"2024-01-01/2024-04-30", "2024-01-31/2024-03-01",
                                "2024-02-10/2024-02-20", "2024-02-01/2024-02-29",
                                "2024-02-29/2024-03-01", "2023-12-31/2024-02-01"};
    for (const QString &range : ranges) {
        EntryFilter filter;
        filter.days = {QDate::fromString(range.left(10), Qt::ISODate),
                       QDate::fromString(range.mid(11), Qt::ISODate)};
        filter.member = "妈妈";
        const QStringList kept = rows(Statistics::statement(Statistics::Income, Book, filter), {2});
        const QString expected =
            Db::value("select group_concat(line, ',') from (select IName||'|'||count(*)||'|'||"
                      "(sum(IMoney)/10000) as line from InTable where IDate between ? and ? and "
                      "FName='妈妈' group by IName order by sum(IMoney) desc, IName)",
                      {range.left(10), range.mid(11)})
                .toString();
        QCOMPARE(kept.join(','), expected);
    }
}

void TestReportData::balancesAndNetAssets()
{
    TestEnvironment env;
    Seed empty(Book);
    empty.account("空帐户");
    empty.commit();
    QCOMPARE(Balances::read(Book).line(),
             "银行存款及现金[0.00] 债务[0.00] 债权[0.00] 净资产[0.00]");

    // 现金 opens with 1,100.50: the debt brings 300.00 in, the credit takes 200.00
    // out, and it holds 1,200.50.
    Seed seed(Book);
    seed.account("现金", yuan("1100.5"));
    seed.account("信用卡", -yuan("200.5"));
    seed.debt("2008-01-01", "A", yuan("300"), "现金");
    seed.credit("2008-01-01", "B", yuan("200"), "现金");
    seed.commit();
    Seed other("别家");
    other.account("现金", yuan("999"));
    other.commit();
    QCOMPARE(Balances::read(Book).line(),
             "银行存款及现金[1,000.00] 债务[300.00] 债权[200.00] 净资产[900.00]");
}

QTEST_MAIN(TestReportData)
#include "tst_reportdata.moc"
