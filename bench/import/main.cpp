// Importing a year of bills at once: 100,000 rows, a 支付宝 交易明细 (GBK) of 90% of
// them and a 招商银行 card export of the rest, half of whose rows are the card
// payments of the 支付宝 bill. Measured, median of the rounds in thread CPU time
// (wall clock beside), each round on a fresh copy of the same book:
//   parse   Bills::readFile of both files, against a bare loop that reads the
//           same files' rows (GB18030 decoded, split into lines and cells, each
//           cell trimmed) — goal at most 2x;
//   match   the import plan: keys against what the book imported before,
//           refunds to their purchases, bank rows to the app's card payments;
//   import  Import::write of the chosen rows through the ledger in one
//           transaction, against bare SQL inserting the same entries and their
//           bill keys in one transaction (SQLite's C API, statements prepared
//           once) — goal at most 2x;
//   again   the plan of the same files against the book that holds them (every
//           row a duplicate);
//   undo    编辑 → 撤销 of the import (its entries taken away through the ledger),
//   redo    and 编辑 → 重做 (written back);
//   refuse  Bills::readFile of what is no bill, a 4 MB line of commas, against the
//           bare loop over it — goal at most 2x.
//
//   bench_import [ROWS]
#include "../common/BenchCommon.h"
#include "core/bills/BillImport.h"
#include "core/bills/BillReader.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "data/Sql.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

using namespace Bench;
constexpr int Rounds = 3;
constexpr double Goal = 2.0;

// ---- the bills -------------------------------------------------------------------

enum class RowKind
{
    Expense,
    Income,
    Closed,
    TopUp,
    Refund, // of the row before
};

RowKind kindOf(int i)
{
    if (i % 50 == 7)
        return RowKind::Refund;
    if (i % 50 == 6) // the refunded purchase
        return RowKind::Expense;
    if (i % 40 == 3)
        return RowKind::Closed;
    if (i % 25 == 11)
        return RowKind::Income;
    if (i % 30 == 13)
        return RowKind::TopUp;
    return RowKind::Expense;
}

const char *const Methods[] = {"余额", "花呗", "招商银行储蓄卡(1234)"};
const char *const Categories[] = {"餐饮美食", "日用百货", "交通出行", "服饰装扮", "充值缴费"};
const char *const Shops[] = {"美团", "某超市", "滴滴出行", "美丽衣橱", "中国移动", "便利店"};

QDateTime timeOf(int i)
{
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(qint64(i) * 301);
}

QString orderOf(int i)
{
    return timeOf(i).toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral("2200%1").arg(i, 12, 10, QLatin1Char('0'));
}

qint64 centsOf(int i)
{
    return 100 + (qint64(i) * 7919) % 50000;
}

QString amountText(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

bool paidByCard(int i)
{
    return kindOf(i) == RowKind::Expense && i % 3 == 2;
}

QByteArray gbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString alipayBill(int rows)
{
    QString text =
        QStringLiteral(
            "------------------------------------------------------------------------------------\n"
            "导出信息：\n姓名：李小禾\n支付宝账户：lixiaohe@example.com\n"
            "起始时间：[2024-01-01 00:00:00]    终止时间：[2024-12-31 23:59:59]\n"
            "导出交易类型：[全部]\n导出时间：[2025-01-02 10:15:30]\n共%1笔记录\n\n特别提示：\n"
            "1.本回单内容可表明支付宝受理了您的交易申请，不代表交易已成功；\n\n"
            "------------------------支付宝（杭州）信息技术有限公司  电子客户回单"
            "------------------------\n"
            "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,"
            "交易订单号,商家订单号,备注,\n")
            .arg(rows);
    for (int i = 0; i < rows; ++i) {
        const RowKind kind = kindOf(i);
        const QString shop = QString::fromUtf8(Shops[i % 6]);
        QString goods = QStringLiteral("商品%1").arg(i % 997);
        QString category = QString::fromUtf8(Categories[i % 5]);
        QString direction = QStringLiteral("支出"), status = QStringLiteral("交易成功");
        QString method = QString::fromUtf8(Methods[paidByCard(i) ? 2 : i % 2]);
        QString order = orderOf(i);
        qint64 cents = centsOf(i);
        switch (kind) {
        case RowKind::Expense:
            break;
        case RowKind::Income:
            category = QStringLiteral("转账红包");
            direction = QStringLiteral("收入");
            break;
        case RowKind::Closed:
            status = QStringLiteral("交易关闭");
            break;
        case RowKind::TopUp:
            category = QStringLiteral("投资理财");
            goods = QStringLiteral("余额宝-自动转入");
            direction = QStringLiteral("不计收支");
            method = QStringLiteral("余额");
            break;
        case RowKind::Refund:
            category = QStringLiteral("退款");
            goods = QStringLiteral("退款-商品%1").arg((i - 1) % 997);
            direction = QStringLiteral("不计收支");
            status = QStringLiteral("退款成功");
            method = QString::fromUtf8(Methods[paidByCard(i - 1) ? 2 : (i - 1) % 2]);
            order = orderOf(i - 1) + QStringLiteral("_%1").arg(i);
            cents = centsOf(i - 1) / 2;
            break;
        }
        text += QStringLiteral("%1,%2,%3,/,%4,%5,%6,%7,%8,%9\t,\t,,\n")
                    .arg(timeOf(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), category, shop,
                         goods, direction, amountText(cents), method, status, order);
    }
    return text;
}

// Every other row is the card payment of a 支付宝 row, the others salaries.
QString bankBill(int rows)
{
    QString text =
        QStringLiteral("# 招商银行交易记录\n# 账号: [6214********1234]\n# 币种: [人民币]\n"
                       "# 起始日期: [20240101]   终止日期: [20241231]\n"
                       "记账日期,货币,交易金额,联机余额,交易摘要,对手信息,客户摘要\n");
    qint64 balance = 100000000; // cents
    int app = 0;
    for (int j = 0; j < rows; ++j) {
        qint64 cents = 0;
        QString date, summary, counterparty;
        if (j % 2 == 0) {
            while (!paidByCard(app))
                ++app;
            cents = -centsOf(app);
            date = timeOf(app).toString(QStringLiteral("yyyy-MM-dd"));
            summary = QStringLiteral("快捷支付");
            counterparty = QString::fromUtf8(Shops[app % 6]);
            ++app;
        } else {
            cents = 500000 + j;
            date = timeOf(j * 9).toString(QStringLiteral("yyyy-MM-dd"));
            summary = QStringLiteral("代发工资");
            counterparty = QStringLiteral("某某公司");
        }
        balance += cents;
        text += QStringLiteral("%1,人民币,%2%3,%4,%5,%6,\n")
                    .arg(date, cents < 0 ? QStringLiteral("-") : QString(),
                         amountText(std::abs(cents)), amountText(balance), summary, counterparty);
    }
    return text;
}

// ---- the bare loops ----------------------------------------------------------------

// The rows of the files as a quick script reads them: decoded, cut into lines and
// cells, each cell trimmed.
qint64 bareRows(const QStringList &files)
{
    qint64 cells = 0;
    for (const QString &file : files) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(file));
        QStringDecoder decoder("GB18030");
        const QString text = decoder.decode(in.readAll());
        for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
            const QList<QStringView> row = line.split(QLatin1Char(','));
            for (const QStringView cell : row)
                cells += cell.trimmed().isEmpty() ? 0 : 1;
        }
    }
    return cells;
}

void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        qFatal("%s: %s", what, sqlite3_errmsg(db));
}

void bindText(sqlite3_stmt *s, int i, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// The entries the plan chose and their bill keys, inserted bare in one transaction.
void bareInsert(const QString &file, const Import::Plan &plan)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open(QFile::encodeName(file).constData(), &db), db, "open");
    check(sqlite3_exec(db, "PRAGMA synchronous = FULL; BEGIN", nullptr, nullptr, nullptr), db,
          "begin");
    const char *const texts[] = {
        "insert into OutTable (BName, ODate, OName, OMoney, AName, FName, Remark) "
        "values (?,?,?,?,?,?,?)",
        "insert into InTable (BName, IDate, IName, IMoney, AName, FName, Remark) "
        "values (?,?,?,?,?,?,?)",
        "insert into ImportEntry (BName, BatchID, BillKey, Method, BillDate, Amount, EntryTable, "
        "EntryID, Snapshot) values (?,1,?,?,?,?,?,?,?)"};
    sqlite3_stmt *statements[3] = {};
    for (int i = 0; i < 3; ++i)
        check(sqlite3_prepare_v2(db, texts[i], -1, &statements[i], nullptr), db, texts[i]);
    for (const Import::Line &line : plan.lines()) {
        if (!line.chosen)
            continue;
        const bool expense = line.kind == Import::Kind::Expense;
        sqlite3_stmt *entry = statements[expense ? 0 : 1];
        const QString fields[] = {Bench::Book, line.date, line.category};
        for (int i = 0; i < 3; ++i)
            bindText(entry, i + 1, fields[i]);
        sqlite3_bind_int64(entry, 4, line.amount.units());
        bindText(entry, 5, line.account);
        bindText(entry, 6, line.member);
        bindText(entry, 7, line.remark);
        check(sqlite3_step(entry), db, "entry");
        sqlite3_reset(entry);
        const qint64 id = sqlite3_last_insert_rowid(db);
        sqlite3_stmt *key = statements[2];
        const Bills::Row &row = plan.rowOf(line);
        bindText(key, 1, Bench::Book);
        bindText(key, 2, row.key);
        bindText(key, 3, row.method);
        bindText(key, 4, line.date);
        sqlite3_bind_int64(key, 5, line.amount.units());
        bindText(key, 6, expense ? QStringLiteral("OutTable") : QStringLiteral("InTable"));
        sqlite3_bind_int64(key, 7, id);
        bindText(key, 8, line.remark);
        check(sqlite3_step(key), db, "key");
        sqlite3_reset(key);
    }
    for (sqlite3_stmt *s : statements)
        sqlite3_finalize(s);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
}

// ---- the book ------------------------------------------------------------------------

// A book whose accounts the bills' payment methods are, remembered as the window
// would remember them.
void makeBook(const QString &dir, const QList<Bills::Document> &documents)
{
    qputenv("QINGHEBU_DATA_DIR", dir.toUtf8());
    Workspace dm;
    if (!dm.isOpen())
        qFatal("%s", qPrintable(dm.openError()));
    BookStore::createBook(Book);
    Sql(QStringLiteral("insert into SAccount (BName, AName, AMoney, thePY) values (?, '花呗', 0, "
                       "'HB')"),
        {Book})
        .exec();
    Import::Plan plan(Import::Settings::load(Book));
    plan.add(documents);
    const char *const accounts[] = {"支付宝", "花呗", "招行一卡通"};
    int next = 0;
    for (const QString &method : plan.methods())
        plan.settings().setAccount(method, QString::fromUtf8(accounts[next++ % 3]));
}

void line(const char *name, const Timing &ours, const Timing &bare)
{
    const double ratio = bare.cpu > 0 ? ours.cpu / bare.cpu : 0;
    std::printf("%-8s %10.0f %10.0f %10.0f %10.0f %7.2fx  %s\n", name, ours.cpu, ours.wall,
                bare.cpu, bare.wall, ratio,
                ratio <= Goal ? "ok (goal <= 2x)" : "FAIL (goal <= 2x)");
}

} // namespace

int main(int argc, char *argv[])
{
    noteUnoptimised();
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int bankRows = rows / 10;
    QTemporaryDir dir;
    const QStringList files = {
        dir.filePath(QStringLiteral("支付宝交易明细(20240101-20241231).csv")),
        dir.filePath(QStringLiteral("招商银行交易记录.csv"))};
    for (const auto &[file, text] : {std::pair{files[0], alipayBill(rows - bankRows)},
                                     std::pair{files[1], bankBill(bankRows)}}) {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(gbk(text)) < 0)
            qFatal("cannot write %s", qPrintable(file));
    }

    Sample parse, bareParse, match, import, bareImport, again, undo, redo, refuse, bareRefuse;
    const QString junk = dir.filePath(QStringLiteral("一行.csv"));
    if (QFile out(junk);
        !out.open(QIODevice::WriteOnly) || out.write(QByteArray(4'000'000, ',')) < 0)
        qFatal("cannot write %s", qPrintable(junk));
    for (int r = 0; r < Rounds; ++r) {
        bareRefuse.add(timed([&] { bareRows({junk}); }));
        refuse.add(timed([&] {
            try {
                Bills::readFile(junk);
            } catch (const Bills::Error &) {
            }
        }));
    }
    QList<Bills::Document> documents;
    for (int r = 0; r < Rounds; ++r) {
        bareParse.add(timed([&] { bareRows(files); }));
        parse.add(timed([&] {
            documents.clear();
            for (const QString &file : files)
                documents << Bills::readFile(file);
        }));
    }
    const QString pristine = dir.filePath(QStringLiteral("book"));
    makeBook(pristine, documents);

    Import::Result result;
    int chosen = 0, toConfirm = 0;
    for (int r = 0; r < Rounds; ++r) {
        WorkingCopy copy(bookFile(pristine));
        std::optional<Import::Plan> plan;
        match.add(timed([&] {
            plan.emplace(Import::Settings::load(Book));
            plan->add(documents);
        }));
        chosen = plan->chosenCount();
        toConfirm = plan->tally()[int(Import::Status::ToConfirm)].count;
        import.add(timed([&] { result = Import::write(*plan);
    }));
    again.add(timed([&] {
        Import::Plan more(Import::Settings::load(Book));
        more.add(documents);
    }));
    undo.add(timed([&] { History::undo(Book); }));
    redo.add(timed([&] { History::redo(Book); }));
}
{
    WorkingCopy copy(bookFile(pristine));
    Import::Plan plan(Import::Settings::load(Book));
    plan.add(documents);
    for (int r = 0; r < Rounds; ++r) {
        // A plain copy: the bare inserts open it themselves.
        QTemporaryDir bare;
        const QString file = bookFile(bare.path());
        QFile::copy(bookFile(pristine), file);
        bareImport.add(timed([&] { bareInsert(file, plan); }));
    }
}

qint64 read = 0;
for (const Bills::Document &d : documents)
    read += d.rows.size();
std::printf("%d bill rows read (%lld in the files), %d chosen, %d bank rows to confirm as "
            "the app's card payments\n%s\n\n",
            rows, read, chosen, toConfirm, qPrintable(Import::resultText(result)));
std::printf("%-8s %10s %10s %10s %10s %8s\n", "figure", "cpu ms", "wall ms", "bare cpu",
            "bare wall", "ratio");
line("parse", parse.median(), bareParse.median());
std::printf("%-8s %10.0f %10.0f\n", "match", match.median().cpu, match.median().wall);
line("import", import.median(), bareImport.median());
for (const auto &[name, sample] : {std::pair{"again", &again}, {"undo", &undo}, {"redo", &redo}})
    std::printf("%-8s %10.0f %10.0f\n", name, sample->median().cpu, sample->median().wall);
line("refuse", refuse.median(), bareRefuse.median());
return 0;
}
