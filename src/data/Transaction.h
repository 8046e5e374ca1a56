#pragma once

#include <QSqlDatabase>

// One user action is one transaction: everything between construction and
// commit() is stored together, and leaving the scope without commit() (an
// exception, an early return) rolls it all back. A transaction begun inside
// another of the same connection is a savepoint of it: its commit keeps its
// work for the outer one to commit, its rollback undoes only its own work.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db);
    Transaction();
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit(); // throws DbError when the database refuses the commit

private:
    QString savepoint() const;
    // Ends the outermost transaction without keeping its work.
    void rollBack();

    QSqlDatabase m_db;
    int m_depth = 0; // 0: the outermost transaction
    bool m_open = false;
};
