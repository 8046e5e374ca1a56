#pragma once

#include "core/ledger/Ledger.h"
#include "data/Money.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

// A book's accounts, entries and follow-ups written for a test as the program
// writes them: through one ledger action, so that every balance is its opening
// balance plus what the entries moved and the kept totals match the rows. An
// account, category or member that a row names and that is missing is made first,
// through the same ledger, as a user makes it in its window. Dates are
// "yyyy-MM-dd"; member and remark are empty unless given. Nothing is kept in the
// book's history (as for a sample book): an undo in a test undoes only what the
// test did. commit() stores it all; a Seed left uncommitted stores nothing.
class Seed
{
public:
    explicit Seed(const QString &book);

    // An account of the book with its opening balance: made when missing, else
    // (an account a new book starts with) given that opening balance, its balance
    // following.
    QVariant account(const QString &name, Money opening = {});
    // Every account the book has opens with `opening`.
    void everyAccountOpensWith(Money opening);

    QVariant income(const QString &date, const QString &category, Money amount,
                    const QString &account, const QString &member = {}, const QString &remark = {});
    QVariant expense(const QString &date, const QString &category, Money amount,
                     const QString &account, const QString &member = {},
                     const QString &remark = {});
    QVariant transfer(const QString &date, const QString &from, const QString &to, Money amount,
                      const QString &member = {}, const QString &remark = {});
    // Money borrowed from `lender` into the account.
    QVariant debt(const QString &date, const QString &lender, Money amount, const QString &account,
                  const QString &member = {}, const QString &remark = {});
    // Money lent to `borrower` out of the account.
    QVariant credit(const QString &date, const QString &borrower, Money amount,
                    const QString &account, const QString &member = {}, const QString &remark = {});
    QVariant investment(const QString &date, const QString &category, Money amount,
                        const QString &account, const QString &member = {},
                        const QString &remark = {});

    // A follow-up of the entry `entryKey` (a repayment of a debt, a collection of a
    // credit, a return of an investment): `amount` settles it, `earned` is what an
    // investment's return brought besides.
    QVariant followUp(const Ledger::FollowUpKind &kind, const QVariant &entryKey,
                      const QString &date, Money amount, const QString &account,
                      const QString &member = {}, const QString &remark = {}, Money earned = {});

    // An entry of any kind: `name` is its category or other side, and for a
    // transfer the account the money goes to; `account` the account it moves
    // (a transfer's money comes from it).
    QVariant entry(const Ledger::EntryKind &kind, const QString &date, const QString &name,
                   Money amount, const QString &account, const QString &member = {},
                   const QString &remark = {});

    void commit();

private:
    // Makes the accounts, categories and members the row of `table` names and the
    // book lacks.
    void makeNamed(const QString &table, const QVariantMap &row);

    QString m_book;
    Ledger m_ledger;
};
