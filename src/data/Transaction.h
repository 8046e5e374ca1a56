#pragma once

#include <QSqlDatabase>

// One user action is one transaction: everything between construction and
// commit() is stored together, and leaving the scope without commit() (an
// exception, an early return) rolls it all back.
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
    QSqlDatabase m_db;
    bool m_open = false;
};
