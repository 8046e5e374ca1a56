#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The program's table of common merchants and keywords and the categories they
// mean (resources/bills/merchants.txt), used for a bill's row that no rule of the
// user's fits: the longest keyword found in the row's 交易对方, 商品 or 帐单分类
// decides.
namespace Import {

struct Merchant
{
    QString keyword;
    // The categories meant, the first that a book has being taken.
    QStringList expense, income;
};

class MerchantTable
{
public:
    // The table the program carries, read once.
    static const MerchantTable &builtIn();
    // A table in its file's layout: a keyword, a tab, the expense categories and, after
    // another tab, the income categories, several joined by "|"; "#" starts a note.
    static MerchantTable parse(const QString &text);

    // Of the entries that name categories for an expense (or an income), the one of
    // the longest keyword any of the texts contains (on a tie, the one found in the
    // earlier text); nullptr when none does.
    const Merchant *match(const QStringList &texts, bool expense) const;
    const QList<Merchant> &entries() const { return m_entries; }

private:
    QList<Merchant> m_entries;
};

} // namespace Import
