#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

typedef struct zip zip_t;
typedef struct zip_file zip_file_t;

// A ZIP archive read from memory with libzip: the bills the apps mail (their
// members encrypted with the traditional method or AES, one password for all) and
// the container of an XLSX workbook. Failures throw Bills::Error naming the file.
class ZipArchive
{
public:
    // The first bytes of every ZIP archive (and so of every XLSX file).
    static bool looksLikeZip(const QByteArray &bytes);

    // `shownName` names the archive in messages. Throws when it is no ZIP archive or
    // is damaged.
    ZipArchive(const QByteArray &bytes, const QString &shownName);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // The files it holds (folders left out), names decoded from UTF-8 or GBK.
    QStringList names() const { return m_names; }
    bool contains(const QString &name) const { return m_names.contains(name); }
    bool isEncrypted(const QString &name) const;
    // A member's bytes. An encrypted member needs the password: without one, or with
    // a wrong one, PasswordError is thrown.
    QByteArray read(const QString &name, const QString &password = {}) const;

private:
    // How reading a member ended: a libzip error, or more than it may hold.
    struct Reading
    {
        int error = 0;
        bool tooMuch = false;
    };
    // Reads the open member to its end, `limit` bytes at most, and closes it.
    static Reading readAll(zip_file_t *file, qint64 limit, QByteArray *out);
    // Whether the AES member's authentication code holds for the password.
    bool authenticates(qsizetype index, const QByteArray &password, std::uint16_t method) const;

    QByteArray m_bytes; // libzip reads from it while the archive is open
    QString m_shownName;
    mutable qint64 m_inflated = 0; // what its members gave so far
    zip_t *m_zip = nullptr;
    QStringList m_names;
};
