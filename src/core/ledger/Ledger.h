#pragma once

#include "core/ledger/Changes.h"
#include "core/ledger/History.h"
#include "core/ledger/MonthTotals.h"
#include "data/Money.h"
#include "data/Transaction.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// The one place that moves money. An account's balance is its opening amount
// plus the effects of the entries and follow-ups that name it; the kinds below
// say what each stored row moves, and a Ledger writes rows together with what
// they move, in one transaction, after checking what it relies on: the book,
// the names the row gives (accounts, categories, members), the stored row it
// changes, and amounts, balances and running figures that stay exact.
class Ledger
{
public:
    // One account moved by a row: the row's amount column, its account column
    // and which way (+1 raises the balance, -1 lowers it).
    struct Leg
    {
        const char *amount;
        const char *account;
        int sign;
    };

    struct FollowUpKind;

    // A kind of entry. An entry with follow-ups moved its whole first amount when
    // it was saved: what its row still shows outstanding plus what its follow-ups
    // settled since.
    struct EntryKind
    {
        const char *title; // "支出": how the history names it
        const char *table;
        const char *dateColumn;
        const char *nameColumn; // category or other side, by which totals are kept; or none
        std::vector<Leg> legs;
        const FollowUpKind *followUps = nullptr;
    };

    // Records that follow an entry (repayments, collections, returns). Each
    // lowers its entry's outstanding figure by its first amount, raises its
    // running figure by its last, and moves its own account by every amount.
    struct FollowUpKind
    {
        const char *title; // "还债"
        const char *table;
        const char *entryKey; // the column that holds the entry's ID
        const EntryKind *entry;
        const char *outstanding; // of the entry
        const char *running;     // of the entry
        std::vector<const char *> amounts;
        int sign;
    };

    static const EntryKind &income();
    static const EntryKind &expense();
    static const EntryKind &transfer();
    static const EntryKind &debt();
    static const EntryKind &credit();
    static const EntryKind &investment();
    static const std::vector<const EntryKind *> &entryKinds();
    static const FollowUpKind &repayment();
    static const FollowUpKind &collection();
    static const FollowUpKind &investmentReturn();
    // The kind whose rows a table holds; none for another table.
    static const EntryKind *entryKind(const QString &table);
    static const FollowUpKind *followUpKind(const QString &table);

    // What a stored or entered row moves, by account name: an entry (with what its
    // follow-ups settled), a follow-up record.
    using Movements = std::vector<std::pair<QString, Money>>;
    static Movements effectOf(const EntryKind &kind, const QVariantMap &row, Money settled = {});
    static Movements effectOf(const FollowUpKind &kind, const QVariantMap &record);
    // What the follow-ups of the entry with that key settled of its amount.
    static Money settled(const EntryKind &kind, const QVariant &key);

    // The kept totals' line of a row: its book, month, kind, name, accounts, member.
    static MonthTotals::Key totalsKey(const EntryKind &kind, const QVariantMap &row);
    static MonthTotals::Key totalsKey(const FollowUpKind &kind, const QVariantMap &record,
                                      const QString &book);
    // What a row adds to its line: an entry its first amount (what is outstanding,
    // for one with follow-ups), a follow-up its first amount.
    static Money totalsAmount(const EntryKind &kind, const QVariantMap &row);

    // The effect of all the book's entries and follow-ups on each account, summed by
    // the database from the kinds above; keyed by the account name in lower case.
    // With `after` ("yyyy-MM-dd"), only what is dated after that day. Read on `db`
    // when given, else on the data module's connection.
    static QMap<QString, Money> effectsOn(const QString &book, const QString &after = {},
                                          const QSqlDatabase &db = {});
    // Sets each account's balance to its opening balance and what the entries
    // moved, for a book whose rows came from elsewhere (another computer's). Writes
    // on `db` when given, else on the data module's connection.
    static void deriveBalances(const QString &book, const QSqlDatabase &db = {});

    // The largest amount one row may hold (twelve integer digits) and the largest
    // balance or running figure (fourteen): sums of them stay exact integers.
    static constexpr std::int64_t MaxAmountUnits = 1'000'000'000'000LL * Money::Scale - 1;
    static constexpr std::int64_t MaxBalanceUnits = 100'000'000'000'000LL * Money::Scale;

    // Begins one action on the book's money; throws DbError when no book is named.
    explicit Ledger(const QString &book);
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;
    // What was not committed is rolled back.
    ~Ledger() = default;

    // Each throws DbError, with the reason, when a check fails; the whole action
    // is then rolled back. `row` maps columns to values; the book is the ledger's.
    QVariant save(const EntryKind &kind, QVariantMap row);
    void saveEdit(const EntryKind &kind, const QVariant &key, QVariantMap row);
    void remove(const EntryKind &kind, const QVariant &key);
    QVariant recordFollowUp(const FollowUpKind &kind, const QVariant &entryKey, QVariantMap record);
    void removeFollowUp(const FollowUpKind &kind, const QVariant &entryKey,
                        const QVariant &recordKey);
    // Sets an account's balance as stored (a new account's opening balance, an old
    // history's balance undone).
    void setBalance(const QVariant &accountKey, Money balance);
    // Books a difference of an account's balance as one adjusting entry on `date`:
    // an income of the category when the account should hold more, an expense when
    // less; the category 平帐 (made when the book lacks it) unless another is named.
    // Nothing for no difference; the entry's key otherwise. The difference left by a
    // reconciliation with the bank comes this way.
    QVariant adjust(const QString &account, const QDate &date, Money difference,
                    const QString &remark, const QString &category = {});
    static QString adjustmentName();
    static QString balanceEditRemark(Money from, Money to);

    // A balance typed for an account (帐户管理) is a reconciliation of it on `date`:
    // the difference is booked to an entry of `category`, real income or expense,
    // or, with no category (期初余额调整), to the account's opening balance, which is
    // no income or expense. The reconciliation is kept either way.
    void correctBalance(const QVariant &accountKey, Money typed, const QString &category,
                        const QDate &date);
    // How saveReferenceEdit books a balance typed: an entry of this category, or
    // (empty, the default) a change of the opening balance.
    void setBalanceCorrection(const QString &category) { m_correction = category; }
    static QString openingAdjustmentName(); // "期初余额调整"
    // Rows of the accounts, categories and members (References::Target tables):
    // a rename is carried into every row that gives the name; a name that rows
    // give is not deleted (DbError says how many).
    QVariant saveReference(const QString &table, QVariantMap row);
    void saveReferenceEdit(const QString &table, const QVariant &key, QVariantMap row);
    void removeReference(const QString &table, const QVariant &key);

    // What the history says of this action: the window it came from, and its
    // description when not that of its first row. Off, the action is not kept in
    // the history (sample books, undo and redo themselves).
    void setWindow(const QString &window) { m_window = window; }
    void setDescription(const QString &description) { m_description = description; }
    void setRecording(bool recording) { m_recording = recording; }
    // The household computer the action came from, when it was made on another
    // one: kept with it in the history, and not sent out again.
    void setOrigin(const QString &computer) { m_origin = computer; }
    // Kept in the history as one op for every row it writes: the batch `key` of
    // `table` comes to stand (or stops standing), and the history's handler for
    // the table undoes and redoes it (see History::setBatchHandler).
    void keepAsBatch(const QString &table, const QVariant &key, bool standing);
    // How the history names a row written: "删除支出 2026-12-05 食品 36.50".
    static QString describe(const History::Op &op);

    // Rows the action writes beside its entries (a recurring occurrence's post, a
    // reconciliation): kept in its history, so that undo and redo take them away
    // and bring them back with the entries.
    // The schedules of recurring entries are kept the same way. Each is refused
    // (DbError) for another table.
    QVariant insertRow(const QString &table, const QVariantMap &row);
    void updateRow(const QString &table, const QVariant &key, const QVariantMap &row);
    void removeRow(const QString &table, const QVariant &key);
    static bool isPlainTable(const QString &table);

    // Writes the balances moved and the kept totals, and commits; DbError when a
    // balance would leave the exact range or the database refuses. The action is
    // then announced (ChangeFeed) once its transaction is committed.
    void commit();

    using Spending = ::Spending;

    // Said when the row to change was deleted in another window meanwhile.
    static QString rowGoneMessage();

private:
    void requireBook() const;
    struct Account
    {
        QString name;
        Money stored;
        Money now;
    };
    enum class Missing
    {
        Refuse, // a new movement: the account must exist
        Skip,   // undoing a stored one: an account gone long ago has nothing to move back
    };

    void move(const Movements &movements, int sign, Missing missing);
    qint64 accountId(const QString &name, Missing missing);
    // Refuses amounts out of range and names the book lacks; writes each name as
    // the book spells it.
    void checkRow(const QString &table, QVariantMap &row, const std::vector<const char *> &amounts);
    QVariantMap storedEntry(const EntryKind &kind, const QVariant &key) const;
    void moveFigures(const FollowUpKind &kind, const QVariantMap &entry, const QVariantMap &record,
                     int sign);

    // Adds a row's amount to its totals line (sign -1: takes it away), and notes
    // an expense for the budgets' warnings.
    void count(const EntryKind &kind, const QVariantMap &row, int sign);

    QString m_book;
    Transaction m_transaction;
    QHash<QString, qint64> m_accountIds; // by name as given
    std::map<qint64, Account> m_accounts;
    // References found, by kind and name as given: the name as the book spells it.
    QHash<std::pair<int, QString>, QString> m_knownNames;
    MonthTotals::Changes m_totals;
    void note(const QString &op, const QString &table, const QVariant &key,
              const QVariantMap &before, const QVariantMap &after);
    QVariantMap storedRow(const QString &table, const QVariant &key) const;
    QVariantMap storedPlainRow(const QString &table, const QVariant &key) const;
    // A reference row as stored, its book required; refused when it is gone.
    QVariantMap storedReference(const QString &table, const QVariant &key) const;
    bool m_recording = true;
    QString m_window;
    QString m_origin;
    QString m_description;
    std::vector<History::Op> m_ops;
    std::optional<History::Op> m_batch;
    Change m_change; // what is announced once committed
    QString m_correction;
    // The table and key of a row written, for the announcement; no key for a
    // batch's rows, which its own key stands for.
    void touch(const QString &table, const QVariant &key = {});
};
