#include "data/Upgrade.h"

#include "data/MonthTotals.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

namespace Upgrade {

bool isNeeded(const QSqlDatabase &db)
{
    return Schema::version(db) < Schema::UserVersion;
}

void run(const QSqlDatabase &db, const Progress &progress)
{
    const int from = Schema::version(db);
    if (from >= Schema::UserVersion)
        return;
    Transaction transaction(db);
    // 3: the amount indexes, made with the tables and indexes a file lacks; on a
    // big book they take a few seconds. 4: the history and the recycle bin; 5: bill
    // imports; 6: household planning; each starts empty.
    const QString indexing = QStringLiteral("正在建立索引……");
    if (progress)
        progress(indexing, 0);
    Schema::addTablesSince(db, from);
    if (from < 2)
        MonthTotals::rebuild(db, [&progress](int percent) {
            if (progress)
                progress(QStringLiteral("正在计算各月合计……"), percent);
        });
    else if (progress)
        progress(indexing, 100);
    Sql(QStringLiteral("PRAGMA user_version = %1").arg(Schema::UserVersion)).exec(db);
    transaction.commit();
}

} // namespace Upgrade
