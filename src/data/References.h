#pragma once

#include <QString>
#include <vector>

// Where the entry tables name the rows of the reference tables. Entries carry a
// reference's name as text, so renaming an account, a category or a family
// member renames it in every row listed here, in the same transaction.
namespace References {

enum class Kind
{
    Account,
    IncomeCategory,
    ExpenseCategory,
    InvestmentCategory,
    Member,
};

enum class Scope
{
    Book,     // rows of the book whose reference was renamed
    AllBooks, // every book's rows (family members are shared by all books)
};

// One column that names a reference. A table without BName of its own (the
// repayment, collection and return rows) belongs to the book of its parent row.
struct Use
{
    Kind kind;
    const char *table;
    const char *column;
    Scope scope;
    const char *parentTable = nullptr;
    const char *parentKey = nullptr;
};

const std::vector<Use> &uses();

// Renames `from` to `to` in every column that names a reference of this kind,
// within `book` for per-book references. Throws DbError.
void rename(Kind kind, const QString &from, const QString &to, const QString &book);

} // namespace References
