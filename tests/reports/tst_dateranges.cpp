#include "app/WindowCatalog.h"
#include "data/Sql.h"
#include "entries/EntryFilters.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QTest>
#include <memory>

// Every window that asks for a period refuses one whose first day is after its
// last, with the same message, and runs nothing.
class TestDateRanges : public QObject
{
    Q_OBJECT
private slots:
    void reversedRangeIsRefusedAndNothingRuns_data();
    void reversedRangeIsRefusedAndNothingRuns();
};

namespace {
struct CountingTarget : FilterTarget
{
    void applyFilter(const Condition &) override { ++calls; }
    int calls = 0;
};
} // namespace

void TestDateRanges::reversedRangeIsRefusedAndNothingRuns_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("dateBox");
    QTest::newRow("quick filter") << "TfrmOutTable_Q"
                                  << "CheckBox1";
    QTest::newRow("query") << "TfrmP_In"
                           << "CheckBox1";
    QTest::newRow("analysis") << "TfrmE_O"
                              << "CheckDate";
    QTest::newRow("statistics") << "TfrmPage1"
                                << "CheckDate";
    QTest::newRow("statement") << "TfrmSZ_M"
                               << "CheckDate";
}

void TestDateRanges::reversedRangeIsRefusedAndNothingRuns()
{
    QFETCH(QString, window);
    QFETCH(QString, dateBox);
    TestEnvironment env;
    Seed seed("家");
    seed.account("现金");
    seed.commit();
    env.dm()->setCurrentBook("家");
    MessageRecorder messages;
    CountingTarget target;
    std::unique_ptr<QWidget> w(window == "TfrmOutTable_Q"
                                   ? new ExpenseFilterDialog(&target)
                                   : WindowCatalog::find(window)->create(nullptr));
    w->show();
    Drive::find<QCheckBox>(w.get(), dateBox)->setChecked(true);
    Drive::setDate(w.get(), "DateTimePicker1", QDate(2026, 3, 15));
    Drive::setDate(w.get(), "DateTimePicker2", QDate(2026, 3, 14));

    SqlRecording::start();
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(SqlRecording::stop().size(), 0);
    QCOMPARE(messages.texts(), QStringList{"日期选择错误，请重新选择！"});
    QCOMPARE(target.calls, 0);
    QVERIFY(w->isVisible()); // the quick filter stays open to be corrected
}

QTEST_MAIN(TestDateRanges)
#include "tst_dateranges.moc"
