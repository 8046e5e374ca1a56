#include "core/books/Password.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QStringList>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace Password {
namespace {

const QString Scheme = QStringLiteral("pbkdf2-sha256");
constexpr int SaltBytes = 16;
constexpr int KeyBytes = 32;
constexpr int MaxIterations = 100000000; // refuses absurd counts in a tampered file

int g_iterations = DefaultIterations;

// Only A-Z fold; every other character is hashed as typed.
QByteArray foldedUtf8(const QString &password)
{
    QString folded = password;
    for (QChar &c : folded)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return folded.toUtf8();
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
    const QByteArray secret = foldedUtf8(password);
    QByteArray key(KeyBytes, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC(secret.constData(), int(secret.size()),
                          reinterpret_cast<const unsigned char *>(salt.constData()),
                          int(salt.size()), iterations, EVP_sha256(), KeyBytes,
                          reinterpret_cast<unsigned char *>(key.data())) != 1)
        return {};
    return key;
}

QByteArray randomSalt()
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    return salt;
}

} // namespace

QString hash(const QString &password)
{
    const QByteArray salt = randomSalt();
    const QByteArray key = derive(password, salt, g_iterations);
    return QStringList{Scheme, QString::number(g_iterations), QString::fromLatin1(salt.toBase64()),
                       QString::fromLatin1(key.toBase64())}
        .join(QLatin1Char('$'));
}

bool verify(const QString &password, const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != Scheme)
        return false;
    bool ok = false;
    const int count = parts[1].toInt(&ok);
    if (!ok || count < 1 || count > MaxIterations)
        return false;
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    const auto expected = QByteArray::fromBase64Encoding(parts[3].toLatin1(),
                                                         QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !expected || expected.decoded.size() != KeyBytes)
        return false;
    const QByteArray key = derive(password, salt.decoded, count);
    return key.size() == KeyBytes &&
           CRYPTO_memcmp(key.constData(), expected.decoded.constData(), KeyBytes) == 0;
}

void setIterations(int iterations)
{
    g_iterations = qBound(1, iterations, MaxIterations);
}

int iterations()
{
    return g_iterations;
}

} // namespace Password
