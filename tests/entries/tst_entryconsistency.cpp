#include "books/BookStore.h"
#include "data/TfrmDM.h"
#include "entries/IncomeExpense.h"
#include "entries/TfrmChangeT.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QRandomGenerator>
#include <QTableView>
#include <QTest>

// Random saves, edits and deletes of income, expense and transfers, made by
// clicking through the real windows, never leave a balance that differs from
// its opening balance plus the effect of the entries that remain.
class TestEntryConsistency : public QObject
{
    Q_OBJECT
private slots:
    void balancesFollowAThousandRandomChanges();
};

namespace {

const QString Book = QStringLiteral("家");

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

qint64 sum(const QString &sql, const QString &account)
{
    return Db::value(sql, {Book, account}).toLongLong();
}

// Each account's balance against its opening balance and the entries that remain.
QStringList balanceErrors(const QMap<QString, Money> &opening)
{
    QStringList errors;
    for (auto it = opening.begin(); it != opening.end(); ++it) {
        const QString &account = it.key();
        const qint64 effect =
            sum("select total(IMoney) from InTable where BName=? and AName=?", account) -
            sum("select total(OMoney) from OutTable where BName=? and AName=?", account) -
            sum("select total(CMoney) from ChangeT where BName=? and OldN=?", account) +
            sum("select total(CMoney) from ChangeT where BName=? and NewN=?", account);
        const Money expected = it.value() + Money::fromUnits(effect);
        if (Db::balance(Book, account) != expected)
            errors << QString("%1: %2, expected %3")
                          .arg(account, Db::balance(Book, account).toPlain(), expected.toPlain());
    }
    return errors;
}

void refuseWrites(bool refuse)
{
    for (const char *table : {"InTable", "OutTable", "ChangeT"})
        refuse ? Db::refuseWrites(table, "写入失败") : Db::allowWrites(table);
}

} // namespace

void TestEntryConsistency::balancesFollowAThousandRandomChanges()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    Db::insertAccount(Book, "老王's 卡");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    env.dm()->setCurrentBook(Book);

    const quint32 seed = 20240601;
    RandomClerk clerk(seed);
    QMap<QString, Money> opening;
    const QStringList accounts = Db::dump().filter(QRegularExpression("^SAccount\\|"));
    for (const QString &row : accounts) {
        const QString name = row.section('|', 2, 2);
        const Money balance = Money::fromUnits(qint64(clerk.below(2000000)) * 100);
        Db::exec("update SAccount set AMoney=? where AName=?", {balance.toVariant(), name});
        opening[name] = balance;
    }

    TfrmInTable income;
    TfrmOutTable expense;
    TfrmChangeT transfers;
    // A second income window, whose list is not told of the other's changes.
    TfrmInTable staleIncome;
    QWidget *windows[] = {&income, &expense, &transfers, &staleIncome};
    for (QWidget *w : windows)
        w->show();

    int saves = 0, edits = 0, deletes = 0, refusedWrites = 0;
    for (int op = 0; op < 1000; ++op) {
        QWidget *w = windows[clerk.below(4)];
        const bool isTransfer = w == &transfers;
        const int kind = rowsShown(w) == 0 ? 0 : clerk.below(10);
        const bool refuse = clerk.chance(3);
        if (refuse) {
            refuseWrites(true);
            ++refusedWrites;
        }
        if (kind < 8) {
            const bool isNew = kind < 5;
            if (!isNew)
                Drive::clickRow(w, "DBGrid1", clerk.below(rowsShown(w)));
            Drive::click(w, isNew ? "ButNew" : "ButMed");
            clerk.pick(w, "DBLookupComboBox1");
            clerk.pick(w, "DBLookupComboBox2");
            clerk.pick(w, "DBLookupComboBox3", true);
            Drive::setText(w, isTransfer ? "DBEdit4" : "DBEdit3", clerk.amount());
            Drive::setText(w, "DBEdit6", clerk.chance(10) ? "it's" : "");
            Drive::click(w, isNew ? "ButSave" : "ButSaveEdit");
            // Refused (the same account twice, a refused write): nothing was stored.
            if (static_cast<MaintenanceWindow *>(w)->mode() != MaintenanceWindow::Mode::Browse)
                Drive::click(w, "ButCan");
            ++(isNew ? saves : edits);
        } else {
            Drive::clickRow(w, "DBGrid1", clerk.below(rowsShown(w)));
            messages.answer(QMessageBox::Yes);
            Drive::click(w, "ButDel");
            ++deletes;
        }
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
    QVERIFY(saves > 300 && edits > 150 && deletes > 100);
    QVERIFY(Db::count("select count(*) from InTable") + Db::count("select count(*) from OutTable") +
                Db::count("select count(*) from ChangeT") >
            100);
    // Every message was a refusal the clerk provoked, or a row another window had deleted.
    for (const QString &text : messages.texts())
        QVERIFY2(text == "确认要删除吗？该删除将不可恢复！" || text.contains("写入失败") ||
                     text == "到帐帐户 不能与 原帐户 一样！请重新选择！" ||
                     text == "该记录已不存在，可能已在其他窗口中删除。",
                 qPrintable(text));
    QVERIFY(refusedWrites > 10);
}

QTEST_MAIN(TestEntryConsistency)
#include "tst_entryconsistency.moc"
