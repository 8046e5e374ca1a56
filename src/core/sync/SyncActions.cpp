#include "core/sync/SyncActions.h"

#include "core/ledger/Changes.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/References.h"
#include "core/ledger/Sharing.h"
#include "data/Connection.h"
#include "data/Money.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace Sync {

namespace {

const QString SyncId = QStringLiteral("SyncID");
const QString TableMark = QStringLiteral("@table");
// 2: a row's base clock; an entry's amount that follow-ups settle, whole.
constexpr int PayloadLayout = 2;

// ---- The payload: JSON, every value as text (amounts stay exact) ----

QJsonObject toJson(const QMap<QString, QString> &map)
{
    QJsonObject object;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        object.insert(it.key(), *it);
    return object;
}

QMap<QString, QString> stringsFrom(const QJsonObject &object)
{
    QMap<QString, QString> map;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        map.insert(it.key(), it->toString());
    return map;
}

// ---- Rows by identity ----

// The clock of the version of a row here (of a row deleted here, of the version
// its delete removed); empty when no change of it has reached this computer.
QString clockOf(const QString &identity)
{
    return Sql(QStringLiteral("select HLC from SyncClock where Identity=?"), {identity})
        .scalar()
        .toString();
}

void setClock(const QString &identity, const QString &clock, bool onlyLater = false)
{
    Sql(QStringLiteral("insert into SyncClock (Identity, HLC) values (?, ?) on conflict(Identity) "
                       "do update set HLC=excluded.HLC%1")
            .arg(onlyLater ? QStringLiteral(" where excluded.HLC>HLC") : QString()),
        {identity, clock})
        .exec();
}

// The rows whose version a change makes: its row (a deleted row keeps the version
// its delete removed, see apply), and a follow-up's entry, whose figures it moves.
QStringList versioned(const RowChange &change)
{
    QStringList rows;
    if (change.op != QLatin1String("delete"))
        rows << change.id;
    if (const Ledger::FollowUpKind *f = Ledger::followUpKind(change.table))
        if (const QString entry = change.refs.value(QLatin1String(f->entryKey)); !entry.isEmpty())
            rows << entry;
    return rows;
}

// ---- An entry's amount that its follow-ups settle ----

// A debt's, a credit's or an investment's amount is kept as what is left of it
// once its follow-ups settled theirs. It travels whole: each computer leaves of
// it what its own follow-ups settled there.
const char *owedColumn(const QString &table)
{
    const Ledger::EntryKind *kind = Ledger::entryKind(table);
    return kind && kind->followUps ? kind->followUps->outstanding : nullptr;
}

void addToOwed(QVariantMap &row, const char *column, Money amount)
{
    const QString owed = QLatin1String(column);
    if (row.contains(owed))
        row[owed] = (Money::fromVariant(row.value(owed)) + amount).toVariant();
}

// What the follow-ups of an entry had settled when the action waiting in the
// outbox at `outbox` was made: what they settle now, less what the actions
// waiting after it recorded (or undid) of them.
Money settledWhenMade(const Ledger::EntryKind &kind, const QVariant &key, qint64 outbox)
{
    Money settled = Ledger::settled(kind, key);
    const Ledger::FollowUpKind &f = *kind.followUps;
    const QString table = QLatin1String(f.table);
    QSqlQuery later =
        Sql(QStringLiteral("select o.HistoryID, o.Kind from SyncOutbox o where o.ID>? and "
                           "exists (select 1 from HistoryRow r where r.HistoryID=o.HistoryID and "
                           "r.Tbl=?) order by o.ID"),
            {outbox, table})
            .exec();
    while (later.next()) {
        const bool undone = later.value(1).toString() == QLatin1String("undone");
        for (const History::Op &op : History::opsOf(later.value(0).toLongLong(), undone)) {
            const QVariantMap &record = op.after.isEmpty() ? op.before : op.after;
            if (op.table.compare(table, Qt::CaseInsensitive) != 0 ||
                record.value(QLatin1String(f.entryKey)).toLongLong() != key.toLongLong())
                continue;
            const Money amount = Money::fromVariant(record.value(QLatin1String(f.amounts.front())));
            const bool recorded = (op.op == QLatin1String("insert")) != undone;
            settled -= recorded ? amount : -amount;
        }
    }
    return settled;
}

// What travels of a row: not this file's key, nor the book's name here, nor a
// balance (each computer's ledger derives it), nor the identity (said beside it).
QVariantMap travelling(const QString &table, QVariantMap row)
{
    for (const char *column : {"ID", "BName", "SyncID"})
        row.remove(QLatin1String(column));
    if (table.compare(QLatin1String("SAccount"), Qt::CaseInsensitive) == 0)
        row.remove(QStringLiteral("AMoney"));
    // What follow-ups settled of an entry is theirs to move, on every computer.
    if (const Ledger::EntryKind *kind = Ledger::entryKind(table); kind && kind->followUps)
        row.remove(QStringLiteral("RMoney"));
    // The rows it names by this file's keys travel by their identities (references).
    for (const KeyReference &ref : KeyReferences)
        if (table.compare(QLatin1String(ref.table), Qt::CaseInsensitive) == 0)
            row.remove(QLatin1String(ref.column));
    return row;
}

std::vector<const References::Use *> usesOf(const QString &table)
{
    std::vector<const References::Use *> found;
    for (const References::Use &use : References::uses())
        if (!use.setting && table.compare(QLatin1String(use.table), Qt::CaseInsensitive) == 0)
            found.push_back(&use);
    return found;
}

// The reference row of that kind and name in the book: the one of that name here
// or, when none is called so any more (renamed or deleted after the action, before
// it was sent), the one that bore the name last, as the history kept it.
QVariantMap referenceRow(References::Kind kind, const QString &name, const QString &book)
{
    const References::Target &target = References::target(kind);
    const bool perBook = target.scope == References::Scope::Book;
    Sql sql(QStringLiteral("select * from %1 where %2=?")
                .arg(QLatin1String(target.table), QLatin1String(target.column)),
            {name});
    if (perBook)
        sql.add(QStringLiteral(" and BName=?"), {book});
    if (QSqlQuery q = sql.add(QStringLiteral(" order by ID limit 1")).exec(); q.next())
        return Rows::current(q);
    const QString path = QStringLiteral("'$.%1'").arg(QLatin1String(target.column));
    Sql kept(QStringLiteral(
                 "select r.Before, r.After from HistoryRow r join History h on "
                 "h.ID=r.HistoryID where r.Tbl=? and (json_extract(nullif(r.After, ''), %1)=? "
                 "collate nocase or json_extract(nullif(r.Before, ''), %1)=? collate nocase)")
                 .arg(path),
             {QLatin1String(target.table), name, name});
    if (perBook)
        kept.add(QStringLiteral(" and h.BName=?"), {book});
    QSqlQuery q = kept.add(QStringLiteral(" order by r.ID desc limit 1")).exec();
    if (!q.next())
        return {};
    const QVariantMap after = History::decode(q.value(1).toString());
    return after.value(QLatin1String(target.column))
                       .toString()
                       .compare(name, Qt::CaseInsensitive) == 0
               ? after
               : History::decode(q.value(0).toString());
}

// ---- Outgoing ----

// The names a row gives (accounts, categories, members) by their identities in
// `refs`, and those rows in `named`, to be made again where they are gone.
void nameReferences(const QString &table, const QVariantMap &row, const QString &book,
                    QMap<QString, QString> &refs, QMap<QString, QVariantMap> &named)
{
    for (const References::Use *use : usesOf(table)) {
        const QString name = row.value(QLatin1String(use->column)).toString();
        if (name.isEmpty())
            continue;
        const QVariantMap reference = referenceRow(use->kind, name, book);
        const QString id = reference.value(SyncId).toString();
        if (id.isEmpty())
            continue;
        refs.insert(QLatin1String(use->column), id);
        QVariantMap kept =
            travelling(QLatin1String(References::target(use->kind).table), reference);
        kept[TableMark] = QLatin1String(References::target(use->kind).table);
        named.insert(id, kept);
    }
}

RowChange travellingChange(const History::Op &op, bool undone, const QString &book, qint64 outbox,
                           QMap<QString, QVariantMap> &named)
{
    RowChange change;
    change.table = op.table;
    change.op = op.op;
    change.before = undone ? op.after : op.before;
    change.after = undone ? op.before : op.after;
    if (undone && op.op != QLatin1String("update"))
        change.op =
            op.op == QLatin1String("insert") ? QStringLiteral("delete") : QStringLiteral("insert");
    const QVariantMap &either = change.after.isEmpty() ? change.before : change.after;
    change.id = either.value(SyncId).toString();
    if (change.id.isEmpty())
        change.id = Rows::read(op.table, op.key).value(SyncId).toString();
    if (const char *owed = owedColumn(op.table)) {
        const Money settled = settledWhenMade(*Ledger::entryKind(op.table), op.key, outbox);
        addToOwed(change.before, owed, settled);
        addToOwed(change.after, owed, settled);
    }
    if (const Ledger::FollowUpKind *f = Ledger::followUpKind(op.table)) {
        // Its entry, to be made again where it was deleted meanwhile.
        const QString parent = QLatin1String(f->entryKey);
        const QString entryTable = QLatin1String(f->entry->table);
        QVariantMap entry = Rows::read(entryTable, either.value(parent));
        const QString id = entry.value(SyncId).toString();
        change.refs.insert(parent, id);
        if (!id.isEmpty()) {
            addToOwed(entry, f->outstanding, Ledger::settled(*f->entry, either.value(parent)));
            QVariantMap kept = travelling(entryTable, entry);
            kept[TableMark] = entryTable;
            // Its accounts and names by identity too, marked as their columns.
            QMap<QString, QString> refs;
            nameReferences(entryTable, entry, book, refs, named);
            for (auto it = refs.cbegin(); it != refs.cend(); ++it)
                kept[QLatin1Char('@') + it.key()] = *it;
            named.insert(id, kept);
        }
    }
    for (const KeyReference &ref : KeyReferences) {
        const QString column = QLatin1String(ref.column);
        if (op.table.compare(QLatin1String(ref.table), Qt::CaseInsensitive) != 0 ||
            either.value(column).isNull())
            continue;
        const QString target = targetOf(ref, either);
        const QString id = target.isEmpty()
                               ? QString()
                               : Rows::read(target, either.value(column)).value(SyncId).toString();
        if (!id.isEmpty())
            change.refs.insert(column, target + QLatin1Char(':') + id);
    }
    nameReferences(op.table, either, book, change.refs, named);
    change.before = travelling(op.table, change.before);
    change.after = travelling(op.table, change.after);
    return change;
}

bool travels(const History::Op &op)
{
    // A balance is derived, not sent.
    return (op.op == QLatin1String("insert") || op.op == QLatin1String("update") ||
            op.op == QLatin1String("delete")) &&
           Schema::hasSyncId(op.table);
}

const QChar SnapshotSeparator(0x1F);

// An import's batch travels as the entries it wrote (with their bills' keys), or,
// undone, as those entries taken away.
void addBatch(Action &action, const History::Op &op, bool undone, const QString &book)
{
    const bool standing =
        (op.after.value(QStringLiteral("Undone")).toString() == QLatin1String("0")) != undone;
    QSqlQuery entries =
        Sql(QStringLiteral("select EntryTable, EntryID, BillKey, Method, BillDate, Amount, "
                           "Snapshot from ImportEntry where BatchID=? order by ID"),
            {op.key})
            .exec();
    while (entries.next()) {
        const QString table = entries.value(0).toString();
        const QString id = entries.value(6).toString().section(SnapshotSeparator, -1);
        if (id.size() != 32)
            continue; // imported by an earlier version, with no identity kept
        History::Op row{standing ? QStringLiteral("insert") : QStringLiteral("delete"),
                        table,
                        entries.value(1),
                        {},
                        {}};
        if (standing) {
            row.after = Rows::read(table, entries.value(1));
            if (row.after.isEmpty())
                continue;
            action.bills.push_back({table, id, entries.value(2).toString(),
                                    entries.value(3).toString(), entries.value(4).toString(),
                                    entries.value(5).toString()});
        } else {
            row.before = {{SyncId, id}};
        }
        action.rows.push_back(travellingChange(row, false, book, action.outbox, action.named));
    }
}

// ---- Applying ----

const References::Use *referenceUse(const QString &table, const QString &column)
{
    for (const References::Use *use : usesOf(table))
        if (column.compare(QLatin1String(use->column), Qt::CaseInsensitive) == 0)
            return use;
    return nullptr;
}

// Whether the book has a row of the table's unique key (an occurrence of a
// recurring entry posted) that another row holds.
bool takenByUniqueKey(const QString &table, const QVariantMap &row)
{
    const Schema::Table *t = Schema::table(table);
    if (!t || !t->uniqueKey)
        return false;
    const QStringList columns = QString::fromLatin1(t->uniqueKey).split(QLatin1Char(','));
    QVariantList values;
    for (const QString &column : columns)
        values << row.value(column.trimmed());
    return Sql(QStringLiteral("select 1 from %1 where %2=?")
                   .arg(table, columns.join(QStringLiteral("=? and "))),
               values)
        .hasRows();
}

class Applier
{
public:
    Applier(const QString &computer, const Action &action, const QString &book)
        : m_computer(computer), m_action(action), m_book(book), m_ledger(book)
    {
        m_ledger.setOrigin(computer);
        m_ledger.setWindow(action.window);
        m_ledger.setDescription(action.description);
    }

    Applied run()
    {
        for (const RowChange &change : m_action.rows)
            if (!change.id.isEmpty() && Schema::hasSyncId(change.table))
                applyRow(change);
        m_ledger.commit();
        keepBills();
        for (auto it = m_action.settings.cbegin(); it != m_action.settings.cend(); ++it)
            takeSettings(it.key(), *it);
        return m_applied;
    }

private:
    // Of two versions of a row the later by the clock stands, whatever order they
    // arrive in; a delete removes the version it saw or an older one, never an
    // edit it did not see. A row deleted here keeps the clock of the version its
    // delete removed: a version no later than that one does not come back.
    void applyRow(const RowChange &change)
    {
        m_table = change.table;
        const QVariantMap local = Rows::readByIdentity(change.table, change.id);
        const QString version = clockOf(change.id);
        if (change.op == QLatin1String("delete")) {
            applyDelete(change, local, version);
            return;
        }
        const bool later = m_action.clock > version;
        if (local.isEmpty()) {
            // Never here, or deleted here by a delete that did not see this version
            // (an edit stands against a delete).
            if ((version.isEmpty() || later) && insert(change, change.after))
                written(change);
            return;
        }
        const bool edit = change.op == QLatin1String("update");
        if (!later) {
            // An older version: an edit of it lost to the one here.
            if (edit) {
                History::binConflict(m_book, change.table, resolved(change, change.after, false),
                                     m_computer);
                ++m_applied.conflicts;
            }
            return;
        }
        // The same row made on both (a bill imported on each): nothing to write.
        if (!edit && isAsHere(local, change)) {
            setClock(change.id, m_action.clock);
            return;
        }
        // The version here, when the other computer never saw it, lost to theirs.
        // (A row only made again here from what others named has no version.)
        if (!unchanged(local, edit ? change.before : change.after) && !version.isEmpty()) {
            History::binConflict(m_book, change.table, local, thisComputer());
            ++m_applied.conflicts;
        }
        update(change, local);
        written(change);
    }

    void applyDelete(const RowChange &change, const QVariantMap &local, const QString &version)
    {
        if (local.isEmpty()) {
            // Deleted here too, or not here yet: what it removed does not come back.
            if (change.base)
                setClock(change.id, *change.base, true);
            return;
        }
        // A file of an earlier version says no version: the row as it was tells.
        const bool seen = change.base ? version <= *change.base : unchanged(local, change.before);
        if (!seen || !remove(change, local))
            return;
        if (change.base)
            setClock(change.id, *change.base);
        written(change);
    }

    // The change was written here: the versions it makes are of its clock.
    void written(const RowChange &change)
    {
        ++m_applied.rows;
        for (const QString &row : versioned(change))
            setClock(row, m_action.clock, true);
    }

    QString thisComputer() const { return setting(QStringLiteral("Computer")); }

    // The book's settings in `table` as the other computer had them, when they are
    // newer than those here (which are then replaced whole).
    void takeSettings(const QString &table, const QList<QVariantMap> &rows)
    {
        const bool book = table == QLatin1String("SBook"); // its password and remark
        if (!book && !Sharing::settingsTables().contains(table))
            return;
        const QString identity = table + QLatin1Char('@') + m_action.share;
        if (m_action.clock <= clockOf(identity))
            return;
        if (book && !rows.isEmpty()) {
            Sql(QStringLiteral("update SBook set BPass=?, Remark=? where BName=?"),
                {rows.first().value(QStringLiteral("BPass")),
                 rows.first().value(QStringLiteral("Remark")), m_book})
                .exec();
        } else if (!book) {
            Sql(QStringLiteral("delete from %1 where BName=?").arg(table), {m_book}).exec();
            for (QVariantMap row : rows) {
                row[QStringLiteral("BName")] = m_book;
                Rows::insert(table, row);
            }
        }
        setClock(identity, m_action.clock);
        ++m_applied.rows;
        ChangeFeed::announceOnCommit(Connection::current(), Change::ofSettings(m_book, table));
    }

    // The bills another computer imported are imported here too: kept as a batch
    // of the action just applied (undone and redone with it), so that importing
    // the same bill here finds it imported.
    void keepBills()
    {
        if (m_action.bills.empty())
            return;
        const QVariant batch = Rows::insert(
            QStringLiteral("ImportBatch"),
            {{"BName", m_book},
             {"Made", QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
             {"Files", QStringLiteral("来自%1").arg(m_computer)},
             {"Entries", int(m_action.bills.size())},
             {"Undone", 0}});
        Sql(QStringLiteral("update ImportBatch set HistoryID=(select max(ID) from History where "
                           "BName=?) where ID=?"),
            {m_book, batch})
            .exec();
        for (const ImportedBill &bill : m_action.bills) {
            const QVariant entry =
                Rows::readByIdentity(bill.table, bill.id).value(QStringLiteral("ID"));
            if (entry.isNull())
                continue;
            Rows::insert(QStringLiteral("ImportEntry"), {{"BName", m_book},
                                                         {"BatchID", batch},
                                                         {"BillKey", bill.key},
                                                         {"Method", bill.method},
                                                         {"BillDate", bill.date},
                                                         {"Amount", bill.amount},
                                                         {"EntryTable", bill.table},
                                                         {"EntryID", entry},
                                                         {"Snapshot", QString()}});
        }
    }

    // Whether the row here is still the version the other computer changed: its
    // own columns compared, the names it gives aside (a rename changes them).
    bool unchanged(const QVariantMap &local, const QVariantMap &version) const
    {
        const QVariantMap here = settledHere(local, local.value(QStringLiteral("ID")), +1);
        for (auto it = version.cbegin(); it != version.cend(); ++it) {
            if (referenceUse(m_table, it.key()) || keyReference(m_table, it.key()))
                continue;
            if (here.value(it.key()).toString() != it->toString())
                return false;
        }
        return true;
    }

    // Whether the row here is the version of the change, names and all.
    bool isAsHere(const QVariantMap &local, const RowChange &change)
    {
        const QVariant key = local.value(QStringLiteral("ID"));
        const QVariantMap here = settledHere(local, key, +1);
        const QVariantMap theirs = resolved(change, change.after, false);
        for (auto it = theirs.cbegin(); it != theirs.cend(); ++it)
            if (here.value(it.key()).toString() != it->toString())
                return false;
        return true;
    }

    // An entry's amount that follow-ups settle, as it travels (+1: whole) or as
    // it is kept here (-1: less what the follow-ups here settled).
    QVariantMap settledHere(QVariantMap row, const QVariant &key, int sign) const
    {
        const char *owed = owedColumn(m_table);
        if (owed && m_action.layout >= 2) {
            const Money settled = Ledger::settled(*Ledger::entryKind(m_table), key);
            addToOwed(row, owed, sign > 0 ? settled : -settled);
        }
        return row;
    }

    // The row with the names and the entry it gives as they are here: a name
    // renamed here by its identity, one gone made again (when `make`).
    QVariantMap resolved(const RowChange &change, QVariantMap row, bool make)
    {
        row[SyncId] = change.id;
        for (const KeyReference &ref : KeyReferences)
            if (change.table.compare(QLatin1String(ref.table), Qt::CaseInsensitive) == 0)
                row[QLatin1String(ref.column)] = QVariant(); // none unless a reference names it
        for (auto it = change.refs.cbegin(); it != change.refs.cend(); ++it) {
            if (keyReference(change.table, it.key())) {
                const QString target = it->section(QLatin1Char(':'), 0, 0);
                row[it.key()] = Rows::readByIdentity(target, it->section(QLatin1Char(':'), 1))
                                    .value(QStringLiteral("ID"));
                continue;
            }
            const References::Use *use = referenceUse(change.table, it.key());
            if (!use) {
                if (const Ledger::FollowUpKind *f = Ledger::followUpKind(change.table))
                    row[it.key()] = entryKey(*f, *it, make);
                continue;
            }
            const References::Target &target = References::target(use->kind);
            const QString column = QLatin1String(target.column);
            const QVariantMap here = Rows::readByIdentity(QLatin1String(target.table), *it);
            if (!here.isEmpty()) {
                row[it.key()] = here.value(column);
                continue;
            }
            const QVariantMap gone = m_action.named.value(*it);
            if (!gone.isEmpty() && make)
                row[it.key()] = makeName(QLatin1String(target.table), *it, gone);
        }
        return row;
    }

    // The key here of the entry a follow-up belongs to: made again from what the
    // other computer had when it was deleted here meanwhile (when `make`).
    QVariant entryKey(const Ledger::FollowUpKind &f, const QString &id, bool make)
    {
        const QString table = QLatin1String(f.entry->table);
        const QVariant key = Rows::readByIdentity(table, id).value(QStringLiteral("ID"));
        const QVariantMap gone = m_action.named.value(id);
        if (!key.isNull() || gone.isEmpty() || !make)
            return key;
        // The names it gives, by the identities marked beside them.
        RowChange entry{QStringLiteral("insert"), table, id, {}, {}, {}, std::nullopt};
        QVariantMap row;
        for (auto it = gone.cbegin(); it != gone.cend(); ++it) {
            if (it.key() == TableMark)
                continue;
            if (it.key().startsWith(QLatin1Char('@')))
                entry.refs.insert(it.key().mid(1), it->toString());
            else
                row.insert(it.key(), *it);
        }
        return m_ledger.save(*f.entry, resolved(entry, row, true));
    }

    // A name (an account, a category, a member) made on another computer, or
    // made again here where it was deleted while the other computer still wrote
    // rows naming it. Returns the name it has here.
    QString makeName(const QString &table, const QString &id, QVariantMap row)
    {
        row.remove(TableMark);
        row[SyncId] = id;
        if (table == QLatin1String("SAccount"))
            row[QStringLiteral("AMoney")] = row.value(QStringLiteral("OpenMoney"));
        keepNamesApart(table, id, row);
        m_ledger.saveReference(table, row);
        return row.value(QLatin1String(References::target(*References::kindOf(table)).column))
            .toString();
    }

    // Two rows of one name, made or renamed on two computers at once: the one of
    // the smaller identity keeps the name and the other is called "名（同名）",
    // on every computer alike whichever arrives first. Nothing is merged unasked.
    void keepNamesApart(const QString &table, const QString &id, QVariantMap &row)
    {
        const References::Kind kind = *References::kindOf(table);
        const QString column = QLatin1String(References::target(kind).column);
        const QString name = row.value(column).toString();
        if (!row.contains(column) || name.isEmpty())
            return;
        Sql held(QStringLiteral("select ID, SyncID from %1 where %2=? collate nocase and SyncID<>?")
                     .arg(table, column),
                 {name, id});
        if (References::target(kind).scope == References::Scope::Book)
            held.add(QStringLiteral(" and BName=?"), {m_book});
        QSqlQuery other = held.exec();
        if (!other.next())
            return;
        QString apart = name + QStringLiteral("（同名）");
        for (int n = 2; References::exists(kind, apart, m_book); ++n)
            apart = name + QStringLiteral("（同名%1）").arg(n);
        if (id < other.value(1).toString())
            m_ledger.saveReferenceEdit(table, other.value(0), {{column, apart}});
        else
            row[column] = apart;
    }

    bool insert(const RowChange &change, const QVariantMap &version)
    {
        QVariantMap row = resolved(change, version, true);
        if (const Ledger::EntryKind *kind = Ledger::entryKind(change.table)) {
            m_ledger.save(*kind, row);
        } else if (const Ledger::FollowUpKind *f = Ledger::followUpKind(change.table)) {
            const QVariant entry = row.value(QLatin1String(f->entryKey));
            if (entry.isNull())
                return false; // its entry is gone here
            m_ledger.recordFollowUp(*f, entry, row);
        } else if (Ledger::isPlainTable(change.table)) {
            if (takenByUniqueKey(change.table, row))
                return false; // that occurrence posted or skipped here already
            m_ledger.insertRow(change.table, row);
        } else {
            makeName(change.table, change.id, row);
        }
        return true;
    }

    bool update(const RowChange &change, const QVariantMap &local)
    {
        QVariantMap row = resolved(change, change.after, true);
        const QVariant key = local.value(QStringLiteral("ID"));
        if (const Ledger::EntryKind *kind = Ledger::entryKind(change.table)) {
            m_ledger.saveEdit(*kind, key, settledHere(row, key, -1));
            return true;
        }
        if (Ledger::followUpKind(change.table))
            return false; // a follow-up is never edited
        if (Ledger::isPlainTable(change.table)) {
            m_ledger.updateRow(change.table, key, row);
            return true;
        }
        keepNamesApart(change.table, change.id, row);
        m_ledger.saveReferenceEdit(change.table, key, row);
        // An opening balance set on another computer moves the balance here too.
        if (change.table == QLatin1String("SAccount") &&
            row.contains(QStringLiteral("OpenMoney"))) {
            const Money moved = Money::fromVariant(row.value(QStringLiteral("OpenMoney"))) -
                                Money::fromVariant(local.value(QStringLiteral("OpenMoney")));
            if (!moved.isZero())
                m_ledger.setBalance(key,
                                    Money::fromVariant(Rows::readByIdentity(change.table, change.id)
                                                           .value(QStringLiteral("AMoney"))) +
                                        moved);
        }
        return true;
    }

    bool remove(const RowChange &change, const QVariantMap &local)
    {
        const QVariant key = local.value(QStringLiteral("ID"));
        if (const Ledger::EntryKind *kind = Ledger::entryKind(change.table)) {
            // Follow-ups recorded here since keep their entry.
            if (kind->followUps && Sql(QStringLiteral("select 1 from %1 where %2=? limit 1")
                                           .arg(QLatin1String(kind->followUps->table),
                                                QLatin1String(kind->followUps->entryKey)),
                                       {key})
                                       .hasRows())
                return false;
            m_ledger.remove(*kind, key);
            // An import undone there: its bills can be imported here again.
            Sql(QStringLiteral("delete from ImportEntry where EntryTable=? and EntryID=?"),
                {QLatin1String(kind->table), key})
                .exec();
        } else if (const Ledger::FollowUpKind *f = Ledger::followUpKind(change.table)) {
            m_ledger.removeFollowUp(*f, local.value(QLatin1String(f->entryKey)), key);
        } else if (Ledger::isPlainTable(change.table)) {
            m_ledger.removeRow(change.table, key);
        } else if (const std::optional<References::Kind> kind = References::kindOf(change.table)) {
            // A name that rows here still give stays: they were written since.
            const QString name =
                local.value(QLatin1String(References::target(*kind).column)).toString();
            if (References::usageCount(*kind, name, m_book) > 0)
                return false;
            m_ledger.removeReference(change.table, key);
        }
        return true;
    }

    QString m_computer;
    const Action &m_action;
    QString m_book;
    Ledger m_ledger;
    QString m_table;
    Applied m_applied;
};

} // namespace

QJsonObject rowToJson(const QVariantMap &row)
{
    QJsonObject object;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        object.insert(it.key(), it->isNull() ? QJsonValue() : QJsonValue(it->toString()));
    return object;
}

QVariantMap rowFromJson(const QJsonObject &object)
{
    QVariantMap row;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        row[it.key()] = it->isNull() ? QVariant() : QVariant(it->toString());
    return row;
}

namespace {

QJsonObject actionToJson(const Action &action)
{
    QJsonArray rows;
    for (const RowChange &change : action.rows) {
        QJsonObject row{{"op", change.op},
                        {"table", change.table},
                        {"id", change.id},
                        {"before", rowToJson(change.before)},
                        {"after", rowToJson(change.after)},
                        {"refs", toJson(change.refs)}};
        if (change.base)
            row.insert(QStringLiteral("base"), *change.base);
        rows.append(row);
    }
    QJsonObject named;
    for (auto it = action.named.cbegin(); it != action.named.cend(); ++it)
        named.insert(it.key(), rowToJson(*it));
    QJsonObject settings;
    for (auto it = action.settings.cbegin(); it != action.settings.cend(); ++it) {
        QJsonArray rows;
        for (const QVariantMap &row : *it)
            rows.append(rowToJson(row));
        settings.insert(it.key(), rows);
    }
    QJsonArray bills;
    for (const ImportedBill &bill : action.bills)
        bills.append(
            QJsonArray{bill.table, bill.id, bill.key, bill.method, bill.date, bill.amount});
    return QJsonObject{{"share", action.share},
                       {"clock", action.clock},
                       {"window", action.window},
                       {"description", action.description},
                       {"outbox", QString::number(action.outbox)},
                       {"rows", rows},
                       {"named", named},
                       {"bills", bills},
                       {"settings", settings}};
}

Action actionFromJson(const QJsonObject &object, int layout)
{
    Action action;
    action.layout = layout;
    action.share = object.value(QStringLiteral("share")).toString();
    action.clock = object.value(QStringLiteral("clock")).toString();
    action.window = object.value(QStringLiteral("window")).toString();
    action.description = object.value(QStringLiteral("description")).toString();
    action.outbox = object.value(QStringLiteral("outbox")).toString().toLongLong();
    for (const QJsonValue &value : object.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject row = value.toObject();
        action.rows.push_back({row.value(QStringLiteral("op")).toString(),
                               row.value(QStringLiteral("table")).toString(),
                               row.value(QStringLiteral("id")).toString(),
                               rowFromJson(row.value(QStringLiteral("before")).toObject()),
                               rowFromJson(row.value(QStringLiteral("after")).toObject()),
                               stringsFrom(row.value(QStringLiteral("refs")).toObject()),
                               std::nullopt});
        if (const QJsonValue base = row.value(QStringLiteral("base")); base.isString())
            action.rows.back().base = base.toString();
    }
    const QJsonObject named = object.value(QStringLiteral("named")).toObject();
    for (auto it = named.constBegin(); it != named.constEnd(); ++it)
        action.named.insert(it.key(), rowFromJson(it->toObject()));
    for (const QJsonValue &value : object.value(QStringLiteral("bills")).toArray()) {
        const QJsonArray bill = value.toArray();
        action.bills.push_back({bill.at(0).toString(), bill.at(1).toString(), bill.at(2).toString(),
                                bill.at(3).toString(), bill.at(4).toString(),
                                bill.at(5).toString()});
    }
    const QJsonObject settings = object.value(QStringLiteral("settings")).toObject();
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
        for (const QJsonValue &row : it->toArray())
            action.settings[it.key()] << rowFromJson(row.toObject());
    return action;
}

} // namespace

QByteArray encode(const std::vector<Action> &actions, const AppliedFiles &applied)
{
    QJsonArray all;
    for (const Action &action : actions)
        all.append(actionToJson(action));
    QJsonObject heard;
    for (const auto &[computer, sequence] : applied)
        heard.insert(computer, QString::number(sequence));
    return QJsonDocument(
               QJsonObject{{"layout", PayloadLayout}, {"actions", all}, {"applied", heard}})
        .toJson(QJsonDocument::Compact);
}

std::optional<std::vector<Action>> decode(const QByteArray &payload, AppliedFiles *applied)
{
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    const QJsonObject object = document.object();
    const int layout = object.value(QStringLiteral("layout")).toInt();
    if (!document.isObject() || layout < 1 || layout > PayloadLayout)
        return std::nullopt;
    std::vector<Action> actions;
    for (const QJsonValue &value : object.value(QStringLiteral("actions")).toArray())
        actions.push_back(actionFromJson(value.toObject(), layout));
    if (applied) {
        const QJsonObject heard = object.value(QStringLiteral("applied")).toObject();
        for (auto it = heard.constBegin(); it != heard.constEnd(); ++it)
            (*applied)[it.key()] = it->toString().toLongLong();
    }
    return actions;
}

std::vector<Action> outgoing(int limit)
{
    std::vector<Action> actions;
    QSqlQuery queued = Sql(QStringLiteral("select o.ID, o.BName, o.HistoryID, o.Kind, s.ShareID, "
                                          "h.Window, h.Description from SyncOutbox o left join "
                                          "SyncShare s on s.BName=o.BName left join History h on "
                                          "h.ID=o.HistoryID order by o.ID limit ?"),
                           {limit})
                           .exec();
    while (queued.next()) {
        Action action;
        action.outbox = queued.value(0).toLongLong();
        const QString book = queued.value(1).toString();
        const QString kind = queued.value(3).toString();
        action.share = queued.value(4).toString();
        action.window = queued.value(5).toString();
        action.description = queued.value(6).toString();
        if (kind == QLatin1String("undone"))
            action.description = QStringLiteral("撤销 ") + action.description;
        const bool undone = kind == QLatin1String("undone");
        if (kind.startsWith(QLatin1String("settings:"))) {
            const QString table = kind.section(QLatin1Char(':'), 1);
            QList<QVariantMap> &rows = action.settings[table];
            for (QSqlQuery q =
                     Sql(QStringLiteral("select * from %1 where BName=? order by ID").arg(table),
                         {book})
                         .exec();
                 q.next();)
                rows << travelling(table, Rows::current(q));
            actions.push_back(std::move(action));
            continue;
        }
        for (const History::Op &op : History::opsOf(queued.value(2).toLongLong(), undone)) {
            if (op.op == QLatin1String("batch") && op.table == QLatin1String("ImportBatch"))
                addBatch(action, op, undone, book);
            else if (travels(op))
                action.rows.push_back(
                    travellingChange(op, undone, book, action.outbox, action.named));
        }
        actions.push_back(std::move(action));
    }
    return actions;
}

void stamp(std::vector<Action> &actions)
{
    // A row's version: its clock here, or the one an earlier action of these gave it.
    QHash<QString, QString> version;
    for (Action &action : actions) {
        action.clock = Clock::tick();
        for (RowChange &change : action.rows) {
            auto it = version.find(change.id);
            if (it == version.end())
                it = version.insert(change.id, clockOf(change.id));
            change.base = *it;
            for (const QString &row : versioned(change))
                version[row] = action.clock;
        }
    }
}

void sent(const Action &action)
{
    Sql(QStringLiteral("delete from SyncOutbox where ID<=?"), {action.outbox}).exec();
    for (auto it = action.settings.cbegin(); it != action.settings.cend(); ++it)
        setClock(it.key() + QLatin1Char('@') + action.share, action.clock, true);
    for (const RowChange &change : action.rows)
        for (const QString &row : versioned(change))
            setClock(row, action.clock, true);
}

Applied apply(const QString &computer, const Action &action)
{
    Clock::observe(action.clock);
    const QString book =
        Sql(QStringLiteral("select BName from SyncShare where ShareID=?"), {action.share})
            .scalar()
            .toString();
    if (book.isEmpty())
        return {};
    return Applier(computer, action, book).run();
}

void noteVersion(const QString &identity, const QString &clock)
{
    setClock(identity, clock, true);
}

const KeyReference *keyReference(const QString &table, const QString &column)
{
    for (const KeyReference &ref : KeyReferences)
        if (table.compare(QLatin1String(ref.table), Qt::CaseInsensitive) == 0 &&
            column.compare(QLatin1String(ref.column), Qt::CaseInsensitive) == 0)
            return &ref;
    return nullptr;
}

QString targetOf(const KeyReference &ref, const QVariantMap &row, const QSqlDatabase &db)
{
    if (ref.target)
        return QLatin1String(ref.target);
    if (ref.targetColumn)
        return row.value(QLatin1String(ref.targetColumn)).toString();
    for (const Ledger::EntryKind *kind : {&Ledger::income(), &Ledger::expense()}) {
        Sql sql(QStringLiteral("select 1 from %1 where ID=? and %2=? and AName=?")
                    .arg(QLatin1String(kind->table), QLatin1String(kind->dateColumn)),
                {row.value(QLatin1String(ref.column)), row.value(QStringLiteral("RDate")),
                 row.value(QStringLiteral("AName"))});
        QSqlQuery found = db.isValid() ? sql.exec(db) : sql.exec();
        if (found.next())
            return QLatin1String(kind->table);
    }
    return {};
}

QString setting(const QString &key)
{
    return Sql(QStringLiteral("select SValue from SyncState where SKey=?"), {key})
        .scalar()
        .toString();
}

void setSetting(const QString &key, const QString &value)
{
    Sql(QStringLiteral("insert into SyncState (SKey, SValue) values (?, ?) on conflict(SKey) do "
                       "update set SValue=excluded.SValue"),
        {key, value})
        .exec();
}

namespace Clock {

namespace {

struct Reading
{
    qint64 ms = 0;
    int counter = 0;
};

Reading parse(const QString &clock)
{
    const QStringList parts = clock.split(QLatin1Char('-'));
    if (parts.size() < 2)
        return {};
    return {parts.at(0).toLongLong(), parts.at(1).toInt()};
}

QString text(const Reading &r)
{
    return QStringLiteral("%1-%2")
        .arg(r.ms, 13, 10, QLatin1Char('0'))
        .arg(r.counter, 6, 10, QLatin1Char('0'));
}

bool before(const Reading &a, const Reading &b)
{
    return a.ms < b.ms || (a.ms == b.ms && a.counter < b.counter);
}

} // namespace

QString tick()
{
    Reading last = parse(setting(QStringLiteral("Clock")));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    last = now > last.ms ? Reading{now, 0} : Reading{last.ms, last.counter + 1};
    setSetting(QStringLiteral("Clock"), text(last));
    return text(last) + QLatin1Char('-') + setting(QStringLiteral("Computer"));
}

void observe(const QString &clock)
{
    const Reading seen = parse(clock);
    if (before(parse(setting(QStringLiteral("Clock"))), seen))
        setSetting(QStringLiteral("Clock"), text(seen));
}

} // namespace Clock

} // namespace Sync
