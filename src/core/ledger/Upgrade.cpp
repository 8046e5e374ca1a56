#include "core/ledger/Upgrade.h"

#include "core/ledger/AccountKinds.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QSet>
#include <QSqlQuery>

namespace Upgrade {

namespace {

// Accounts get their kinds (现金 by its name, every other one 储蓄) and their opening
// balances: what the balance holds beyond what the entries moved, as of the day
// the book was made.
void addAccountKindsAndOpenings(const QSqlDatabase &db)
{
    Sql(QStringLiteral("update SAccount set AKind=case when AName=? then ? else ? end"),
        {AccountKinds::Cash, AccountKinds::Cash, AccountKinds::Savings})
        .exec(db);
    QSqlQuery books = Sql(QStringLiteral("select distinct BName from SAccount")).exec(db);
    while (books.next()) {
        const QString book = books.value(0).toString();
        const QMap<QString, Money> moved = Ledger::effectsOn(book, {}, db);
        QSqlQuery accounts =
            Sql(QStringLiteral("select ID, AName, AMoney from SAccount where BName=? order by ID"),
                {book})
                .exec(db);
        QSet<QString> seen;
        while (accounts.next()) {
            // Of two accounts of one name (older data) the entries move the first.
            const QString name = accounts.value(1).toString().toLower();
            const Money opening = Money::fromVariant(accounts.value(2)) -
                                  (seen.contains(name) ? Money() : moved.value(name));
            seen.insert(name);
            Sql(QStringLiteral("update SAccount set OpenMoney=?, OpenDate=(select min(BDate) "
                               "from SBook where BName=?) where ID=?"),
                {opening.toVariant(), book, accounts.value(0)})
                .exec(db);
        }
    }
}

// Every row that travels between a household's computers gets its identity.
void giveRowsIdentities(const QSqlDatabase &db)
{
    for (const Schema::Table &t : Schema::tables())
        if (Schema::hasSyncId(QLatin1String(t.name)))
            Sql(QStringLiteral(
                    "update %1 set SyncID=lower(hex(randomblob(16))) where SyncID is null")
                    .arg(QLatin1String(t.name)))
                .exec(db);
}

} // namespace

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
    // imports; 6: household planning; each starts empty. 7: accounts' kinds and
    // opening balances, from what they hold. 8: the account a rule of bill imports
    // gives, empty in the rules there. 9: every shared row's identity.
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
    if (from < 7)
        addAccountKindsAndOpenings(db);
    if (from < 9)
        giveRowsIdentities(db);
    Sql(QStringLiteral("PRAGMA user_version = %1").arg(Schema::UserVersion)).exec(db);
    transaction.commit();
}

} // namespace Upgrade
