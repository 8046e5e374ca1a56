#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <stdexcept>

// The household sync folder: a folder that a sync service keeps the same on every
// computer of the household. Each computer writes its own actions there as change
// files, `<computer>/<sequence>`, and reads the other computers' files; now and then
// one writes a snapshot of the shared books, `snapshots/<computer>-<sequence>`.
//
// Every file is compressed, then sealed with AES-256-GCM under a key derived from
// the household password (scrypt, salt and parameters in qinghebu-sync.json), so the
// sync service learns nothing of the household's money and a damaged, truncated or
// altered file is never taken for a good one. A file is written under a temporary
// name beginning with "." and renamed when complete, and never rewritten: no sync
// service ever sees a half-written file or two writers of one file.
//
// The layout of a file, byte by byte (integers big-endian):
//   0  8  "QHBSYNC1"
//   8  2  layout (Layout); these first ten bytes keep their meaning in every layout
//  10  1  'C' a change file, 'S' a snapshot
//  11  8  sequence
//  19  8  when it was written, ms since 1970 UTC by the writer's clock
//  27  1  n, the length of the computer's name in UTF-8
//  28  n  the computer's name (UTF-8, NFC)
//  28+n 12 nonce
//  40+n .. the payload compressed, encrypted: layout 1 with qCompress (4-byte
//          length + zlib), layout 2 with zstd (one frame that says its size)
//  end-16 16 the GCM tag
// The first 28+n bytes are authenticated with the payload.
namespace Sync {

// A failure of the sync folder that stops the work: the message names the folder or
// the file, in Chinese.
class SyncError : public std::runtime_error
{
public:
    explicit SyncError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

// The layout of the files this program writes; it reads every layout up to this one.
// Layout 1 compressed with zlib; layout 2 with zstd, which uncompresses a snapshot's
// database image several times faster, and its change files give each row the
// version it changed, which a program of layout 1 would not heed: it keeps them
// until it is updated.
constexpr int Layout = 2;

// A payload, change or snapshot, may hold this much at most (1 GiB): writing more
// throws. Writing holds the payload and its compressed copy in memory, reading the
// file (decrypted where it lies) and the payload: never more than two copies.
constexpr qint64 MaxPayloadBytes = qint64(1) << 30;

// Why a file was not applied, as the sync window shows it.
namespace Reason {
inline const QString ConflictedCopy = QStringLiteral("同步服务的冲突副本，没有应用");
inline const QString NotSyncFile = QStringLiteral("不是同步文件，没有应用");
inline const QString Damaged = QStringLiteral("文件不完整或已被改动，没有应用");
inline const QString Misplaced = QStringLiteral("文件名与文件内容不符（被复制或改名），没有应用");
inline const QString Newer = QStringLiteral("由更新版本的青禾簿写出，请先更新本程序");
} // namespace Reason

// One household sync folder, opened with its password. Copies share the key; every
// member is const and may run on any thread.
class Folder
{
public:
    // The key derivation of new folders: scrypt with N = 2^16, r = 8, p = 1 (64 MiB,
    // about 0.15 s), which makes guessing household passwords costly even on
    // graphics cards. A folder keeps its own parameters in qinghebu-sync.json. The
    // password is taken in Unicode form NFC, so every system's input gives one key.
    static constexpr quint64 ScryptN = quint64(1) << 16;
    static constexpr quint64 ScryptR = 8;
    static constexpr quint64 ScryptP = 1;
    static constexpr int MinPasswordLength = 6;
    // Computer names become folder names on every system of the household.
    static constexpr int MaxComputerNameLength = 40;

    // Makes `path` (made when missing) a household sync folder with this password.
    // Throws when it already is one, when the password is too short, or when the
    // folder cannot be written.
    static Folder create(const QString &path, const QString &password);
    // Opens a household sync folder. Throws when it is none of ours or the password
    // is wrong. The key is derived here, once.
    static Folder open(const QString &path, const QString &password);

    QString path() const { return m_path; }

    // The key, for a computer to keep in its own data file once it has joined (so
    // that exchanges need not ask for the password), and the folder opened with it.
    QByteArray key() const;
    static Folder withKey(const QString &path, const QByteArray &key);
    // Throws SyncError when the name cannot be a computer's folder on every system.
    static void checkComputerName(const QString &computer);

    // Writes `<path>/<computer>/<sequence, 10 digits>`. Throws when the computer's
    // name cannot be a folder name, when that file exists already (one sequence is
    // written once) or when it cannot be written.
    void write(const QString &computer, qint64 sequence, const QByteArray &payload) const;

    struct Listed
    {
        QString computer;
        qint64 sequence = 0;
        QString path;
    };
    struct Refused
    {
        QString path;
        QString reason;
    };
    struct Scan
    {
        QList<Listed> files;
        QList<Refused> refused;
    };
    // Every computer's complete change files, by computer then sequence. Temporary
    // files (a leading ".") are left out silently; other names that are no change
    // file's, here or among the snapshots, are refused with the reason.
    Scan scan() const;
    // Where the computer's change file of that sequence is (written or not).
    Listed changeFile(const QString &computer, qint64 sequence) const;

    struct Read
    {
        QByteArray payload;
        int layout = 0;
        QString refusal;    // one of Reason
        bool newer = false; // written by a newer layout: keep it, do not apply
        QDateTime written;  // by the writer's clock, when the header could be read
        bool ok() const { return refusal.isEmpty(); }
    };
    // Checks, authenticates, decrypts and uncompresses a change file. A bad file is
    // refused with the reason, never thrown; throws only when the file cannot be
    // read at all.
    Read read(const Listed &file) const;

    // Writes `<path>/snapshots/<computer>-<sequence, 10 digits>`, sealed the same way.
    void writeSnapshot(const QString &computer, qint64 sequence, QByteArrayView payload) const;
    // Every well-named snapshot, by computer then sequence.
    QList<Listed> snapshots() const;
    // The snapshot written last: the latest time written its header records, the
    // higher sequence when two are equal. Only headers are read here; readSnapshot
    // authenticates. None when the folder holds no snapshot with a readable header.
    std::optional<Listed> latestSnapshot() const;
    Read readSnapshot(const Listed &snapshot) const;

    // Removes the computer's change files with a sequence up to `sequence`, and
    // its snapshots taken before `sequence`.
    void removeUpTo(const QString &computer, qint64 sequence) const;

    struct Key;

private:
    Folder(QString path, std::shared_ptr<const Key> key);

    QString changeFolder(const QString &computer) const;
    QString snapshotFolder() const;
    void writeSealed(char kind, const QString &computer, qint64 sequence,
                     QByteArrayView payload) const;
    Read readSealed(char kind, const Listed &file) const;

    QString m_path;
    std::shared_ptr<const Key> m_key; // wiped when the last copy of the folder goes
};

} // namespace Sync
