#include "support/Seed.h"

#include "core/ledger/References.h"
#include "data/PinyinCode.h"
#include "data/Rows.h"
#include "data/Sql.h"

#include <QSqlQuery>

namespace {

// Empty text is stored as such, as the windows store it, never as NULL.
QString text(const QString &given)
{
    return given.isNull() ? QStringLiteral("") : given;
}

} // namespace

Seed::Seed(const QString &book) : m_book(book), m_ledger(book)
{
    m_ledger.setRecording(false);
}

QVariant Seed::account(const QString &name, Money opening)
{
    const QVariant key =
        Sql("select ID from SAccount where BName=? and AName=? order by ID limit 1", {m_book, name})
            .scalar();
    if (key.isNull())
        // The account window's way: a new account's balance is its opening balance.
        return m_ledger.saveReference("SAccount", {{"AName", name},
                                                   {"thePY", PinyinCode(name)},
                                                   {"AMoney", opening.toVariant()},
                                                   {"Remark", ""}});
    // The balance is the opening balance plus what the entries moved, set by the
    // ledger. The opening balance beside it is written as a sample book writes it:
    // the ledger's only other way, a balance typed in 帐户管理, also keeps a
    // reconciliation with the bank.
    m_ledger.setBalance(key, opening + Ledger::effectsOn(m_book).value(name.toLower()));
    Rows::update("SAccount", {{"OpenMoney", opening.toVariant()}}, key);
    return key;
}

void Seed::everyAccountOpensWith(Money opening)
{
    QStringList names;
    for (QSqlQuery q = Sql("select AName from SAccount where BName=? order by ID", {m_book}).exec();
         q.next();)
        names << q.value(0).toString();
    for (const QString &name : names)
        account(name, opening);
}

QVariant Seed::income(const QString &date, const QString &category, Money amount,
                      const QString &account, const QString &member, const QString &remark)
{
    return entry(Ledger::income(), date, category, amount, account, member, remark);
}

QVariant Seed::expense(const QString &date, const QString &category, Money amount,
                       const QString &account, const QString &member, const QString &remark)
{
    return entry(Ledger::expense(), date, category, amount, account, member, remark);
}

QVariant Seed::transfer(const QString &date, const QString &from, const QString &to, Money amount,
                        const QString &member, const QString &remark)
{
    return entry(Ledger::transfer(), date, to, amount, from, member, remark);
}

QVariant Seed::debt(const QString &date, const QString &lender, Money amount,
                    const QString &account, const QString &member, const QString &remark)
{
    return entry(Ledger::debt(), date, lender, amount, account, member, remark);
}

QVariant Seed::credit(const QString &date, const QString &borrower, Money amount,
                      const QString &account, const QString &member, const QString &remark)
{
    return entry(Ledger::credit(), date, borrower, amount, account, member, remark);
}

QVariant Seed::investment(const QString &date, const QString &category, Money amount,
                          const QString &account, const QString &member, const QString &remark)
{
    return entry(Ledger::investment(), date, category, amount, account, member, remark);
}

QVariant Seed::followUp(const Ledger::FollowUpKind &kind, const QVariant &entryKey,
                        const QString &date, Money amount, const QString &account,
                        const QString &member, const QString &remark, Money earned)
{
    QVariantMap record{{"RDate", date},
                       {kind.amounts.front(), amount.toVariant()},
                       {"AName", account},
                       {"FName", text(member)},
                       {"Remark", text(remark)}};
    if (kind.amounts.size() > 1)
        record[kind.amounts.back()] = earned.toVariant();
    makeNamed(kind.table, record);
    return m_ledger.recordFollowUp(kind, entryKey, record);
}

QVariant Seed::entry(const Ledger::EntryKind &kind, const QString &date, const QString &name,
                     Money amount, const QString &account, const QString &member,
                     const QString &remark)
{
    QVariantMap row{{kind.dateColumn, date},
                    {kind.legs.front().amount, amount.toVariant()},
                    {kind.legs.front().account, account},
                    {"FName", text(member)},
                    {"Remark", text(remark)}};
    // A transfer's other account takes the place of a name.
    row[kind.nameColumn ? kind.nameColumn : kind.legs.back().account] = name;
    makeNamed(kind.table, row);
    return m_ledger.save(kind, row);
}

void Seed::makeNamed(const QString &table, const QVariantMap &row)
{
    for (const References::Use &use : References::uses()) {
        const QString name = row.value(use.column).toString();
        if (use.setting || table != QLatin1String(use.table) || name.isEmpty() ||
            References::exists(use.kind, name, m_book))
            continue;
        if (use.kind == References::Kind::Account) {
            account(name);
            continue;
        }
        const References::Target &target = References::target(use.kind);
        m_ledger.saveReference(
            target.table, {{target.column, name}, {"thePY", PinyinCode(name)}, {"Remark", ""}});
    }
}

void Seed::commit()
{
    m_ledger.commit();
}
