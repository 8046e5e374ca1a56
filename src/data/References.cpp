#include "data/References.h"

#include "data/Sql.h"

namespace References {

const std::vector<Use> &uses()
{
    using K = Kind;
    constexpr Scope Book = Scope::Book;
    constexpr Scope All = Scope::AllBooks;
    static const std::vector<Use> all = {
        {K::Account, "InTable", "AName", Book},
        {K::Account, "OutTable", "AName", Book},
        {K::Account, "ChangeT", "OldN", Book},
        {K::Account, "ChangeT", "NewN", Book},
        {K::Account, "Borrow", "AName", Book},
        {K::Account, "BorrowR", "AName", Book, "Borrow", "BID"},
        {K::Account, "Debt", "AName", Book},
        {K::Account, "DebtR", "AName", Book, "Debt", "DID"},
        {K::Account, "TTable", "AName", Book},
        {K::Account, "TTableR", "AName", Book, "TTable", "TID"},
        {K::IncomeCategory, "InTable", "IName", Book},
        {K::ExpenseCategory, "OutTable", "OName", Book},
        {K::InvestmentCategory, "TTable", "TName", Book},
        {K::Member, "InTable", "FName", All},
        {K::Member, "OutTable", "FName", All},
        {K::Member, "ChangeT", "FName", All},
        {K::Member, "Borrow", "FName", All},
        {K::Member, "BorrowR", "FName", All},
        {K::Member, "Debt", "FName", All},
        {K::Member, "DebtR", "FName", All},
        {K::Member, "TTable", "FName", All},
        {K::Member, "TTableR", "FName", All},
    };
    return all;
}

namespace {

Sql renameStatement(const Use &use, const QString &from, const QString &to, const QString &book)
{
    const QString column = QLatin1String(use.column);
    Sql sql(QStringLiteral("update %1 set %2=? where %2=?").arg(QLatin1String(use.table), column),
            {to, from});
    if (use.scope == Scope::AllBooks)
        return sql;
    if (use.parentTable)
        return sql.add(QStringLiteral(" and %1 in (select ID from %2 where BName=?)")
                           .arg(QLatin1String(use.parentKey), QLatin1String(use.parentTable)),
                       {book});
    return sql.add(QStringLiteral(" and BName=?"), {book});
}

} // namespace

void rename(Kind kind, const QString &from, const QString &to, const QString &book)
{
    for (const Use &use : uses())
        if (use.kind == kind)
            renameStatement(use, from, to, book).exec();
}

} // namespace References
