#include "core/ledger/TotalsCheck.h"

#include "core/ledger/MonthTotals.h"
#include "data/Background.h"
#include "data/Sql.h"

namespace TotalsCheck {

bool repair(Background::Context &work)
{
    const QSqlDatabase db = work.database();
    work.progress(-1, QStringLiteral("正在检查各月合计……"));
    // Read statement by statement, so that the program's saves meanwhile wait for
    // one statement at most.
    if (MonthTotals::differences(db).isEmpty())
        return false;
    // A save between two of those statements looks like a difference: the check is
    // made again while nothing else can write, and the rebuild follows in the same
    // transaction.
    Sql(QStringLiteral("BEGIN IMMEDIATE")).exec(db);
    try {
        const bool differ = !MonthTotals::differences(db).isEmpty();
        if (differ)
            MonthTotals::rebuild(db);
        Sql(QStringLiteral("COMMIT")).exec(db);
        return differ;
    } catch (...) {
        try {
            Sql(QStringLiteral("ROLLBACK")).exec(db);
        } catch (const DbError &) {
            // SQLite rolled it back already (a failed statement of a full disk).
        }
        throw;
    }
}

} // namespace TotalsCheck
