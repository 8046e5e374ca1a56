#include "core/books/BookStore.h"
#include "core/ledger/Figures.h"
#include "core/ledger/Workspace.h"
#include "entries/IncomeExpense.h"
#include "reference/AccountsWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/ListModel.h"
#include "widgets/ListWindow.h"

#include <QColor>
#include <QTableView>
#include <QTest>

// Lists longer than a page: the cursor, the last row, the row being entered,
// the count after writes, and computed amounts shown as money.
class TestListWindow : public QObject
{
    Q_OBJECT
private slots:
    void placesAreCountedInTheListsOrder();
    void lastAndNewRowsOnAListOfSeveralPages();
    void cursorStaysOnTheEditedRowBeyondTheFirstPage();
    void sumsShowAsMoney();
    void negativesAndSharesComeFromOneFormatter();
};

namespace {

const QString Book = QStringLiteral("家");
constexpr int Rows = 2 * ListModel::PageSize + 50;

void seedBook(TestEnvironment &env)
{
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
}

// Income entries of the book: several on each date, so that the key orders
// the rows of one date. Entry i is worth i.
void insertIncome(int count)
{
    Seed seed(Book); // one write to the disk, not one per row
    for (int i = 1; i <= count; ++i)
        seed.income(QDate(2020, 1, 1).addDays(i / 3).toString("yyyy-MM-dd"), "工资",
                    Money::fromUnits(i * Money::Scale), "现金");
    seed.commit();
}

// What the grid shows of each row, read row by row as a user scrolls.
QStringList shown(QWidget *w, const QString &title)
{
    return Drive::column(w, "DBGrid1", title);
}

} // namespace

void TestListWindow::placesAreCountedInTheListsOrder()
{
    TestEnvironment env;
    seedBook(env);
    insertIncome(Rows);
    ListModel model;
    model.setQuery(
        {Sql("select IDate as 日期, IMoney as 金额, ID from InTable where BName=?", {Book}),
         "日期 desc, ID desc",
         {{"金额", List::Kind::Money}}});
    QCOMPARE(model.totalRows(), Rows);
    // The list as the database orders it, read at once.
    QVariantList keys;
    QSqlQuery all = Sql("select ID from InTable order by IDate desc, ID desc").exec();
    while (all.next())
        keys << all.value(0);
    for (int row = 0; row < Rows; ++row)
        QCOMPARE(model.value(row, "ID"), keys[row]);
    // Found without the pages read: the row's place is counted.
    ListModel fresh;
    fresh.setQuery(model.query());
    for (int row : {0, 1, 2, ListModel::PageSize + 7, Rows - 2, Rows - 1})
        QCOMPARE(fresh.rowOf("ID", keys[row]), row);
    QCOMPARE(fresh.rowOf("ID", 999999), -1);
    QCOMPARE(fresh.totalRows(), Rows);
    QCOMPARE(fresh.text(Rows - 1, "金额"), QString("1.00"));
    QCOMPARE(fresh.editText(0, "金额"), QString("%1.00").arg(Rows));
}

void TestListWindow::lastAndNewRowsOnAListOfSeveralPages()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    insertIncome(Rows);
    IncomeWindow w;
    w.show();
    // Opening reads the first page only; 最后一条 counts the list.
    QCOMPARE(w.model()->rowCount(), ListModel::PageSize);
    QVERIFY(!w.model()->isCounted());
    Drive::click(&w, "NavLast");
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), Rows - 1);
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("1.00")); // the oldest entry
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("2020-01-01"));
    QVERIFY(!Drive::widget(&w, "NavNext")->isEnabled());
    Drive::click(&w, "NavPrior");
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("2.00"));

    // The row being entered stands after the last one until it is saved.
    Drive::click(&w, "ButNew");
    QCOMPARE(w.model()->rowCount(), Rows + 1);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), Rows);
    QVERIFY(Drive::text(&w, "DBEdit3").isEmpty());
    Drive::click(&w, "ButCan");
    QCOMPARE(w.model()->rowCount(), Rows);
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("2.00"));

    Drive::click(&w, "ButNew");
    Drive::choose(&w, "DBLookupComboBox1", "工资");
    Drive::setText(&w, "DBEdit3", "1234.5");
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    Drive::click(&w, "ButSave");
    QCOMPARE(w.model()->rowCount(), Rows + 1);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 0); // today's entry comes first
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("1,234.50"));
    QCOMPARE(shown(&w, "金额").first(), QString("1,234.50"));

    // Another program wrote meanwhile: the next save counts the list again.
    Drive::stopFollowingChanges(&w);
    insertIncome(3);
    Drive::click(&w, "NavLast");
    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");
    QCOMPARE(w.model()->totalRows(), Rows + 3);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), Rows); // the place of the deleted row
    QCOMPARE(shown(&w, "金额").size(), Rows + 3);

    // A row entered on a list not counted yet stays the last one when the list
    // is counted (the grid scrolled to its end).
    w.reload();
    QVERIFY(!w.model()->isCounted());
    Drive::click(&w, "ButNew");
    w.model()->fetchMore(QModelIndex());
    QCOMPARE(w.model()->rowCount(), Rows + 4);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), Rows + 3);
    QVERIFY(Drive::text(&w, "DBEdit3").isEmpty());
    Drive::click(&w, "ButCan");
    QCOMPARE(w.model()->rowCount(), Rows + 3);
    QVERIFY(messages.messages.size() == 1); // only the question before the delete
}

void TestListWindow::cursorStaysOnTheEditedRowBeyondTheFirstPage()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    Seed seed(Book);
    for (int i = 0; i < Rows; ++i)
        seed.account(QStringLiteral("帐户%1").arg(i, 3, 10, QLatin1Char('0')));
    seed.commit();
    AccountsWindow w;
    w.show();
    const int row = w.model()->totalRows() - 20;
    w.goToRow(row);
    const QString name = Drive::text(&w, "DBEdit1");
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "-80");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), row);
    QCOMPARE(Drive::text(&w, "DBEdit1"), name);
    QCOMPARE(Drive::text(&w, "DBEdit2"), QString("-80.00"));
    QCOMPARE(shown(&w, "帐户余额").at(row), QString("-80.00"));
    auto *grid = Drive::find<QTableView>(&w, "DBGrid1");
    const QModelIndex amount = grid->model()->index(row, w.model()->column("帐户余额"));
    QCOMPARE(amount.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(Db::balance(Book, name), *Money::parse("-80"));
    QCOMPARE(messages.texts().size(), 1); // where the difference goes
}

void TestListWindow::sumsShowAsMoney()
{
    TestEnvironment env;
    seedBook(env);
    Seed seed(Book);
    for (const char *amount : {"1000", "234.5", "-80", "0.0125"})
        seed.income("2024-01-01", amount[0] == '1' || amount[0] == '2' ? "工资" : amount,
                    yuan(amount), "现金");
    seed.commit();
    ListWindow w({.className = "TestSums",
                  .table = "InTable",
                  .columns = {{"IName", "收入类别"},
                              {"sum(IMoney)", "金额", List::Kind::Money},
                              {"count(*)", "笔数"}},
                  .keyColumn = false,
                  .groupBy = " group by IName",
                  .orderBy = "金额 desc"});
    w.load();
    QCOMPARE(Drive::titles(&w, "DBGrid1"), QStringList({"收入类别", "金额", "笔数"}));
    QCOMPARE(shown(&w, "金额"), QStringList({"1,234.50", "0.01", "-80.00"}));
    QCOMPARE(shown(&w, "笔数"), QStringList({"2", "1", "1"}));
    QVERIFY(w.model()->isMoney(1) && !w.model()->isMoney(2));
}

void TestListWindow::negativesAndSharesComeFromOneFormatter()
{
    ListModel model;
    model.setRows({{"", "项"},
                   {"", "金额", List::Kind::Money},
                   {"", "笔数", List::Kind::Count},
                   {"", "占比", List::Kind::Ratio}},
                  {{"甲", -12345000LL, 12345LL, 1934LL}, {"乙", 5000LL, 1LL, -2500LL}});
    const auto cell = [&model](int row, int column, int role = Qt::DisplayRole) {
        return model.data(model.index(row, column), role);
    };
    QCOMPARE(cell(0, 1).toString(), "-1,234.50");
    QCOMPARE(cell(0, 2).toString(), "12,345");
    QCOMPARE(cell(0, 3).toString(), "19.3%");
    QCOMPARE(cell(1, 3).toString(), "-25.0%");
    QCOMPARE(cell(0, 2, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    // Below zero in red, amounts and shares alike; counts and text never.
    QCOMPARE(cell(0, 1, Qt::ForegroundRole).value<QColor>(), Figures::negativeColor());
    QCOMPARE(cell(1, 3, Qt::ForegroundRole).value<QColor>(), Figures::negativeColor());
    QVERIFY(!cell(1, 1, Qt::ForegroundRole).isValid());
    QVERIFY(!cell(0, 2, Qt::ForegroundRole).isValid());
    // A label takes the same red.
    QVERIFY(Figures::richText("-1.00", true).contains(Figures::negativeColor().name()));
}

QTEST_MAIN(TestListWindow)
#include "tst_listwindow.moc"
