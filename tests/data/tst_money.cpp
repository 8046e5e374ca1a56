#include "data/Gbk.h"
#include "data/Money.h"

#include <QTest>

class TestMoney : public QObject
{
    Q_OBJECT
private slots:
    void parsesWhatUsersType_data();
    void parsesWhatUsersType();
    void refusesTextThatIsNotAnAmount_data();
    void refusesTextThatIsNotAnAmount();
    void saysWhyTextIsRefused();
    void formatsPlainAndGrouped();
    void showsAmountsAsGridsAndEditBoxesDo();
    void sumsStayExact();
    void countsGbkBytes();
};

void TestMoney::parsesWhatUsersType_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("units");
    QTest::newRow("whole") << "1500" << 15000000LL;
    QTest::newRow("decimal") << "12.5" << 125000LL;
    QTest::newRow("leading point") << ".25" << 2500LL;
    QTest::newRow("trailing point") << "3." << 30000LL;
    QTest::newRow("negative") << "-0.1" << -1000LL;
    QTest::newRow("plus and spaces") << " +7.0001 " << 70001LL;
    QTest::newRow("zero") << "0" << 0LL;
    QTest::newRow("thousands") << "1,234,567.5" << 12345675000LL;
    QTest::newRow("full-width") << QString::fromUtf8("１２３４．５") << 12345000LL;
    QTest::newRow("full-width grouped") << QString::fromUtf8("－１，０００。２５　") << -10002500LL;
}

void TestMoney::parsesWhatUsersType()
{
    QFETCH(QString, text);
    QFETCH(qlonglong, units);
    const auto money = Money::parse(text);
    QVERIFY(money.has_value());
    QCOMPARE(money->units(), units);
}

void TestMoney::refusesTextThatIsNotAnAmount_data()
{
    QTest::addColumn<QString>("text");
    for (const char *bad : {"", " ", "abc", "1,00", "12,34,567", ",100", "1.2.3", "--1", "1e5", ".",
                            "-", "12.34567", "123456789012345", "1'; drop table SAccount; --"})
        QTest::newRow(bad) << QString::fromUtf8(bad);
}

void TestMoney::refusesTextThatIsNotAnAmount()
{
    QFETCH(QString, text);
    QVERIFY(!Money::parse(text).has_value());
}

void TestMoney::saysWhyTextIsRefused()
{
    QVERIFY(Money::refusal(QString::fromUtf8("１２.５"), "金额").isEmpty());
    QCOMPARE(Money::refusal("12.34567", QString::fromUtf8("金额")),
             QString::fromUtf8("金额最多只能有四位小数！请重新录入！"));
    QCOMPARE(Money::refusal("12a", QString::fromUtf8("金额")),
             Money::invalidMessage(QString::fromUtf8("金额")));
    // Keystroke by keystroke an amount field lets through what may still become one.
    for (const char *partial : {"", "-", "1,", "1,2", "12.34567", "１２．"})
        QVERIFY2(Money::isPartialAmount(QString::fromUtf8(partial)), partial);
    for (const char *bad : {"a", "1-", "1.2.", "1e"})
        QVERIFY2(!Money::isPartialAmount(QString::fromUtf8(bad)), bad);
}

void TestMoney::formatsPlainAndGrouped()
{
    QCOMPARE(Money::parse("1500")->toPlain(), QString("1500"));
    QCOMPARE(Money::parse("12.50")->toPlain(), QString("12.5"));
    QCOMPARE(Money::parse("-0.25")->toPlain(), QString("-0.25"));
    QCOMPARE(Money().toPlain(), QString("0"));
    QCOMPARE(Money::parse("1234.5")->toGrouped(), QString("1,234.50"));
    QCOMPARE(Money::parse("1234567.891")->toGrouped(), QString("1,234,567.89"));
    QCOMPARE(Money::parse("0.005")->toGrouped(), QString("0.01"));
    QCOMPARE(Money::parse("-1000")->toGrouped(), QString("-1,000.00"));
    QCOMPARE(Money::parse("999.999")->toGrouped(), QString("1,000.00"));
    QCOMPARE(Money().toGrouped(), QString("0.00"));
    QCOMPARE(formatHundredths(4520), QString("45.20"));
}

void TestMoney::showsAmountsAsGridsAndEditBoxesDo()
{
    const auto shown = [](const char *text) { return Money::parse(text)->toShown(); };
    const auto editable = [](const char *text) { return Money::parse(text)->toEditable(); };
    QCOMPARE(shown("1234.5"), QString("1,234.50"));
    QCOMPARE(shown("-80"), QString("-80.00"));
    // Two decimals shown, rounded; the amount keeps its four.
    QCOMPARE(shown("0.0125"), QString("0.01"));
    QCOMPARE(shown("-1234567.125"), QString("-1,234,567.13"));
    QCOMPARE(Money().toShown(), QString("0.00"));
    QCOMPARE(editable("1234.5"), QString("1234.50"));
    QCOMPARE(editable("-80"), QString("-80.00"));
    QCOMPARE(editable("0.0125"), QString("0.0125"));
    // What an edit box shows reads back as the same amount.
    for (const char *text : {"1234567.8912", "-0.5", "0"})
        QCOMPARE(Money::parse(editable(text)), Money::parse(text));
}

void TestMoney::sumsStayExact()
{
    Money m;
    const Money tenth = *Money::parse("0.1");
    for (int i = 0; i < 3; ++i)
        m += tenth;
    QCOMPARE(m, *Money::parse("0.3"));
    for (int i = 0; i < 3; ++i)
        m -= tenth;
    QVERIFY(m.isZero());
}

void TestMoney::countsGbkBytes()
{
    QCOMPARE(gbkByteLength("abc"), 3);
    QCOMPARE(gbkByteLength(QString::fromUtf8("我家帐簿")), 8);
    QCOMPARE(gbkByteLength(QString::fromUtf8("a中")), 3);
    QCOMPARE(toGbk(QString::fromUtf8("中")), QByteArray("\xD6\xD0"));
}

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
