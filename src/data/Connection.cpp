#include "data/Connection.h"

#include <utility>

namespace Connection {

namespace {

Provider &provider()
{
    thread_local Provider current;
    return current;
}

} // namespace

QSqlDatabase current()
{
    return provider() ? provider()() : QSqlDatabase();
}

Provide::Provide(Provider p) : m_previous(std::exchange(provider(), std::move(p)))
{
}

Provide::~Provide()
{
    provider() = std::move(m_previous);
}

} // namespace Connection
