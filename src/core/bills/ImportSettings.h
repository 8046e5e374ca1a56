#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

// What a book remembers for importing bills, and the names it has: which account
// each payment method (收/付款方式) is, which category each of the apps' own
// categories is, and the rules "交易对方 or 商品 contains X → category / member".
// Each change is saved at once, in a transaction of its own. Throws DbError.
class Ledger;

namespace Import {

struct Rule
{
    qint64 id = 0;
    QString pattern;         // found in 交易对方 or 商品, any letter case
    QString expenseCategory; // for expenses (and refunds); may be empty
    QString incomeCategory;  // for incomes; may be empty
    QString member;          // may be empty
    QString account;         // the account the entry moves; may be empty
};

// A category a row of a bill got from the program's merchant table: the keyword
// found and the book's category it means.
struct MerchantCategory
{
    QString keyword, category;
};

class Settings
{
public:
    // Reads what the book remembers and the names it has.
    static Settings load(const QString &book);

    const QString &book() const { return m_book; }

    // The account of a payment method; empty when none is chosen or it is gone.
    QString account(const QString &method) const;
    // The category of an app's category for an expense or an income: the book's own
    // choice, else the program's default where the book has that category; empty
    // when there is none.
    QString category(const QString &appCategory, bool expense) const;
    // Whether the book's user chose the category of the app's category.
    bool hasOwnCategory(const QString &appCategory, bool expense) const
    {
        return (expense ? m_expenseMap : m_incomeMap).contains(appCategory);
    }
    // What the program's merchant table makes of the texts for an expense or an
    // income, where the book has the category meant; empty when nothing.
    MerchantCategory merchantCategory(const QStringList &texts, bool expense) const;
    // The account on the other side of a kind of move between one's own accounts
    // ("余额宝转入", "取现"): empty when none is chosen or it is gone.
    QString transferAccount(const QString &kind) const;
    void setTransferAccount(const QString &kind, const QString &account);
    // The kinds of move that have an account.
    QStringList transferKinds() const;
    // The payment methods that have an account.
    QStringList methods() const;
    // The first rule whose text the counterparty or the goods contain, or nullptr.
    const Rule *ruleFor(const QString &counterparty, const QString &goods) const;
    const QList<Rule> &rules() const { return m_rules; }

    void setAccount(const QString &method, const QString &account);
    // The same for this plan only, not saved (a trial run).
    void overrideAccount(const QString &method, const QString &account)
    {
        m_methodAccounts.insert(method, account);
    }
    void setCategory(const QString &appCategory, bool expense, const QString &category);
    // Saves a rule (a new one first among the rules) and returns it as saved.
    Rule addRule(Rule rule);
    // Saves what a rule gives (its text stays).
    void updateRule(const Rule &rule);
    void removeRule(qint64 id);

    // The book's names.
    bool hasAccount(const QString &name) const { return m_accounts.contains(name.toLower()); }
    bool hasCategory(const QString &name, bool expense) const;
    bool hasMember(const QString &name) const { return m_members.contains(name.toLower()); }

    // Where an entry names no category of its own: 其他支出 / 其他收入.
    static QString fallbackCategory(bool expense);
    // Where a withdrawal's fee goes: 银行手续费 when the book has it.
    QString feeCategory() const;
    // Makes the fallback category when the book lacks it, as the category window
    // would (with its pinyin initials), as part of the import's action.
    void ensureCategory(Ledger &ledger, const QString &name, bool expense) const;

private:
    QString m_book;
    QHash<QString, QString> m_methodAccounts;          // by method
    QHash<QString, QString> m_expenseMap, m_incomeMap; // by app category
    QList<Rule> m_rules;
    QSet<QString> m_accounts, m_expenseNames, m_incomeNames, m_members; // lower case
};

} // namespace Import
