// Times 查询 of the income query window with no condition on a book of 1,000 and
// of 1,000,000 entries: until the first screen of the list is drawn, and until the
// count and totals are shown (goal: the first screen within 1.5 times).
//
//   QT_QPA_PLATFORM=offscreen bench_querywindow [LARGE]

#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "data/Sql.h"
#include "data/Transaction.h"
#include "reports/DetailQueries.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const QString Book = QStringLiteral("大帐簿");

void fillBook(int entries)
{
    Sql(QStringLiteral("delete from InTable")).exec();
    Transaction t;
    QSqlQuery insert(Workspace::instance()->database());
    insert.prepare(QStringLiteral("insert into InTable (BName, IDate, IName, IMoney, AName, FName, "
                                  "Remark) values (?, ?, '工资', ?, '工资卡', '张伟', '备注')"));
    const QDate start(2000, 1, 1);
    for (int i = 0; i < entries; ++i) {
        insert.addBindValue(Book);
        insert.addBindValue(start.addDays(i % 9000).toString(Qt::ISODate));
        insert.addBindValue(qlonglong(i % 100000) * 100);
        insert.exec();
    }
    t.commit();
}

struct Times
{
    double firstScreen = 1e9, totals = 1e9;
};

Times timeQuery()
{
    Times best;
    for (int round = 0; round < 5; ++round) {
        IncomeQueryWindow window;
        window.resize(1200, 800);
        window.show();
        window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(false);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        window.runQuery();
        window.findChild<QTableView *>(QStringLiteral("DBGrid1"))->viewport()->grab();
        best.firstScreen = std::min(best.firstScreen, timer.nsecsElapsed() / 1e6);
        Background::waitForIdle(); // the count and totals, computed on the worker
        best.totals = std::min(best.totals, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int large = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir data;
    qputenv("QINGHEBU_DATA_DIR", data.path().toUtf8());
    Workspace dm;
    Sql(QStringLiteral("insert into SBook (BName, BPass, BDate) values (?, '', '2000-01-01')"),
        {Book})
        .exec();
    dm.setCurrentBook(Book);

    fillBook(1000);
    const Times small = timeQuery();
    fillBook(large);
    const Times big = timeQuery();
    std::printf("entries         first screen   with count and totals\n"
                "%-15d %9.1f ms   %9.1f ms\n%-15d %9.1f ms   %9.1f ms\n"
                "first screen ratio: %.2f (goal <= 1.50)\n",
                1000, small.firstScreen, small.totals, large, big.firstScreen, big.totals,
                big.firstScreen / small.firstScreen);
    return big.firstScreen / small.firstScreen <= 1.5 ? 0 : 1;
}
