#include "core/sync/ChangeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <unistd.h>
#include <zstd.h>

namespace Sync {

struct Folder::Key
{
    static constexpr int Bytes = 32;
    unsigned char bytes[Bytes] = {};
    ~Key() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

namespace {

const QByteArray Magic = QByteArrayLiteral("QHBSYNC1");
constexpr char ChangeKind = 'C';
constexpr char SnapshotKind = 'S';
constexpr qsizetype FixedHeaderBytes = 28; // up to the computer's name
constexpr qsizetype NonceBytes = 12;
constexpr qsizetype TagBytes = 16;
constexpr qsizetype SequenceDigits = 10;
constexpr qint64 MaxSequence = 9999999999;
// qCompress and zstd add at most this much to what they compress; a sealed file is
// never larger than its header, nonce, tag and this.
constexpr qint64 MaxSealedBytes = MaxPayloadBytes + MaxPayloadBytes / 100 + 4096;
// zstd's default level: on a book's database image a third of the size, made at
// some 300 MB/s.
constexpr int ZstdLevel = 3;
constexpr qsizetype ImageRoom = 256 * 1024;
constexpr qsizetype CipherChunk = 1 << 20;

const QString SettingsFileName = QStringLiteral("qinghebu-sync.json");
const QString SnapshotFolderName = QStringLiteral("snapshots");
const QString FormatTag = QStringLiteral("qinghebu-household-sync");
constexpr int SettingsVersion = 1;
constexpr qint64 MaxSettingsBytes = 64 * 1024;
constexpr int SaltBytes = 16;
// What the key check seals: opening it proves the password right.
const QByteArray KeyCheckText = QByteArrayLiteral("青禾簿家庭同步");
const QByteArray KeyCheckLabel = QByteArrayLiteral("QHBSYNC1 key check");

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString nfc(const QString &text)
{
    return text.normalized(QString::NormalizationForm_C);
}

const unsigned char *bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char *>(view.data());
}

// --- Names ---------------------------------------------------------------------

QString sequenceName(qint64 sequence)
{
    return QStringLiteral("%1").arg(sequence, SequenceDigits, 10, QLatin1Char('0'));
}

std::optional<qint64> sequenceOf(QStringView name)
{
    if (name.size() != SequenceDigits)
        return std::nullopt;
    for (QChar c : name)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return name.toLongLong();
}

bool isReservedOnWindows(const QString &name)
{
    static const QRegularExpression reserved(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return reserved.match(name).hasMatch();
}

// Why the name cannot be a computer's folder on every system of the household;
// empty when it can.
QString whyNotAFolderName(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("名称是空的");
    if (name.toUcs4().size() > Folder::MaxComputerNameLength)
        return QStringLiteral("名称长于 %1 个字符").arg(Folder::MaxComputerNameLength);
    if (name.startsWith(QLatin1Char('.')))
        return QStringLiteral("名称不能以“.”开头");
    if (name != name.trimmed() || name.endsWith(QLatin1Char('.')))
        return QStringLiteral("名称不能以空格或“.”结尾");
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("名称不能含控制字符");
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            return QStringLiteral("名称不能含“%1”").arg(c);
    }
    if (isReservedOnWindows(name))
        return QStringLiteral("这是 Windows 保留的名称");
    if (name == SnapshotFolderName)
        return QStringLiteral("这个名称留给快照文件夹");
    return {};
}

void requireFolderName(const QString &computer)
{
    const QString why = whyNotAFolderName(computer);
    if (!why.isEmpty())
        throw SyncError(QStringLiteral("计算机名称“%1”不能用作同步文件夹中的文件夹名：%2。")
                            .arg(computer, why));
}

void requireSequence(qint64 sequence)
{
    if (sequence < 0 || sequence > MaxSequence)
        throw SyncError(QStringLiteral("同步文件的序号 %1 超出范围（0 到 %2）。")
                            .arg(sequence)
                            .arg(MaxSequence));
}

QString snapshotName(const QString &computer, qint64 sequence)
{
    return computer + QLatin1Char('-') + sequenceName(sequence);
}

// A change file `<computer>/<sequence>`, from where it lies.
std::optional<Folder::Listed> listedChange(const QFileInfo &info)
{
    const auto sequence = sequenceOf(info.fileName());
    if (!sequence)
        return std::nullopt;
    return Folder::Listed{nfc(info.dir().dirName()), *sequence, info.filePath()};
}

// A snapshot `snapshots/<computer>-<sequence>`, from where it lies.
std::optional<Folder::Listed> listedSnapshot(const QFileInfo &info)
{
    const QString name = info.fileName();
    const qsizetype dash = name.size() - SequenceDigits - 1;
    if (dash < 1 || name.at(dash) != QLatin1Char('-'))
        return std::nullopt;
    const QString computer = nfc(name.left(dash));
    const auto sequence = sequenceOf(QStringView(name).mid(dash + 1));
    if (!sequence || !whyNotAFolderName(computer).isEmpty())
        return std::nullopt;
    return Folder::Listed{computer, *sequence, info.filePath()};
}

// Names the sync services give the copies they make when two computers changed a
// file at once: Syncthing, Nextcloud and ownCloud, Dropbox, OneDrive, 坚果云.
bool looksLikeConflictedCopy(const QString &name)
{
    static const QStringList marks = {QStringLiteral(".sync-conflict-"),
                                      QStringLiteral("conflicted copy"),
                                      QStringLiteral("_conflict"), QStringLiteral("冲突")};
    for (const QString &mark : marks)
        if (name.contains(mark, Qt::CaseInsensitive))
            return true;
    // "0000000007 (1)", "0000000007(2)"; OneDrive's "0000000007-LAPTOP".
    static const QRegularExpression numbered(QStringLiteral("\\(\\d+\\)"));
    static const QRegularExpression changeFileAndMore(QStringLiteral("^\\d{10}\\D"));
    return numbered.match(name).hasMatch() || changeFileAndMore.match(name).hasMatch();
}

// Files the systems themselves leave in folders they show.
bool isSystemLitter(const QString &name)
{
    return name.compare(QLatin1String("desktop.ini"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Thumbs.db"), Qt::CaseInsensitive) == 0;
}

// Sorts the files of one folder into the listed and the refused; temporary files
// and the systems' litter are passed over.
void sortOut(const QString &folder,
             const std::function<std::optional<Folder::Listed>(const QFileInfo &)> &listed,
             Folder::Scan &into)
{
    const auto entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &info : entries) {
        const QString name = info.fileName();
        if (name.startsWith(QLatin1Char('.')) || isSystemLitter(name))
            continue;
        if (const auto file = listed(info))
            into.files << *file;
        else
            into.refused << Folder::Refused{info.filePath(), looksLikeConflictedCopy(name)
                                                                 ? Reason::ConflictedCopy
                                                                 : Reason::NotSyncFile};
    }
}

void sortByComputerAndSequence(QList<Folder::Listed> &files)
{
    std::sort(files.begin(), files.end(), [](const Folder::Listed &a, const Folder::Listed &b) {
        return a.computer != b.computer ? a.computer < b.computer : a.sequence < b.sequence;
    });
}

// --- Header --------------------------------------------------------------------

struct Header
{
    int layout = 0;
    char kind = 0;
    qint64 sequence = 0;
    qint64 writtenMs = 0;
    QString computer;
    qsizetype size = 0; // its bytes in the file
};

template <typename T> void appendBigEndian(QByteArray &bytes, T value)
{
    char raw[sizeof(T)];
    qToBigEndian(value, raw);
    bytes.append(raw, sizeof raw);
}

template <typename T> T bigEndianAt(QByteArrayView bytes, qsizetype offset)
{
    return qFromBigEndian<T>(bytes.data() + offset);
}

QByteArray headerBytes(const Header &header)
{
    const QByteArray name = header.computer.toUtf8();
    QByteArray bytes = Magic;
    appendBigEndian<quint16>(bytes, quint16(header.layout));
    bytes.append(header.kind);
    appendBigEndian<qint64>(bytes, header.sequence);
    appendBigEndian<qint64>(bytes, header.writtenMs);
    bytes.append(char(quint8(name.size())));
    return bytes + name;
}

struct ParsedHeader
{
    Header header;
    QString refusal;
    bool newer = false;
};

// The header of a sealed file, not yet authenticated. The magic and the layout come
// first: a newer layout may lay out the rest otherwise.
ParsedHeader parseHeader(QByteArrayView bytes)
{
    ParsedHeader parsed;
    parsed.refusal = Reason::Damaged;
    if (bytes.size() < Magic.size() + 2 || !bytes.startsWith(Magic))
        return parsed;
    Header &header = parsed.header;
    header.layout = bigEndianAt<quint16>(bytes, Magic.size());
    if (header.layout > Layout) {
        parsed.newer = true;
        parsed.refusal = Reason::Newer;
        return parsed;
    }
    if (header.layout < 1 || bytes.size() < FixedHeaderBytes)
        return parsed;
    header.kind = bytes[10];
    header.sequence = bigEndianAt<qint64>(bytes, 11);
    header.writtenMs = bigEndianAt<qint64>(bytes, 19);
    const qsizetype nameBytes = quint8(bytes[27]);
    header.size = FixedHeaderBytes + nameBytes;
    if (bytes.size() < header.size + NonceBytes + TagBytes)
        return parsed;
    header.computer = nfc(QString::fromUtf8(bytes.sliced(FixedHeaderBytes, nameBytes)));
    parsed.refusal.clear();
    return parsed;
}

// --- Sealing -------------------------------------------------------------------

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherContext cipherContext()
{
    return CipherContext(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
}

using Sink = std::function<bool(const char *, qsizetype)>;

// AES-256-GCM: hands `put` a random nonce, `plain` encrypted a chunk at a time, and
// the tag that authenticates both it and `label` (the header). False when OpenSSL or
// `put` fails.
bool seal(const Folder::Key &key, QByteArrayView label, QByteArrayView plain, const Sink &put)
{
    unsigned char nonce[NonceBytes];
    const CipherContext context = cipherContext();
    int length = 0;
    if (!context || RAND_bytes(nonce, NonceBytes) != 1 ||
        EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.bytes, nonce) != 1 ||
        EVP_EncryptUpdate(context.get(), nullptr, &length, bytesOf(label), int(label.size())) !=
            1 ||
        !put(reinterpret_cast<const char *>(nonce), NonceBytes))
        return false;
    QByteArray buffer(CipherChunk, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(buffer.data());
    for (qsizetype done = 0; done < plain.size(); done += CipherChunk) {
        const QByteArrayView chunk = plain.sliced(done, std::min(CipherChunk, plain.size() - done));
        if (EVP_EncryptUpdate(context.get(), out, &length, bytesOf(chunk), int(chunk.size())) !=
                1 ||
            !put(buffer.constData(), length))
            return false;
    }
    unsigned char tag[TagBytes];
    return EVP_EncryptFinal_ex(context.get(), out, &length) == 1 &&
           put(buffer.constData(), length) &&
           EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, TagBytes, tag) == 1 &&
           put(reinterpret_cast<const char *>(tag), TagBytes);
}

QByteArray sealed(const Folder::Key &key, QByteArrayView label, QByteArrayView plain)
{
    QByteArray bytes;
    const bool done = seal(key, label, plain, [&bytes](const char *data, qsizetype size) {
        bytes.append(data, size);
        return true;
    });
    return done ? bytes : QByteArray();
}

// Authenticates and decrypts `nonce | ciphertext | tag` in place: on success the
// plain text stands where the ciphertext stood. False for a wrong key or any change.
bool openInPlace(const Folder::Key &key, QByteArrayView label, char *data, qsizetype size)
{
    if (size < NonceBytes + TagBytes)
        return false;
    auto *bytes = reinterpret_cast<unsigned char *>(data);
    const CipherContext context = cipherContext();
    int length = 0;
    if (!context ||
        EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.bytes, bytes) != 1 ||
        EVP_DecryptUpdate(context.get(), nullptr, &length, bytesOf(label), int(label.size())) != 1)
        return false;
    unsigned char *text = bytes + NonceBytes;
    const qsizetype textSize = size - NonceBytes - TagBytes;
    for (qsizetype done = 0; done < textSize; done += CipherChunk) {
        const int chunk = int(std::min(CipherChunk, textSize - done));
        if (EVP_DecryptUpdate(context.get(), text + done, &length, text + done, chunk) != 1)
            return false;
    }
    unsigned char *tag = text + textSize;
    return EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, TagBytes, tag) == 1 &&
           EVP_DecryptFinal_ex(context.get(), text + textSize, &length) == 1;
}

// What qCompress made of a payload, back; none when it is not whole.
std::optional<QByteArray> uncompressed(const char *data, qsizetype size)
{
    if (size < 4)
        return std::nullopt;
    const quint32 declared = qFromBigEndian<quint32>(data);
    if (declared > MaxPayloadBytes)
        return std::nullopt;
    QByteArray payload = qUncompress(reinterpret_cast<const uchar *>(data), size);
    if (payload.size() != qsizetype(declared))
        return std::nullopt;
    return payload;
}

QByteArray zstdCompressed(QByteArrayView payload)
{
    QByteArray compressed(qsizetype(ZSTD_compressBound(size_t(payload.size()))), Qt::Uninitialized);
    const size_t size = ZSTD_compress(compressed.data(), size_t(compressed.size()), payload.data(),
                                      size_t(payload.size()), ZstdLevel);
    if (ZSTD_isError(size))
        throw SyncError(QStringLiteral("同步文件没有写成：压缩失败（%1）。")
                            .arg(QString::fromLatin1(ZSTD_getErrorName(size))));
    compressed.truncate(qsizetype(size));
    return compressed;
}

// What zstdCompressed made, back; none when it is not one whole frame.
std::optional<QByteArray> zstdUncompressed(const char *data, qsizetype size)
{
    const unsigned long long declared = ZSTD_getFrameContentSize(data, size_t(size));
    if (declared == ZSTD_CONTENTSIZE_UNKNOWN || declared == ZSTD_CONTENTSIZE_ERROR ||
        declared > quint64(MaxPayloadBytes) ||
        ZSTD_findFrameCompressedSize(data, size_t(size)) != size_t(size))
        return std::nullopt;
    // A little room beyond: a snapshot's database image is opened where it lies,
    // and joining writes a few rows into it.
    QByteArray payload;
    payload.reserve(qsizetype(declared) + ImageRoom);
    payload.resize(qsizetype(declared));
    const size_t made = ZSTD_decompress(payload.data(), size_t(payload.size()), data, size_t(size));
    if (ZSTD_isError(made) || made != declared)
        return std::nullopt;
    return payload;
}

// --- Key derivation and the folder's settings ------------------------------------

// What qinghebu-sync.json holds.
struct Settings
{
    int version = SettingsVersion;
    quint64 n = Folder::ScryptN;
    quint64 r = Folder::ScryptR;
    quint64 p = Folder::ScryptP;
    QByteArray salt;
    QByteArray keyCheck;

    QByteArray toJson() const
    {
        const QJsonObject object{
            {QStringLiteral("format"), FormatTag},
            {QStringLiteral("version"), version},
            {QStringLiteral("kdf"), QStringLiteral("scrypt")},
            {QStringLiteral("n"), double(n)},
            {QStringLiteral("r"), double(r)},
            {QStringLiteral("p"), double(p)},
            {QStringLiteral("salt"), QString::fromLatin1(salt.toBase64())},
            {QStringLiteral("keyCheck"), QString::fromLatin1(keyCheck.toBase64())},
        };
        return QJsonDocument(object).toJson();
    }

    // Parameters a tampered file could use to make opening take all memory or time
    // are refused as not ours.
    bool plausible() const
    {
        const bool powerOfTwo = n >= 2 && (n & (n - 1)) == 0;
        return powerOfTwo && n <= (quint64(1) << 20) && r >= 1 && r <= 32 && p >= 1 && p <= 16 &&
               128 * n * r <= (quint64(1) << 30) && salt.size() >= SaltBytes &&
               keyCheck.size() > NonceBytes + TagBytes;
    }

    static std::optional<Settings> fromJson(const QByteArray &json)
    {
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        if (object.value(QStringLiteral("format")).toString() != FormatTag ||
            object.value(QStringLiteral("kdf")).toString() != QLatin1String("scrypt"))
            return std::nullopt;
        Settings settings;
        settings.version = object.value(QStringLiteral("version")).toInt();
        settings.n = quint64(object.value(QStringLiteral("n")).toDouble());
        settings.r = quint64(object.value(QStringLiteral("r")).toDouble());
        settings.p = quint64(object.value(QStringLiteral("p")).toDouble());
        settings.salt = base64(object.value(QStringLiteral("salt")).toString());
        settings.keyCheck = base64(object.value(QStringLiteral("keyCheck")).toString());
        if (settings.version < 1 || !settings.plausible())
            return std::nullopt;
        return settings;
    }

    static QByteArray base64(const QString &text)
    {
        const auto decoded = QByteArray::fromBase64Encoding(
            text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? decoded.decoded : QByteArray();
    }
};

std::shared_ptr<const Folder::Key> deriveKey(const QString &password, const Settings &settings)
{
    QByteArray secret = nfc(password).toUtf8();
    auto key = std::make_shared<Folder::Key>();
    const quint64 memory = 128 * settings.r * (settings.n + settings.p + 2) + (1 << 20);
    const int done =
        EVP_PBE_scrypt(secret.constData(), size_t(secret.size()), bytesOf(settings.salt),
                       size_t(settings.salt.size()), settings.n, settings.r, settings.p, memory,
                       key->bytes, Folder::Key::Bytes);
    OPENSSL_cleanse(secret.data(), size_t(secret.size()));
    if (done != 1)
        throw SyncError(QStringLiteral("不能由家庭同步密码算出密钥（内存不够？）。"));
    return key;
}

QByteArray randomSalt()
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), SaltBytes) != 1)
        throw SyncError(QStringLiteral("不能取得随机数，同步文件夹没有建立。"));
    return salt;
}

bool keyChecks(const Folder::Key &key, QByteArray check)
{
    return openInPlace(key, KeyCheckLabel, check.data(), check.size()) &&
           QByteArrayView(check).sliced(NonceBytes, check.size() - NonceBytes - TagBytes) ==
               KeyCheckText;
}

QString settingsPath(const QString &folder)
{
    return folder + QLatin1Char('/') + SettingsFileName;
}

// The folder as an absolute path; an empty path is no folder (it would be the
// working folder).
QString absoluteFolder(const QString &path)
{
    if (path.trimmed().isEmpty())
        throw SyncError(QStringLiteral("请选择同步文件夹。"));
    return QDir(path).absolutePath();
}

SyncError notOurs(const QString &folder)
{
    return SyncError(QStringLiteral("同步文件夹 %1 不是青禾簿的同步文件夹。").arg(shown(folder)));
}

// --- Writing -------------------------------------------------------------------

bool syncToDisk(QFile &file)
{
    return file.flush() && ::fsync(file.handle()) == 0;
}

// The rename into a folder lasts through a power cut only once the folder is synced.
void syncFolderToDisk(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString alreadyWritten(const QString &file)
{
    return QStringLiteral("文件 %1 已经写过，不能再写一次（程序错误）。").arg(shown(file));
}

QString cannotWrite(const QString &folder, const QString &why)
{
    return QStringLiteral("不能写入同步文件夹 %1：%2").arg(shown(folder), why);
}

// Writes `folder/name` through a temporary file beginning with "." that `fill` fills
// and that is synced to disk, then renamed: the name appears only complete and is
// never replaced. Throws naming the folder or the file.
void writeNewFile(const QString &folder, const QString &name,
                  const std::function<bool(QFile &)> &fill)
{
    const QString target = folder + QLatin1Char('/') + name;
    if (!QDir().mkpath(folder))
        throw SyncError(cannotWrite(folder, QStringLiteral("不能建立这个文件夹。")));
    if (QFileInfo::exists(target))
        throw SyncError(alreadyWritten(target));
    const QString hex = QString::number(QRandomGenerator::global()->generate64(), 16);
    QFile out(folder + QStringLiteral("/.") + name + QLatin1Char('.') + hex +
              QStringLiteral(".tmp"));
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw SyncError(cannotWrite(folder, out.errorString()));
    const bool written = fill(out) && syncToDisk(out);
    const QString error =
        out.error() != QFileDevice::NoError ? out.errorString() : QStringLiteral("加密失败。");
    out.close();
    if (!written) {
        out.remove();
        throw SyncError(cannotWrite(folder, error));
    }
    if (!QFile::rename(out.fileName(), target)) {
        out.remove();
        throw SyncError(QFileInfo::exists(target) ? alreadyWritten(target)
                                                  : cannotWrite(folder, out.errorString()));
    }
    syncFolderToDisk(folder);
}

Header readHeaderOnly(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const ParsedHeader parsed =
        parseHeader(file.read(FixedHeaderBytes + 255 + NonceBytes + TagBytes));
    return parsed.refusal.isEmpty() ? parsed.header : Header{};
}

} // namespace

SyncError::SyncError(const QString &message) : std::runtime_error(message.toStdString())
{
}

Folder::Folder(QString path, std::shared_ptr<const Key> key)
    : m_path(std::move(path)), m_key(std::move(key))
{
}

Folder Folder::create(const QString &path, const QString &password)
{
    if (password.toUcs4().size() < MinPasswordLength)
        throw SyncError(QStringLiteral("家庭同步密码至少 %1 个字符。").arg(MinPasswordLength));
    const QString folder = absoluteFolder(path);
    if (QFileInfo::exists(settingsPath(folder)))
        throw SyncError(QStringLiteral("同步文件夹 %1 已经是青禾簿的同步文件夹，请选择“加入”。")
                            .arg(shown(folder)));
    Settings settings;
    settings.salt = randomSalt();
    const auto key = deriveKey(password, settings);
    settings.keyCheck = sealed(*key, KeyCheckLabel, KeyCheckText);
    const QByteArray json = settings.toJson();
    writeNewFile(folder, SettingsFileName, [&json, &settings](QFile &out) {
        return !settings.keyCheck.isEmpty() && out.write(json) == json.size();
    });
    return Folder(folder, key);
}

Folder Folder::open(const QString &path, const QString &password)
{
    const QString folder = absoluteFolder(path);
    if (!QFileInfo(folder).isDir())
        throw SyncError(QStringLiteral("同步文件夹 %1 不存在。").arg(shown(folder)));
    QFile file(settingsPath(folder));
    if (!file.exists())
        throw notOurs(folder);
    if (!file.open(QIODevice::ReadOnly))
        throw SyncError(
            QStringLiteral("不能读取 %1：%2").arg(shown(file.fileName()), file.errorString()));
    if (file.size() > MaxSettingsBytes)
        throw notOurs(folder);
    const auto settings = Settings::fromJson(file.readAll());
    if (!settings)
        throw notOurs(folder);
    if (settings->version > SettingsVersion)
        throw SyncError(QStringLiteral("同步文件夹 %1 由更新版本的青禾簿建立，请先更新本程序。")
                            .arg(shown(folder)));
    const auto key = deriveKey(password, *settings);
    if (!keyChecks(*key, settings->keyCheck))
        throw SyncError(QStringLiteral("家庭同步密码不对。"));
    return Folder(folder, key);
}

QByteArray Folder::key() const
{
    return QByteArray(reinterpret_cast<const char *>(m_key->bytes), Key::Bytes);
}

Folder Folder::withKey(const QString &path, const QByteArray &key)
{
    const QString folder = absoluteFolder(path);
    if (!QFile::exists(settingsPath(folder)))
        throw notOurs(folder);
    if (key.size() != Key::Bytes)
        throw SyncError(QStringLiteral("本机保存的家庭同步密钥已损坏，请重新加入家庭同步。"));
    auto made = std::make_shared<Key>();
    std::copy(key.cbegin(), key.cend(), reinterpret_cast<char *>(made->bytes));
    return Folder(folder, made);
}

void Folder::checkComputerName(const QString &computer)
{
    requireFolderName(computer);
}

Folder::Listed Folder::changeFile(const QString &computer, qint64 sequence) const
{
    return {computer, sequence, changeFolder(computer) + QLatin1Char('/') + sequenceName(sequence)};
}

QString Folder::changeFolder(const QString &computer) const
{
    return m_path + QLatin1Char('/') + computer;
}

QString Folder::snapshotFolder() const
{
    return m_path + QLatin1Char('/') + SnapshotFolderName;
}

void Folder::write(const QString &computer, qint64 sequence, const QByteArray &payload) const
{
    writeSealed(ChangeKind, computer, sequence, payload);
}

void Folder::writeSnapshot(const QString &computer, qint64 sequence, QByteArrayView payload) const
{
    writeSealed(SnapshotKind, computer, sequence, payload);
}

void Folder::writeSealed(char kind, const QString &computer, qint64 sequence,
                         QByteArrayView payload) const
{
    requireFolderName(computer);
    requireSequence(sequence);
    const QString name = nfc(computer);
    const QString folder = kind == ChangeKind ? changeFolder(name) : snapshotFolder();
    const QString fileName =
        kind == ChangeKind ? sequenceName(sequence) : snapshotName(name, sequence);
    if (payload.size() > MaxPayloadBytes)
        throw SyncError(QStringLiteral("同步文件 %1 太大（%2 MB），最多 %3 MB。")
                            .arg(shown(folder + QLatin1Char('/') + fileName))
                            .arg(payload.size() >> 20)
                            .arg(MaxPayloadBytes >> 20));
    const QByteArray header =
        headerBytes({Layout, kind, sequence, QDateTime::currentMSecsSinceEpoch(), name, 0});
    const QByteArray compressed = zstdCompressed(payload);
    writeNewFile(folder, fileName, [&](QFile &out) {
        return out.write(header) == header.size() &&
               seal(*m_key, header, compressed, [&out](const char *data, qsizetype size) {
                   return out.write(data, size) == size;
               });
    });
}

Folder::Scan Folder::scan() const
{
    Scan scan;
    const auto folders = QDir(m_path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &folder : folders)
        if (!folder.fileName().startsWith(QLatin1Char('.')) &&
            folder.fileName() != SnapshotFolderName)
            sortOut(folder.filePath(), listedChange, scan);
    sortByComputerAndSequence(scan.files);
    Scan snapshots;
    sortOut(snapshotFolder(), listedSnapshot, snapshots);
    scan.refused << snapshots.refused;
    return scan;
}

QList<Folder::Listed> Folder::snapshots() const
{
    Scan scan;
    sortOut(snapshotFolder(), listedSnapshot, scan);
    sortByComputerAndSequence(scan.files);
    return scan.files;
}

std::optional<Folder::Listed> Folder::latestSnapshot() const
{
    std::optional<Listed> latest;
    qint64 latestWritten = 0;
    for (const Listed &snapshot : snapshots()) {
        const Header header = readHeaderOnly(snapshot.path);
        if (header.kind != SnapshotKind)
            continue;
        if (!latest || header.writtenMs > latestWritten ||
            (header.writtenMs == latestWritten && snapshot.sequence > latest->sequence)) {
            latest = snapshot;
            latestWritten = header.writtenMs;
        }
    }
    return latest;
}

Folder::Read Folder::read(const Listed &file) const
{
    return readSealed(ChangeKind, file);
}

Folder::Read Folder::readSnapshot(const Listed &snapshot) const
{
    return readSealed(SnapshotKind, snapshot);
}

Folder::Read Folder::readSealed(char kind, const Listed &file) const
{
    QFile in(file.path);
    if (!in.open(QIODevice::ReadOnly))
        throw SyncError(
            QStringLiteral("不能读取同步文件 %1：%2").arg(shown(file.path), in.errorString()));
    Read result;
    result.refusal = Reason::Damaged;
    if (in.size() > MaxSealedBytes)
        return result;
    QByteArray bytes(in.size(), Qt::Uninitialized);
    if (in.read(bytes.data(), bytes.size()) != bytes.size())
        throw SyncError(
            QStringLiteral("不能读取同步文件 %1：%2").arg(shown(file.path), in.errorString()));
    in.close();

    const ParsedHeader parsed = parseHeader(bytes);
    const Header &header = parsed.header;
    result.layout = header.layout;
    result.newer = parsed.newer;
    result.refusal = parsed.refusal;
    if (!parsed.refusal.isEmpty())
        return result;
    result.written = QDateTime::fromMSecsSinceEpoch(header.writtenMs, Qt::UTC);
    // Its name and folder are taken from where it lies, not from what the caller says.
    const QFileInfo info(file.path);
    const auto named = kind == ChangeKind ? listedChange(info) : listedSnapshot(info);
    if (!named) {
        result.refusal = Reason::NotSyncFile;
        return result;
    }
    if (header.kind != kind || header.computer != named->computer ||
        header.sequence != named->sequence) {
        result.refusal = Reason::Misplaced;
        return result;
    }
    char *sealedPart = bytes.data() + header.size;
    if (!openInPlace(*m_key, QByteArrayView(bytes).first(header.size), sealedPart,
                     bytes.size() - header.size)) {
        result.refusal = Reason::Damaged;
        return result;
    }
    const char *compressed = sealedPart + NonceBytes;
    const qsizetype compressedSize = bytes.size() - header.size - NonceBytes - TagBytes;
    auto payload = header.layout == 1 ? uncompressed(compressed, compressedSize)
                                      : zstdUncompressed(compressed, compressedSize);
    if (!payload) {
        result.refusal = Reason::Damaged;
        return result;
    }
    result.payload = std::move(*payload);
    result.refusal.clear();
    return result;
}

void Folder::removeUpTo(const QString &computer, qint64 sequence) const
{
    requireFolderName(computer);
    Scan scan;
    sortOut(changeFolder(nfc(computer)), listedChange, scan);
    QList<Listed> gone;
    for (const Listed &file : std::as_const(scan.files))
        if (file.sequence <= sequence)
            gone << file;
    for (const Listed &snapshot : snapshots())
        if (snapshot.computer == nfc(computer) && snapshot.sequence < sequence)
            gone << snapshot;
    for (const Listed &file : std::as_const(gone))
        if (!QFile::remove(file.path) && QFileInfo::exists(file.path))
            throw SyncError(QStringLiteral("不能删除同步文件 %1。").arg(shown(file.path)));
}

} // namespace Sync
