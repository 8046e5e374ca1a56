#include "core/sync/Snapshot.h"

#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Sharing.h"
#include "core/sync/SyncActions.h"
#include "data/Connection.h"
#include "data/FileDatabase.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <sqlite3.h>

namespace Sync {

namespace {

// The layouts of a snapshot's content: 1, the rows as JSON (read still); 2, the
// database image.
constexpr int JsonLayout = 1;
const QString Memory = QStringLiteral(":memory:");

QString columnsOf(const Schema::Table &table)
{
    QStringList columns;
    for (const Schema::Column &column : table.columns)
        columns << QLatin1String(column.name);
    return columns.join(QLatin1Char(','));
}

// The rows of `table` (in the database `prefix` names) of the books in `books` (an
// "in (...)" list): a follow-up's by its entry's book; members, every book's, all.
QString ofBooks(const QString &table, const QString &prefix, const QString &books)
{
    if (const Ledger::FollowUpKind *followUp = Ledger::followUpKind(table))
        return QStringLiteral(" where %1 in (select ID from %2%3 where BName in %4)")
            .arg(QLatin1String(followUp->entryKey), prefix, QLatin1String(followUp->entry->table),
                 books);
    if (table == QLatin1String("SFamily"))
        return {};
    return QStringLiteral(" where BName in %1").arg(books);
}

QString placeholders(qsizetype count)
{
    QStringList marks(count, QStringLiteral("?"));
    return QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
}

// An empty database in SQLite's own memory format, which it can hand over where
// it lies (or, given `bytes`, the database they hold, written in place).
void deserialize(const QSqlDatabase &db, unsigned char *bytes, qsizetype size, qsizetype capacity,
                 unsigned flags)
{
    sqlite3 *handle = sqliteHandle(db);
    if (const int rc = sqlite3_deserialize(handle, "main", bytes, size, capacity, flags);
        rc != SQLITE_OK)
        throw sqliteFailure(handle, rc, QStringLiteral("同步快照没有打开"));
}

} // namespace

bool Snapshot::carriesRowsOf(const QString &table)
{
    return Schema::hasSyncId(table) || Sharing::settingsTables().contains(table);
}

Snapshot::Snapshot() = default;
Snapshot::Snapshot(Snapshot &&) noexcept = default;
Snapshot::~Snapshot() = default;

void Snapshot::image(const QString &computer, qint64 sequence,
                     const std::map<QString, qint64> &applied,
                     const std::function<void(QByteArrayView)> &use)
{
    QStringList names, shares;
    for (QSqlQuery q =
             Sql(QStringLiteral("select BName, ShareID from SyncShare order by ID")).exec();
         q.next();) {
        names << q.value(0).toString();
        shares << q.value(1).toString();
    }
    const QString liveFile = Connection::current().databaseName();
    FileDatabase file(Memory, FileDatabase::ReadWrite);
    const QSqlDatabase db = file.database();
    deserialize(db, nullptr, 0, 0, SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
    Schema::create(db);

    // The rows, read from the data file in one read transaction (deferred, so
    // that it waits for no writer: this thread's own may hold the write lock).
    Sql(QStringLiteral("ATTACH DATABASE ? AS live"), {liveFile}).exec(db);
    Sql(QStringLiteral("BEGIN")).exec(db);
    const QString books = placeholders(names.size());
    QVariantList bound;
    for (const QString &name : names)
        bound << name;
    for (const Schema::Table &t : Schema::tables()) {
        const QString table = QLatin1String(t.name);
        if (!carriesRowsOf(table) && table != QLatin1String("SBook"))
            continue;
        Sql(QStringLiteral("insert into main.%1 (%2) select %2 from live.%1%3")
                .arg(table, columnsOf(t), ofBooks(table, QStringLiteral("live."), books)),
            table == QLatin1String("SFamily") ? QVariantList() : bound)
            .exec(db);
    }
    // The version of each row here: a change that reaches the computer joining
    // from it later is weighed against the same version as here.
    Sql(QStringLiteral("insert into main.SyncClock (Identity, HLC) select Identity, HLC from "
                       "live.SyncClock"))
        .exec(db);
    Sql(QStringLiteral("COMMIT")).exec(db);
    Sql(QStringLiteral("DETACH DATABASE live")).exec(db);

    // What is derived, derived from those rows; which books they are, and how far.
    Transaction transaction(db);
    MonthTotals::rebuild(db);
    for (int i = 0; i < names.size(); ++i) {
        Ledger::deriveBalances(names[i], db);
        Sql(QStringLiteral("insert into SyncShare (BName, ShareID) values (?, ?)"),
            {names[i], shares[i]})
            .exec(db);
    }
    std::map<QString, qint64> held = applied;
    held[computer] = sequence;
    for (const auto &[other, seq] : held)
        Sql(QStringLiteral("insert into SyncApplied (Computer, Seq) values (?, ?)"), {other, seq})
            .exec(db);
    transaction.commit();

    sqlite3_int64 size = 0;
    const unsigned char *bytes =
        sqlite3_serialize(sqliteHandle(db), "main", &size, SQLITE_SERIALIZE_NOCOPY);
    if (!bytes)
        throw DbError(QStringLiteral("同步快照没有写成：内存不足。"));
    use(QByteArrayView(reinterpret_cast<const char *>(bytes), qsizetype(size)));
}

Snapshot Snapshot::newest(const Folder &folder)
{
    const std::optional<Folder::Listed> latest = folder.latestSnapshot();
    if (!latest)
        throw SyncError(QStringLiteral("同步文件夹 %1 里还没有共享的帐簿。")
                            .arg(QDir::toNativeSeparators(folder.path())));
    const QString named = QDir::toNativeSeparators(latest->path) + QStringLiteral("：");
    Folder::Read read = folder.readSnapshot(*latest);
    if (!read.ok())
        throw SyncError(named + read.refusal);
    Snapshot snapshot;
    if (read.layout == 1) {
        snapshot.m_json = QJsonDocument::fromJson(read.payload).object();
        if (snapshot.m_json.value(QStringLiteral("layout")).toInt() != JsonLayout)
            throw SyncError(named + Reason::Newer);
        return snapshot;
    }
    // Written in place: the buffer has a little room for what joining adds.
    snapshot.m_bytes = std::move(read.payload);
    snapshot.m_image = std::make_unique<FileDatabase>(Memory, FileDatabase::ReadWrite);
    const QSqlDatabase db = snapshot.m_image->database();
    deserialize(db, reinterpret_cast<unsigned char *>(snapshot.m_bytes.data()),
                snapshot.m_bytes.size(), snapshot.m_bytes.capacity(), 0);
    if (const QString reason = Schema::checkOwnDatabase(db, false); !reason.isEmpty())
        throw SyncError(named + reason);
    if (Schema::version(db) > Schema::UserVersion)
        throw SyncError(named + Reason::Newer);
    return snapshot;
}

QList<Snapshot::Book> Snapshot::books() const
{
    QList<Book> books;
    if (!m_image) {
        for (const QJsonValue &value : m_json.value(QStringLiteral("books")).toArray()) {
            const QJsonObject book = value.toObject();
            const auto text = [&](const char *key) {
                return book.value(QLatin1String(key)).toString();
            };
            books.append(
                {text("name"), text("share"), text("password"), text("made"), text("remark")});
        }
        return books;
    }
    for (QSqlQuery q = Sql(QStringLiteral("select s.BName, s.ShareID, b.BPass, b.BDate, "
                                          "b.Remark from SyncShare s join SBook b on "
                                          "b.BName=s.BName order by s.ID"))
                           .exec(database());
         q.next();)
        books.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                      q.value(3).toString(), q.value(4).toString()});
    return books;
}

std::map<QString, qint64> Snapshot::applied() const
{
    std::map<QString, qint64> applied;
    if (!m_image) {
        const QJsonObject others = m_json.value(QStringLiteral("applied")).toObject();
        for (auto it = others.constBegin(); it != others.constEnd(); ++it)
            applied[it.key()] = it->toString().toLongLong();
        applied[m_json.value(QStringLiteral("computer")).toString()] =
            m_json.value(QStringLiteral("sequence")).toString().toLongLong();
        return applied;
    }
    for (QSqlQuery q =
             Sql(QStringLiteral("select Computer, Seq from SyncApplied")).exec(database());
         q.next();)
        applied[q.value(0).toString()] = q.value(1).toLongLong();
    return applied;
}

void Snapshot::forEachRow(const QString &table, const QString &book,
                          const std::function<void(QVariantMap)> &use) const
{
    if (!m_image) {
        for (const QJsonValue &value : m_json.value(QStringLiteral("books")).toArray()) {
            const QJsonObject shared = value.toObject();
            if (shared.value(QStringLiteral("name")).toString() != book)
                continue;
            const QJsonArray rows =
                shared.value(QStringLiteral("tables")).toObject().value(table).toArray();
            for (const QJsonValue &row : rows)
                use(rowFromJson(row.toObject()));
        }
        return;
    }
    const QSqlDatabase db = database();
    const Ledger::FollowUpKind *followUp = Ledger::followUpKind(table);
    QString select = QStringLiteral("select t.*");
    if (followUp)
        select += QStringLiteral(", (select SyncID from %1 where ID=t.%2) as \"%3\"")
                      .arg(QLatin1String(followUp->entry->table), QLatin1String(followUp->entryKey),
                           parentMark());
    for (QSqlQuery q =
             Sql(select + QStringLiteral(" from %1 t%2 order by t.ID")
                              .arg(table, ofBooks(table, QString(), QStringLiteral("(?)"))),
                 table == QLatin1String("SFamily") ? QVariantList() : QVariantList{book})
                 .exec(db);
         q.next();) {
        QVariantMap row = Rows::current(q);
        for (const KeyReference &ref : KeyReferences) {
            const QString column = QLatin1String(ref.column);
            if (table.compare(QLatin1String(ref.table), Qt::CaseInsensitive) != 0 ||
                row.value(column).isNull())
                continue;
            const QString target = targetOf(ref, row, db);
            QSqlQuery named = Sql(QStringLiteral("select SyncID from %1 where ID=?").arg(target),
                                  {row.value(column)})
                                  .exec(db);
            if (!target.isEmpty() && named.next())
                row[mark(column)] = target + QLatin1Char(':') + named.value(0).toString();
            else
                row[mark(column)] = QString(); // names a row that is not there
        }
        row.remove(QStringLiteral("ID"));
        row.remove(QStringLiteral("BName"));
        use(std::move(row));
    }
}

QSqlDatabase Snapshot::database() const
{
    return m_image ? m_image->database() : QSqlDatabase();
}

} // namespace Sync
