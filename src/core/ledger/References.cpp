#include "core/ledger/References.h"

#include "core/ledger/MonthTotals.h"
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
        {K::Member, "BorrowR", "FName", All, "Borrow", "BID"},
        {K::Member, "Debt", "FName", All},
        {K::Member, "DebtR", "FName", All, "Debt", "DID"},
        {K::Member, "TTable", "FName", All},
        {K::Member, "TTableR", "FName", All, "TTable", "TID"},
        {K::Account, "ImportAccount", "AName", Book, nullptr, nullptr, true},
        {K::ExpenseCategory, "ImportCategory", "OName", Book, nullptr, nullptr, true},
        {K::IncomeCategory, "ImportCategory", "IName", Book, nullptr, nullptr, true},
        {K::ExpenseCategory, "ImportRule", "OName", Book, nullptr, nullptr, true},
        {K::IncomeCategory, "ImportRule", "IName", Book, nullptr, nullptr, true},
        {K::Member, "ImportRule", "FName", All, nullptr, nullptr, true},
        {K::Account, "ImportRule", "AName", Book, nullptr, nullptr, true},
        // What recurring entries will post.
        {K::Account, "Schedule", "AName", Book},
        {K::Account, "Schedule", "NewN", Book},
        {K::IncomeCategory, "Schedule", "IName", Book},
        {K::ExpenseCategory, "Schedule", "OName", Book},
        {K::Member, "Schedule", "FName", All},
        // Budgets by category.
        {K::ExpenseCategory, "Budget", "OName", Book},
        {K::ExpenseCategory, "BudgetRollover", "OName", Book},
        // An account's reconciliations with the bank (a balance typed in 帐户管理
        // is one): they follow a rename, and do not keep an account from going.
        {K::Account, "Reconcile", "AName", Book, nullptr, nullptr, true},
    };
    return all;
}

const Target &target(Kind kind)
{
    static const Target targets[] = {
        {"SAccount", "AName", Scope::Book, "帐户"},
        {"InD", "IName", Scope::Book, "收入类别"},
        {"OutD", "OName", Scope::Book, "支出类别"},
        {"TD", "TName", Scope::Book, "投资类别"},
        {"SFamily", "FName", Scope::AllBooks, "家庭成员"},
    };
    return targets[int(kind)];
}

std::optional<Kind> kindOf(const QString &table)
{
    for (const Kind kind : {Kind::Account, Kind::IncomeCategory, Kind::ExpenseCategory,
                            Kind::InvestmentCategory, Kind::Member})
        if (table.compare(QLatin1String(target(kind).table), Qt::CaseInsensitive) == 0)
            return kind;
    return std::nullopt;
}

namespace {

// `sql` limited to the rows of the book, or for a reference of all books to the
// rows of the books there are.
Sql &withinBooks(Sql &sql, const Use &use, const QString &book)
{
    const Sql books = use.scope == Scope::Book
                          ? Sql(QStringLiteral("BName=?"), {book})
                          : Sql(QStringLiteral("BName in (select BName from SBook)"));
    if (use.parentTable)
        return sql
            .add(QStringLiteral(" and %1 in (select ID from %2 where ")
                     .arg(QLatin1String(use.parentKey), QLatin1String(use.parentTable)))
            .add(books)
            .add(QStringLiteral(")"));
    return sql.add(QStringLiteral(" and ")).add(books);
}

Sql renameStatement(const Use &use, const QString &from, const QString &to, const QString &book)
{
    const QString column = QLatin1String(use.column);
    Sql sql(QStringLiteral("update %1 set %2=? where %2=?").arg(QLatin1String(use.table), column),
            {to, from});
    return use.scope == Scope::AllBooks ? sql : withinBooks(sql, use, book);
}

} // namespace

void rename(Kind kind, const QString &from, const QString &to, const QString &book)
{
    for (const Use &use : uses())
        if (use.kind == kind)
            renameStatement(use, from, to, book).exec();
    MonthTotals::rename(kind, from, to, book);
}

QString storedName(Kind kind, const QString &name, const QString &book)
{
    const Target &t = target(kind);
    Sql sql(QStringLiteral("select %2 from %1 where %2=?")
                .arg(QLatin1String(t.table), QLatin1String(t.column)),
            {name});
    if (t.scope == Scope::Book)
        sql.add(QStringLiteral(" and BName=?"), {book});
    return sql.add(QStringLiteral(" order by ID limit 1")).scalar().toString();
}

bool exists(Kind kind, const QString &name, const QString &book)
{
    return !storedName(kind, name, book).isEmpty();
}

int usageCount(Kind kind, const QString &name, const QString &book)
{
    int count = 0;
    for (const Use &use : uses()) {
        if (use.kind != kind || use.setting)
            continue;
        Sql sql(QStringLiteral("select count(*) from %1 where %2=?")
                    .arg(QLatin1String(use.table), QLatin1String(use.column)),
                {name});
        count += withinBooks(sql, use, book).scalar().toInt();
    }
    return count;
}

QString deletionRefusal(Kind kind, const QString &name, const QString &book)
{
    const int count = usageCount(kind, name, book);
    if (count == 0)
        return {};
    const QString title = QString::fromUtf8(target(kind).title);
    return QStringLiteral("%1“%2”不能删除：有 %3 条记录使用它。\n如要换一个名称，请修改它的名称，"
                          "这些记录会随之改名。")
        .arg(title, name)
        .arg(count);
}

QString goneMessage(Kind kind, const QString &name)
{
    return QStringLiteral("%1“%2”已不存在（可能已在其他窗口中改名或删除），不能保存！"
                          "请重新选择%1。")
        .arg(QString::fromUtf8(target(kind).title), name);
}

} // namespace References
