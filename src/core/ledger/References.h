#pragma once

#include <QString>
#include <optional>
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
// Rows of a book that is gone do not count as naming a reference. A setting (what
// an import maps a payment method to) follows a rename but does not keep the name
// from being deleted: a setting naming what is gone counts as none.
struct Use
{
    Kind kind;
    const char *table;
    const char *column;
    Scope scope;
    const char *parentTable = nullptr;
    const char *parentKey = nullptr;
    bool setting = false;
};

const std::vector<Use> &uses();

// The table that holds the references of a kind.
struct Target
{
    const char *table;  // "SAccount"
    const char *column; // "AName"
    Scope scope;        // per book, or one list for all books
    const char *title;  // "帐户": how messages name it
};
const Target &target(Kind kind);
// The kind whose references `table` holds; none for another table.
std::optional<Kind> kindOf(const QString &table);

// Whether the book (for references of all books, any book) has that name.
bool exists(Kind kind, const QString &name, const QString &book);
// The name as the book has it, in its own letter case ("Bank" for "BANK"); empty
// when it has none.
QString storedName(Kind kind, const QString &name, const QString &book);

// How many rows of entries and follow-ups name it, within the book for per-book
// references, in every book for those of all books. Reads the rows of the book
// (of every book): for a deletion, not for daily work.
int usageCount(Kind kind, const QString &name, const QString &book);
// Why a reference that rows name is not deleted; empty when no row names it.
QString deletionRefusal(Kind kind, const QString &name, const QString &book);

// Said when a row to be written names a reference the book does not have (any
// more): renamed or deleted in another window since it was chosen.
QString goneMessage(Kind kind, const QString &name);

// Renames `from` to `to` in every column that names a reference of this kind,
// within `book` for per-book references. Throws DbError.
void rename(Kind kind, const QString &from, const QString &to, const QString &book);

} // namespace References
