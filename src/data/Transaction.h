#pragma once

#include <QSqlDatabase>
#include <functional>

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
    QSqlDatabase database() const { return m_db; }

    // Runs `later` once the outermost transaction open on `db` has committed (at
    // once when none is open); never when it is rolled back, nor when the work
    // that asked for it (a savepoint) is.
    static void afterCommit(const QSqlDatabase &db, std::function<void()> later);

private:
    QString savepoint() const;
    void close();
    // Ends the outermost transaction without keeping its work.
    void rollBack();

    QSqlDatabase m_db;
    int m_depth = 0; // 0: the outermost transaction
    std::size_t m_laterMark = 0;
    bool m_open = false;
};
