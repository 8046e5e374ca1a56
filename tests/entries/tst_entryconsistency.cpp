#include "app/TfrmMain.h"
#include "books/BookStore.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"
#include "support/TestSupport.h"
#include "widgets/MaintenanceWindow.h"

#include <QComboBox>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <array>

// Random saves, edits and deletes of income, expense and transfers, account
// renames and remark edits in an account window that stays open, and switches
// between two books, made by clicking through the real windows, never leave a
// balance that differs from its opening balance plus the effect of the entries
// that remain.
class TestEntryConsistency : public QObject
{
    Q_OBJECT
private slots:
    void balancesFollowAThousandRandomChanges();
};

namespace {

const QStringList Books = {QStringLiteral("家"), QStringLiteral("别家")};

class RandomClerk
{
public:
    explicit RandomClerk(quint32 seed) : m_rng(seed) {}

    int below(int n) { return int(m_rng.bounded(n)); }
    bool chance(int percent) { return below(100) < percent; }

    // Mostly whole yuan or fen; sometimes zero, negative, or to the ten-thousandth.
    QString amount()
    {
        const int kind = below(10);
        qint64 units = qint64(below(100000)) * (kind < 5 ? 10000 : 100);
        if (kind == 5)
            units = 0;
        else if (kind == 6)
            units = -units;
        else if (kind == 7)
            units += below(10000);
        return Money::fromUnits(units).toPlain();
    }

    // Chooses a random item of a drop-down list; sometimes none for an optional one.
    void pick(QWidget *w, const char *list, bool optional = false)
    {
        auto *box = Drive::find<QComboBox>(w, list);
        if (optional && chance(20)) {
            box->setCurrentIndex(-1);
            return;
        }
        Drive::choose(w, list, box->itemText(below(box->count())));
    }

private:
    QRandomGenerator m_rng;
};

int rowsShown(QWidget *w)
{
    return Drive::find<QTableView>(w, "DBGrid1")->model()->rowCount();
}

// Each account (by key, whatever its name now) against its opening balance and
// the entries of its book that name it.
QStringList balanceErrors(const QMap<qint64, Money> &opening)
{
    QStringList errors;
    for (auto it = opening.begin(); it != opening.end(); ++it) {
        QSqlQuery account = Sql("select BName, AName from SAccount where ID=?", {it.key()}).exec();
        account.next();
        const QVariantList bookAndName = {account.value(0), account.value(1)};
        const auto sum = [&](const char *sql) { return Db::value(sql, bookAndName).toLongLong(); };
        const qint64 effect = sum("select total(IMoney) from InTable where BName=? and AName=?") -
                              sum("select total(OMoney) from OutTable where BName=? and AName=?") -
                              sum("select total(CMoney) from ChangeT where BName=? and OldN=?") +
                              sum("select total(CMoney) from ChangeT where BName=? and NewN=?");
        const Money expected = it.value() + Money::fromUnits(effect);
        const Money stored = Db::balance(bookAndName[0].toString(), bookAndName[1].toString());
        if (stored != expected)
            errors << QString("%1/%2: %3, expected %4")
                          .arg(bookAndName[0].toString(), bookAndName[1].toString(),
                               stored.toPlain(), expected.toPlain());
    }
    return errors;
}

void refuseWrites(bool refuse)
{
    for (const char *table : {"InTable", "OutTable", "ChangeT", "SAccount"})
        refuse ? Db::refuseWrites(table, "写入失败") : Db::allowWrites(table);
}

// The windows of one book: four entry windows (the second income window's list
// is not told of the others' changes) and an account window that stays open.
struct BookWindows
{
    std::array<QWidget *, 4> entries{};
    QWidget *accounts = nullptr;

    void open(TfrmMain &main)
    {
        const char *classes[] = {"TfrmInTable", "TfrmOutTable", "TfrmChangeT", "TfrmInTable"};
        for (int i = 0; i < 4; ++i)
            entries[i] = main.openWindow(classes[i]);
        accounts = main.openWindow("TfrmA_Manage");
    }
};

void editEntry(RandomClerk &clerk, QWidget *w, bool isNew, bool isTransfer)
{
    if (!isNew)
        Drive::clickRow(w, "DBGrid1", clerk.below(rowsShown(w)));
    Drive::click(w, isNew ? "ButNew" : "ButMed");
    clerk.pick(w, "DBLookupComboBox1");
    clerk.pick(w, "DBLookupComboBox2");
    clerk.pick(w, "DBLookupComboBox3", true);
    Drive::setText(w, isTransfer ? "DBEdit4" : "DBEdit3", clerk.amount());
    Drive::setText(w, "DBEdit6", clerk.chance(10) ? "it's" : "");
    Drive::click(w, isNew ? "ButSave" : "ButSaveEdit");
}

// Renames an account (now and then to a name the book has, in other capitals) or
// edits its remark, leaving the balance as the window shows it.
void editAccount(RandomClerk &clerk, QWidget *w, bool rename, int &renames)
{
    const QStringList names = Drive::column(w, "DBGrid1", "帐户名称");
    Drive::clickRow(w, "DBGrid1", clerk.below(int(names.size())));
    Drive::click(w, "ButMed");
    if (rename)
        Drive::setText(w, "DBEdit1",
                       clerk.chance(20) ? names[clerk.below(int(names.size()))].toUpper()
                                        : QString("Acct%1").arg(++renames));
    else
        Drive::setText(w, "DBEdit3", clerk.chance(50) ? "它's 备注" : "");
    Drive::click(w, "ButSaveEdit");
}

} // namespace

void TestEntryConsistency::balancesFollowAThousandRandomChanges()
{
    TestEnvironment env;
    MessageRecorder messages;
    for (const QString &book : Books)
        BookStore::createBook(book);
    Db::insertAccount(Books[0], "老王's 卡");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");

    const quint32 seed = 20240601;
    RandomClerk clerk(seed);
    QMap<qint64, Money> opening;
    QSqlQuery accounts = Sql("select ID from SAccount order by ID").exec();
    while (accounts.next()) {
        const Money balance = Money::fromUnits(qint64(clerk.below(2000000)) * 100);
        Db::exec("update SAccount set AMoney=? where ID=?",
                 {balance.toVariant(), accounts.value(0)});
        opening[accounts.value(0).toLongLong()] = balance;
    }

    TfrmMain main;
    main.show();
    int book = 0;
    Drive::openBook(&main, Books[book]);
    BookWindows windows;
    windows.open(main);

    int saves = 0, edits = 0, deletes = 0, refusedWrites = 0;
    int renames = 0, remarks = 0, switches = 0;
    for (int op = 0; op < 1000; ++op) {
        const int what = clerk.below(100);
        if (what < 2) {
            // The old book's windows close with it; the new book gets its own.
            book = 1 - book;
            Drive::openBook(&main, Books[book]);
            QCOMPARE(env.dm()->currentBook(), Books[book]);
            QVERIFY(Drive::children(&main).isEmpty());
            windows.open(main);
            ++switches;
            continue;
        }
        const bool refuse = clerk.chance(3);
        if (refuse) {
            refuseWrites(true);
            ++refusedWrites;
        }
        QWidget *w = what < 12 ? windows.accounts : windows.entries[clerk.below(4)];
        if (w == windows.accounts) {
            const bool rename = clerk.chance(50);
            editAccount(clerk, w, rename, renames);
            ++(rename ? renames : remarks);
        } else {
            const bool isTransfer = w == windows.entries[2];
            const int kind = rowsShown(w) == 0 ? 0 : clerk.below(10);
            if (kind < 8) {
                editEntry(clerk, w, kind < 5, isTransfer);
                ++(kind < 5 ? saves : edits);
            } else {
                Drive::clickRow(w, "DBGrid1", clerk.below(rowsShown(w)));
                messages.answer(QMessageBox::Yes);
                Drive::click(w, "ButDel");
                ++deletes;
            }
        }
        // Refused (the same account twice, a taken name, a refused write): nothing was stored.
        if (static_cast<MaintenanceWindow *>(w)->mode() != MaintenanceWindow::Mode::Browse)
            Drive::click(w, "ButCan");
        if (refuse)
            refuseWrites(false);
        if (op % 50 == 49) {
            const QStringList errors = balanceErrors(opening);
            QVERIFY2(errors.isEmpty(), qPrintable(QString("after operation %1 (seed %2): %3")
                                                      .arg(op + 1)
                                                      .arg(seed)
                                                      .arg(errors.join("; "))));
        }
    }
    const QStringList errors = balanceErrors(opening);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join("; ")));
    QVERIFY(saves > 300 && edits > 150 && deletes > 100);
    QVERIFY(renames > 20 && remarks > 20 && switches > 5);
    QVERIFY(Db::count("select count(*) from InTable") + Db::count("select count(*) from OutTable") +
                Db::count("select count(*) from ChangeT") >
            100);
    // Every message was a refusal the clerk provoked, or a row another window had deleted.
    for (const QString &text : messages.texts())
        QVERIFY2(text == "确认要删除吗？该删除将不可恢复！" || text.contains("写入失败") ||
                     text == "到帐帐户 不能与 原帐户 一样！请重新选择！" ||
                     text == "帐户名称添加重复！" ||
                     text == "该记录已不存在，可能已在其他窗口中删除。",
                 qPrintable(text));
    QVERIFY(refusedWrites > 10);
}

QTEST_MAIN(TestEntryConsistency)
#include "tst_entryconsistency.moc"
