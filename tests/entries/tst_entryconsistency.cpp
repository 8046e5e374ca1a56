#include "app/MainWindow.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "entries/DebtsCredits.h"
#include "entries/IncomeExpense.h"
#include "entries/InvestmentWindows.h"
#include "entries/TransferWindow.h"
#include "support/Seed.h"
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
// that remain. Random entries of all six kinds with random repayments,
// collections and returns and their deletions keep every balance and every
// running figure (what a debt repaid, a credit collected, an investment earned)
// the sum of what remains, to the last unit, also when the last actions are
// undone and redone at random in between.
class TestEntryConsistency : public QObject
{
    Q_OBJECT
private slots:
    void balancesFollowAThousandRandomChanges();
    void balancesAndRunningFiguresFollowAThousandRandomFollowUpsAndUndos();
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
    QString amount(bool mayBeNegative = true)
    {
        const int kind = below(10);
        qint64 units = qint64(below(100000)) * (kind < 5 ? 10000 : 100);
        if (kind == 5)
            units = 0;
        else if (kind == 6 && mayBeNegative)
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
// the effect of the entries of its book that name it. An account deleted since
// had none.
QStringList balanceErrors(const QMap<qint64, Money> &opening)
{
    QStringList errors;
    QMap<QString, QMap<QString, Money>> effects; // by book
    for (const QString &book : Books)
        effects[book] = Ledger::effectsOn(book);
    for (auto it = opening.begin(); it != opening.end(); ++it) {
        QSqlQuery account = Sql("select BName, AName from SAccount where ID=?", {it.key()}).exec();
        if (!account.next())
            continue;
        const QVariantList bookAndName = {account.value(0), account.value(1)};
        const Money expected =
            it.value() + effects[bookAndName[0].toString()][bookAndName[1].toString().toLower()];
        const Money stored = Db::balance(bookAndName[0].toString(), bookAndName[1].toString());
        if (stored != expected)
            errors << QString("%1/%2: %3, expected %4")
                          .arg(bookAndName[0].toString(), bookAndName[1].toString(),
                               stored.toPlain(), expected.toPlain());
    }
    // The kept monthly totals equal those recomputed from the rows.
    errors << MonthTotals::differences(Workspace::instance()->database());
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

    void open(MainWindow &main)
    {
        const char *classes[] = {"TfrmInTable", "TfrmOutTable", "TfrmChangeT", "TfrmInTable"};
        for (int i = 0; i < 4; ++i)
            entries[i] = main.openWindow(classes[i]);
        accounts = main.openWindow("TfrmA_Manage");
    }
};

// Starts a new or edited entry and fills it, leaving it pending.
void fillEntry(RandomClerk &clerk, QWidget *w, bool isNew, bool isTransfer)
{
    if (!isNew)
        Drive::clickRow(w, "DBGrid1", clerk.below(rowsShown(w)));
    Drive::click(w, isNew ? "ButNew" : "ButMed");
    clerk.pick(w, "DBLookupComboBox1");
    clerk.pick(w, "DBLookupComboBox2");
    clerk.pick(w, "DBLookupComboBox3", true);
    Drive::setText(w, isTransfer ? "DBEdit4" : "DBEdit3", clerk.amount());
    Drive::setText(w, "DBEdit6", clerk.chance(10) ? "it's" : "");
}

void saveEntry(QWidget *w)
{
    const bool isNew = static_cast<MaintenanceWindow *>(w)->mode() == MaintenanceWindow::Mode::New;
    Drive::click(w, isNew ? "ButSave" : "ButSaveEdit");
}

enum class AccountChange
{
    Rename,
    Remark,
    Delete, // refused while entries name it
    Add,
};

// Changes an account in the account window: renames it (now and then to a name
// the book has, in other capitals), edits its remark leaving the balance as the
// window shows it, deletes it, or adds a new one with no balance. `row` -1: any.
void changeAccount(RandomClerk &clerk, QWidget *w, AccountChange change, int row, int &serial,
                   QMap<qint64, Money> &opening)
{
    const QStringList names = Drive::column(w, "DBGrid1", "帐户名称");
    Drive::clickRow(w, "DBGrid1", row >= 0 ? row : clerk.below(int(names.size())));
    switch (change) {
    case AccountChange::Rename:
    case AccountChange::Remark:
        Drive::click(w, "ButMed");
        if (change == AccountChange::Rename)
            Drive::setText(w, "DBEdit1",
                           clerk.chance(20) ? names[clerk.below(int(names.size()))].toUpper()
                                            : QString("Acct%1").arg(++serial));
        else
            Drive::setText(w, "DBEdit3", clerk.chance(50) ? "它's 备注" : "");
        Drive::click(w, "ButSaveEdit");
        break;
    case AccountChange::Delete:
        Drive::click(w, "ButDel");
        break;
    case AccountChange::Add:
        Drive::click(w, "ButNew");
        Drive::setText(w, "DBEdit1", QString("新户%1").arg(++serial));
        Drive::setText(w, "DBEdit2", "0");
        Drive::click(w, "ButSave");
        opening[Db::value("select max(ID) from SAccount").toLongLong()] = Money();
        break;
    }
}

const QString Book = QStringLiteral("家");

// How the clerk fills one kind of entry window.
struct Form
{
    QWidget *window;
    const char *amount;              // the amount box
    const char *party = nullptr;     // a typed name (debts and credits)
    std::vector<const char *> lists; // required drop-down lists, in order
    const char *optionalList = nullptr;
    bool followUps = false;
    bool twoAmounts = false; // a return: principal and income
};

// Each account's balance against its opening balance and the entries that
// remain; each running figure against its follow-ups; no follow-up without its entry.
QStringList consistencyErrors(const QMap<QString, Money> &opening)
{
    QStringList errors;
    const QMap<QString, Money> effects = Ledger::effectsOn(Book);
    for (auto it = opening.begin(); it != opening.end(); ++it) {
        const QString &account = it.key();
        const Money expected = it.value() + effects.value(account.toLower());
        if (Db::balance(Book, account) != expected)
            errors << QString("%1: %2, expected %3")
                          .arg(account, Db::balance(Book, account).toPlain(), expected.toPlain());
    }
    // Each running figure is the sum of its follow-ups' last amounts.
    for (const Ledger::EntryKind *kind : Ledger::entryKinds()) {
        const Ledger::FollowUpKind *f = kind->followUps;
        if (!f)
            continue;
        const int wrong =
            Db::count(QString("select count(*) from %1 e where %4 <> "
                              "(select coalesce(sum(%5),0) from %2 where %3=e.ID)")
                          .arg(kind->table, f->table, f->entryKey, f->running, f->amounts.back()));
        const int orphans = Db::count(QString("select count(*) from %2 where %3 not in "
                                              "(select ID from %1)")
                                          .arg(kind->table, f->table, f->entryKey));
        if (wrong || orphans)
            errors << QString("%1: %2 running figures wrong, %3 orphans")
                          .arg(kind->table)
                          .arg(wrong)
                          .arg(orphans);
    }
    errors << MonthTotals::differences(Workspace::instance()->database());
    return errors;
}

const char *const Writable[] = {"InTable", "OutTable", "ChangeT", "Borrow",  "BorrowR",
                                "Debt",    "DebtR",    "TTable",  "TTableR", "SAccount"};

void enterEntry(RandomClerk &clerk, const Form &f, bool isNew)
{
    QWidget *w = f.window;
    Drive::click(w, isNew ? "ButNew" : "ButMed");
    if (f.party)
        Drive::setText(w, f.party, clerk.chance(5) ? "" : "老王's");
    for (const char *list : f.lists)
        clerk.pick(w, list, f.party != nullptr && list == f.lists.back()); // a debt's member
    if (f.optionalList)
        clerk.pick(w, f.optionalList, true);
    Drive::setText(w, f.amount, clerk.amount());
    Drive::setText(w, "DBEdit6", clerk.chance(10) ? "it's" : "");
    Drive::click(w, isNew ? "ButSave" : "ButSaveEdit");
    // Refused (a check, a refused write): nothing was stored.
    if (static_cast<MaintenanceWindow *>(w)->mode() != MaintenanceWindow::Mode::Browse)
        Drive::click(w, "ButCan");
}

// Records a follow-up of the current entry, sometimes all that is outstanding,
// sometimes more or nothing, which is refused.
void recordFollowUp(RandomClerk &clerk, const Form &f)
{
    Drive::withModal([&] { Drive::trigger(f.window, "R1"); },
                     [&](QWidget *dialog) {
                         if (!clerk.chance(25))
                             Drive::setText(dialog, "Edit1", clerk.amount(false));
                         if (f.twoAmounts)
                             Drive::setText(dialog, "Edit2", clerk.amount());
                         clerk.pick(dialog, "DBLookupComboBox1");
                         clerk.pick(dialog, "DBLookupComboBox2", true);
                         Drive::click(dialog, "BitBtn1");
                     });
}

void deleteFollowUp(RandomClerk &clerk, const Form &f, MessageRecorder &messages)
{
    Drive::withModal([&] { Drive::trigger(f.window, "V1"); },
                     [&](QWidget *dialog) {
                         const int rows = rowsShown(dialog);
                         if (rows > 0)
                             Drive::clickRow(dialog, "DBGrid1", clerk.below(rows));
                         messages.answer(QMessageBox::Yes);
                         Drive::trigger(dialog, "D1");
                     });
}

} // namespace

void TestEntryConsistency::balancesFollowAThousandRandomChanges()
{
    TestEnvironment env;
    MessageRecorder messages;
    for (const QString &book : Books)
        BookStore::createBook(book);
    Seed card(Books[0]);
    card.account("老王's 卡");
    card.commit();
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");

    const quint32 seed = 20240601;
    RandomClerk clerk(seed);
    QMap<qint64, Money> opening;
    QSqlQuery accounts = Sql("select ID from SAccount order by ID").exec();
    while (accounts.next())
        opening[accounts.value(0).toLongLong()] =
            Money::fromUnits(qint64(clerk.below(2000000)) * 100);
    for (const QString &book : Books) {
        Seed openings(book);
        QSqlQuery ofBook = Sql("select ID, AName from SAccount where BName=?", {book}).exec();
        while (ofBook.next())
            openings.account(ofBook.value(1).toString(), opening[ofBook.value(0).toLongLong()]);
        openings.commit();
    }

    MainWindow main;
    main.show();
    int book = 0;
    Drive::openBook(&main, Books[book]);
    BookWindows windows;
    windows.open(main);

    int saves = 0, edits = 0, deletes = 0, refusedWrites = 0, races = 0;
    int renames = 0, remarks = 0, switches = 0, accountDeletes = 0, serial = 0;
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
            const int kind = clerk.below(10);
            const AccountChange change = kind < 4   ? AccountChange::Rename
                                         : kind < 7 ? AccountChange::Remark
                                         : kind < 9 ? AccountChange::Delete
                                                    : AccountChange::Add;
            messages.answer(QMessageBox::Yes);
            changeAccount(clerk, w, change, -1, serial, opening);
            ++(change == AccountChange::Rename   ? renames
               : change == AccountChange::Remark ? remarks
                                                 : accountDeletes);
        } else if (what < 20) {
            // An entry pending while the account window renames or deletes the
            // account it chose.
            const bool isTransfer = w == windows.entries[2];
            fillEntry(clerk, w, rowsShown(w) == 0 || clerk.chance(50), isTransfer);
            const QString chosen =
                Drive::text(w, isTransfer ? "DBLookupComboBox1" : "DBLookupComboBox2");
            messages.answer(QMessageBox::Yes);
            changeAccount(
                clerk, windows.accounts,
                clerk.chance(60) ? AccountChange::Rename : AccountChange::Delete,
                int(Drive::column(windows.accounts, "DBGrid1", "帐户名称").indexOf(chosen)), serial,
                opening);
            if (static_cast<MaintenanceWindow *>(windows.accounts)->mode() !=
                MaintenanceWindow::Mode::Browse)
                Drive::click(windows.accounts, "ButCan");
            saveEntry(w);
            ++races;
        } else {
            const bool isTransfer = w == windows.entries[2];
            const int kind = rowsShown(w) == 0 ? 0 : clerk.below(10);
            if (kind < 8) {
                fillEntry(clerk, w, kind < 5, isTransfer);
                saveEntry(w);
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
    qInfo("saves %d, edits %d, deletes %d, renames %d, remarks %d, account deletes %d, races %d",
          saves, edits, deletes, renames, remarks, accountDeletes, races);
    QVERIFY(saves > 250 && edits > 120 && deletes > 80);
    QVERIFY(renames > 20 && remarks > 20 && switches > 5 && accountDeletes > 10 && races > 50);
    QVERIFY(Db::count("select count(*) from InTable") + Db::count("select count(*) from OutTable") +
                Db::count("select count(*) from ChangeT") >
            100);
    // Every message was a refusal the clerk provoked, a row another window had
    // deleted, or an account another window had renamed or deleted.
    const QRegularExpression expected(
        "^(确认要删除.*吗？删除后可在回收站中恢复。|到帐帐户 不能与 原帐户 一样！请重新选择！|"
        "[^\n]*是负数：[\\s\\S]*确定要保存吗？|帐户名称添加重复！|"
        "该记录已不存在，可能已在其他窗口中删除。|请选择 帐户名称！|"
        "帐户“.*”已不存在（可能已在其他窗口中改名或删除），不能保存！请重新选择帐户。|"
        "帐户“.*”不能删除：有 \\d+ 条记录使用它。\n.*|“现金”不能删除：.*)$|写入失败");
    for (const QString &text : messages.texts())
        QVERIFY2(expected.match(text).hasMatch(), qPrintable(text));
    QVERIFY(refusedWrites > 10);
    const QStringList texts = messages.texts();
    qInfo("refused: %lld saves naming a gone account, %lld deletions of a named account",
          texts.filter("已不存在（可能已在其他窗口中改名或删除）").size(),
          texts.filter(QRegularExpression("^帐户“.*”不能删除")).size());
    QVERIFY(texts.filter("已不存在（可能已在其他窗口中改名或删除）").size() > 10);
    QVERIFY(texts.filter(QRegularExpression("^帐户“.*”不能删除")).size() > 10);
}

// Undoes or redoes the book's last action as 编辑 → 撤销/重做 does; a refusal
// (nothing to undo, a refused write) must leave everything as it was.
bool undoOrRedo(bool undo, QStringList &refusals)
{
    try {
        undo ? History::undo(Book) : History::redo(Book);
        return true;
    } catch (const DbError &e) {
        refusals << e.message();
        return false;
    }
}

void TestEntryConsistency::balancesAndRunningFiguresFollowAThousandRandomFollowUpsAndUndos()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    Seed card(Book);
    card.account("老王's 卡");
    card.commit();
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    env.dm()->setCurrentBook(Book);

    const quint32 seed = 20240601;
    RandomClerk clerk(seed);
    QMap<QString, Money> opening;
    const QStringList accounts = Db::dump().filter(QRegularExpression("^SAccount\\|"));
    Seed openings(Book);
    for (const QString &row : accounts) {
        const QString name = row.section('|', 2, 2);
        const Money balance = Money::fromUnits(qint64(clerk.below(2000000)) * 100);
        openings.account(name, balance);
        opening[name] = balance;
    }
    openings.commit();

    IncomeWindow income;
    ExpenseWindow expense;
    TransferWindow transfers;
    DebtWindow debts;
    CreditWindow credits;
    InvestmentWindow investments;
    // Second windows, whose lists are not told of the others' changes.
    IncomeWindow staleIncome;
    DebtWindow staleDebts;
    const auto entry = [](QWidget *w) {
        return Form{
            w, "DBEdit3", nullptr, {"DBLookupComboBox1", "DBLookupComboBox2"}, "DBLookupComboBox3"};
    };
    const auto debtOrCredit = [](QWidget *w) {
        return Form{w,       "DBEdit3", "DBEdit2", {"DBLookupComboBox1", "DBLookupComboBox2"},
                    nullptr, true};
    };
    Form investment = entry(&investments);
    investment.followUps = investment.twoAmounts = true;
    Form transfer = entry(&transfers);
    transfer.amount = "DBEdit4";
    const Form forms[] = {entry(&income),       entry(&expense),          transfer,
                          debtOrCredit(&debts), debtOrCredit(&credits),   investment,
                          entry(&staleIncome),  debtOrCredit(&staleDebts)};
    for (const Form &f : forms)
        f.window->show();

    int saves = 0, edits = 0, deletes = 0, followUps = 0, followUpDeletes = 0, refusedWrites = 0;
    int undos = 0, redos = 0;
    QStringList undoRefusals;
    for (int op = 0; op < 1000; ++op) {
        const Form &f = forms[clerk.below(int(std::size(forms)))];
        QWidget *w = f.window;
        const int rows = rowsShown(w);
        const int kind = rows == 0 ? 0 : clerk.below(f.followUps ? 14 : 10);
        const bool refuse = clerk.chance(3);
        const char *refused = Writable[clerk.below(int(std::size(Writable)))];
        if (refuse) {
            Db::refuseWrites(refused, "写入失败");
            ++refusedWrites;
        }
        if (const int roll = clerk.below(100); roll < 15) {
            // An undo is often taken back at once, as a user does after a slip.
            for (bool undo = roll < 10, again = true; again; undo = false) {
                if (undoOrRedo(undo, undoRefusals))
                    ++(undo ? undos : redos);
                again = undo && clerk.chance(40);
                const QStringList errors = consistencyErrors(opening);
                QVERIFY2(errors.isEmpty(), qPrintable(QString("after %1 %2: %3")
                                                          .arg(undo ? "undo" : "redo")
                                                          .arg(op + 1)
                                                          .arg(errors.join("; "))));
            }
            if (refuse)
                Db::allowWrites(refused);
            continue;
        }
        if (rows > 0)
            Drive::clickRow(w, "DBGrid1", clerk.below(rows));
        if (kind < 8) {
            enterEntry(clerk, f, kind < 5);
            ++(kind < 5 ? saves : edits);
        } else if (kind < 10) {
            messages.answer(QMessageBox::Yes);
            Drive::click(w, "ButDel");
            ++deletes;
        } else if (kind < 13) {
            recordFollowUp(clerk, f);
            ++followUps;
        } else {
            deleteFollowUp(clerk, f, messages);
            ++followUpDeletes;
        }
        if (refuse)
            Db::allowWrites(refused);
        if (op % 50 == 49) {
            const QStringList errors = consistencyErrors(opening);
            QVERIFY2(errors.isEmpty(), qPrintable(QString("after operation %1 (seed %2): %3")
                                                      .arg(op + 1)
                                                      .arg(seed)
                                                      .arg(errors.join("; "))));
        }
    }
    qInfo("saves %d, edits %d, deletes %d, follow-ups %d, their deletes %d, refused writes %d, "
          "undos %d, redos %d",
          saves, edits, deletes, followUps, followUpDeletes, refusedWrites, undos, redos);
    QVERIFY(saves > 200 && edits > 120 && deletes > 50 && followUps > 30 && followUpDeletes > 10);
    QVERIFY(undos > 60 && redos > 20);
    for (const QString &text : undoRefusals)
        QVERIFY2(text == "没有可以重做的操作。" || text == "没有可以撤销的操作。" ||
                     text.contains("写入失败"),
                 qPrintable(text));
    QVERIFY(Db::count("select count(*) from BorrowR") + Db::count("select count(*) from DebtR") +
                Db::count("select count(*) from TTableR") >
            10);
    // Every message was a refusal the clerk provoked, or an entry another window had deleted.
    const QRegularExpression expected(
        "^(确认要删除.*吗？删除后可在回收站中恢复。|到帐帐户 不能与 原帐户 一样！请重新选择！|"
        "[^\n]*是负数：[\\s\\S]*确定要保存吗？|该记录已不存在，可能已在其他窗口中删除。|"
        "请选择 家庭成员！|请选择 帐户名称！|"
        "债[权务]人 不能为空！请重新录入！|该(债务|债权|投资)有 .*|"
        "(还债金额|收债金额|收回本金) 不能(大于..金额|小于或等于零)！)$|写入失败");
    for (const QString &text : messages.texts())
        QVERIFY2(expected.match(text).hasMatch(), qPrintable(text));
    QVERIFY(refusedWrites > 10);
}

QTEST_MAIN(TestEntryConsistency)
#include "tst_entryconsistency.moc"
