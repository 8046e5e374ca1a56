#include "core/bills/ZipArchive.h"

#include "core/bills/Bill.h"

#include <QStringDecoder>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <zip.h>

namespace {

// Member names are UTF-8 when the archive says so, else in the system's code page of
// whoever made it: GBK for archives made in China.
QString decodedName(const char *raw)
{
    const QByteArray bytes(raw);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString name = utf8(bytes);
    if (!utf8.hasError())
        return name;
    QStringDecoder gbk("GB18030");
    return gbk(bytes);
}

QString damagedMessage(const QString &file)
{
    return QStringLiteral("文件“%1”不是完整的 ZIP 压缩包（可能没有下载完或已损坏）。").arg(file);
}

} // namespace

bool ZipArchive::looksLikeZip(const QByteArray &bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

ZipArchive::ZipArchive(const QByteArray &bytes, const QString &shownName)
    : m_bytes(bytes), m_shownName(shownName)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(m_bytes.constData(), m_bytes.size(), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    zip_error_fini(&error);
    if (!m_zip) {
        zip_source_free(source);
        throw Bills::Error(damagedMessage(shownName));
    }
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (raw && !QByteArray(raw).endsWith('/'))
            m_names << decodedName(raw);
        else
            m_names << QString(); // a folder: keeps the indexes in step
    }
}

ZipArchive::~ZipArchive()
{
    if (m_zip)
        zip_discard(m_zip);
}

bool ZipArchive::isEncrypted(const QString &name) const
{
    const qsizetype index = m_names.indexOf(name);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index < 0 || zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) != 0)
        return false;
    return (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
}

QByteArray ZipArchive::read(const QString &name, const QString &password) const
{
    const qsizetype index = name.isEmpty() ? -1 : m_names.indexOf(name);
    if (index < 0)
        throw Bills::Error(damagedMessage(m_shownName));
    const bool encrypted = isEncrypted(name);
    if (encrypted && password.isEmpty())
        throw Bills::PasswordError(
            QStringLiteral("压缩包“%1”有密码，请输入解压密码（在支付宝或微信中申请帐单时显示）。")
                .arg(m_shownName),
            false);
    const QString wrong = QStringLiteral("压缩包“%1”的解压密码不对，请重新输入。").arg(m_shownName);
    const QByteArray pw = password.toUtf8();
    zip_file_t *file = zip_fopen_index_encrypted(m_zip, zip_uint64_t(index), 0,
                                                 encrypted ? pw.constData() : nullptr);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(m_zip));
        if (code == ZIP_ER_WRONGPASSWD)
            throw Bills::PasswordError(wrong, true);
        if (code == ZIP_ER_ENCRNOTSUPP)
            throw Bills::Error(
                QStringLiteral("压缩包“%1”的加密方式本程序不能解开。").arg(m_shownName));
        throw Bills::Error(damagedMessage(m_shownName));
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat);
    // Never more than the archive's members may hold together, nor more than the
    // member says it holds: a few MB of an archive can inflate to many GB.
    const qint64 room = Bills::MaxFileBytes - m_inflated;
    const bool sized = stat.valid & ZIP_STAT_SIZE;
    const QString member = QStringLiteral("压缩包“%1”中的“%2”解压后").arg(m_shownName, name);
    if (sized && stat.size > quint64(room)) {
        zip_fclose(file);
        throw Bills::Error(Bills::tooLargeMessage(member, qint64(stat.size)));
    }
    QByteArray out;
    if (sized)
        out.reserve(qsizetype(stat.size));
    const Reading reading = readAll(file, sized ? qint64(stat.size) : room, &out);
    if (reading.tooMuch && !sized)
        throw Bills::Error(Bills::tooLargeMessage(member, Bills::MaxFileBytes));
    if (reading.tooMuch)
        throw Bills::Error(damagedMessage(m_shownName));
    m_inflated += out.size();
    if (reading.error == ZIP_ER_OK)
        return out;
    const zip_uint16_t method =
        stat.valid & ZIP_STAT_ENCRYPTION_METHOD ? stat.encryption_method : ZIP_EM_NONE;
    // WinZip's AE-2 (as 7-Zip and WinZip write AES) stores no CRC, but libzip 1.7
    // checks it: there the authentication code is the check.
    const bool aes =
        method == ZIP_EM_AES_128 || method == ZIP_EM_AES_192 || method == ZIP_EM_AES_256;
    if (aes && reading.error == ZIP_ER_CRC && (stat.valid & ZIP_STAT_CRC) && stat.crc == 0 &&
        sized && out.size() == qint64(stat.size) && authenticates(index, pw, method))
        return out;
    // The traditional method checks a password by one byte only: a wrong one that
    // passes gives garbage, which inflating or the checksum then refuses. Anything
    // else is a damaged archive, never a wrong password.
    if (method == ZIP_EM_TRAD_PKWARE &&
        (reading.error == ZIP_ER_CRC || reading.error == ZIP_ER_ZLIB))
        throw Bills::PasswordError(wrong, true);
    throw Bills::Error(damagedMessage(m_shownName));
}

ZipArchive::Reading ZipArchive::readAll(zip_file_t *file, qint64 limit, QByteArray *out)
{
    Reading reading;
    char buffer[65536];
    zip_int64_t got = 0;
    while ((got = zip_fread(file, buffer, sizeof buffer)) > 0 && out->size() + got <= limit)
        out->append(buffer, qsizetype(got));
    reading.tooMuch = got > 0;
    if (got < 0)
        reading.error = zip_error_code_zip(zip_file_get_error(file));
    zip_fclose(file);
    return reading;
}

bool ZipArchive::authenticates(qsizetype index, const QByteArray &password,
                               zip_uint16_t method) const
{
    // The member as stored: the salt, two bytes that check the password, the
    // encrypted data and the first 10 bytes of its HMAC-SHA1.
    const int keyBytes = method == ZIP_EM_AES_128 ? 16 : method == ZIP_EM_AES_192 ? 24 : 32;
    const int saltBytes = keyBytes / 2;
    constexpr int VerifierBytes = 2, MacBytes = 10, Rounds = 1000;
    zip_stat_t stat;
    zip_stat_init(&stat);
    zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat);
    zip_file_t *file = zip_fopen_index(m_zip, zip_uint64_t(index), ZIP_FL_ENCRYPTED);
    if (!file)
        return false;
    if (!(stat.valid & ZIP_STAT_COMP_SIZE) || stat.comp_size > quint64(Bills::MaxFileBytes)) {
        zip_fclose(file);
        return false;
    }
    QByteArray raw;
    raw.reserve(qsizetype(stat.comp_size));
    readAll(file, qint64(stat.comp_size), &raw); // a stored member's ends with a CRC error
    if (raw.size() != qint64(stat.comp_size) || raw.size() < saltBytes + VerifierBytes + MacBytes)
        return false;
    // The keys: PBKDF2-HMAC-SHA1 of the password and the salt.
    unsigned char keys[2 * 32 + VerifierBytes];
    const auto *stored = reinterpret_cast<const unsigned char *>(raw.constData());
    if (PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()), stored, saltBytes,
                               Rounds, 2 * keyBytes + VerifierBytes, keys) != 1 ||
        CRYPTO_memcmp(keys + 2 * keyBytes, stored + saltBytes, VerifierBytes) != 0)
        return false;
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macSize = 0;
    const qsizetype dataBytes = raw.size() - saltBytes - VerifierBytes - MacBytes;
    return HMAC(EVP_sha1(), keys + keyBytes, keyBytes, stored + saltBytes + VerifierBytes,
                std::size_t(dataBytes), mac, &macSize) &&
           CRYPTO_memcmp(mac, stored + raw.size() - MacBytes, MacBytes) == 0;
}
