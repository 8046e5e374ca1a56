#pragma once

#include <QSqlDatabase>
#include <functional>

// The connection to the data file that code running on this thread uses. It is
// handed down by whoever opened it: the program's data folder on the screen's
// thread, a worker's own connection on a worker. Statements (Sql, Transaction)
// find it here, never in a module above them.
namespace Connection {

using Provider = std::function<QSqlDatabase()>;

// This thread's connection; an invalid one when none was handed down.
QSqlDatabase current();

// Hands `provider` down to the code running on this thread while it lives; the
// provider before comes back after.
class Provide
{
public:
    explicit Provide(Provider provider);
    ~Provide();
    Provide(const Provide &) = delete;
    Provide &operator=(const Provide &) = delete;

private:
    Provider m_previous;
};

} // namespace Connection
