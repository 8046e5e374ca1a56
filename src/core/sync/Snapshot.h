#pragma once

#include "core/sync/ChangeFiles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>

class FileDatabase;

namespace Sync {

// A snapshot of the shared books, written now and then by a computer so that one
// joining later starts from it instead of replaying years of change files.
//
// This version writes a database image: a data file of this program holding the
// shared books' rows as they stand (and every member), their balances and kept
// totals derived from those rows, the version of each row (SyncClock), which
// books they are (SyncShare) and what it holds of each computer's change files
// (SyncApplied). A computer that holds no
// data yet takes it whole, as a restore takes a backup. Snapshots of the version
// before, the same rows as JSON, are read still.
class Snapshot
{
public:
    struct Book
    {
        QString name, share, password, made, remark;
    };

    // The image of this data folder's shared books, taken after this computer's
    // change file `sequence`, having applied `applied` of the others': handed to
    // `use` where it lies, valid during the call. Throws DbError.
    static void image(const QString &computer, qint64 sequence,
                      const std::map<QString, qint64> &applied,
                      const std::function<void(QByteArrayView)> &use);

    // The newest snapshot of the folder, read and checked. Throws SyncError naming it.
    static Snapshot newest(const Folder &folder);

    Snapshot(Snapshot &&) noexcept;
    ~Snapshot();

    // Whether a snapshot carries a shared book's rows of `table` (beside the books
    // themselves): those that travel.
    static bool carriesRowsOf(const QString &table);

    QList<Book> books() const;
    // What it holds of each computer's change files: up to which, by computer.
    std::map<QString, qint64> applied() const;
    // Hands `use` each row of `table` of the shared book `book` as it travels: no
    // key of the writer's file and no book name; a follow-up names its entry
    // (marked "parent") by its identity, a row beside the entries the rows it
    // names (marked as the column) as "<table>:<identity>".
    void forEachRow(const QString &table, const QString &book,
                    const std::function<void(QVariantMap)> &use) const;
    // The image, to take whole and to write into first; invalid for a snapshot of
    // the version before.
    QSqlDatabase database() const;

    // The name under which a row carries the identity of a row it names.
    static QString mark(const QString &column) { return QLatin1Char('@') + column; }
    static QString parentMark() { return mark(QStringLiteral("parent")); }

private:
    Snapshot();

    QJsonObject m_json;
    QByteArray m_bytes; // the image, where its database lies: it outlives the connection
    std::unique_ptr<FileDatabase> m_image;
};

} // namespace Sync
