#include "support/BillFiles.h"

#include "core/bills/BillText.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <xlsxwriter.h>
#include <zip.h>
#include <zlib.h>

namespace BillFiles {

namespace {

quint32 read32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 read16(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

// libzip writes its AES members as AE-2 but keeps their CRC; 7-Zip and WinZip store
// 0 there, in the local and the central header of each member.
void clearCrcs(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
    QVERIFY(end >= 0);
    qsizetype central = read32(bytes, end + 16);
    for (int i = read16(bytes, end + 10); i > 0; --i) {
        QCOMPARE(read32(bytes, central), quint32(0x02014b50));
        const qsizetype local = read32(bytes, central + 42);
        bytes.replace(central + 16, 4, QByteArray(4, '\0'));
        bytes.replace(local + 14, 4, QByteArray(4, '\0'));
        central += 46 + read16(bytes, central + 28) + read16(bytes, central + 30) +
                   read16(bytes, central + 32);
    }
    file.seek(0);
    file.write(bytes);
}

} // namespace

void writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &members,
              Encryption encryption, const QString &password)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY2(zip, "the archive is not made");
    QList<QByteArray> kept; // libzip reads them when it closes the archive
    for (const auto &[name, bytes] : members) {
        kept << bytes;
        zip_source_t *source = zip_source_buffer(zip, kept.last().constData(), bytes.size(), 0);
        const zip_int64_t index =
            zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        QVERIFY(index >= 0);
        if (encryption != Encryption::None)
            QCOMPARE(zip_file_set_encryption(zip, zip_uint64_t(index),
                                             encryption == Encryption::Traditional
                                                 ? ZIP_EM_TRAD_PKWARE
                                                 : ZIP_EM_AES_256,
                                             password.toUtf8().constData()),
                     0);
    }
    QCOMPARE(zip_close(zip), 0);
    if (encryption == Encryption::Aes256CrcZero)
        clearCrcs(path);
}

QByteArray alipayBill(const QStringList &rows)
{
    QString text =
        QStringLiteral("交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                       "交易状态,交易订单号,商家订单号,备注,\n");
    for (const QString &row : rows)
        text += QStringLiteral("2024-03-05 12:30:00,") + row + QLatin1Char('\n');
    QStringEncoder gbk("GB18030");
    return gbk(text);
}

QByteArray zipBytes(const QList<std::pair<QString, QByteArray>> &members)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.zip"));
    writeZip(path, members);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

void put16(QByteArray &out, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 2);
}

void put32(QByteArray &out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 4);
}

} // namespace

QByteArray zerosZip(const QString &member, int mib, qint64 declared)
{
    // A MiB of zeros deflated and flushed in full depends on nothing before it.
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray zeros(1 << 20, '\0'), block(1 << 16, '\0'), end(16, '\0');
    z.next_in = reinterpret_cast<Bytef *>(zeros.data());
    z.avail_in = uInt(zeros.size());
    z.next_out = reinterpret_cast<Bytef *>(block.data());
    z.avail_out = uInt(block.size());
    deflate(&z, Z_FULL_FLUSH);
    block.truncate(block.size() - z.avail_out);
    z.next_out = reinterpret_cast<Bytef *>(end.data());
    z.avail_out = uInt(end.size());
    deflate(&z, Z_FINISH);
    end.truncate(end.size() - z.avail_out);
    deflateEnd(&z);
    const QByteArray data = block.repeated(mib) + end;

    const QByteArray name = member.toUtf8();
    const auto header = [&](bool central) {
        QByteArray out;
        put32(out, central ? 0x02014b50 : 0x04034b50);
        if (central)
            put16(out, 20);                              // made by
        for (const quint16 v : {20, 0x0800, 8, 0, 0x21}) // needs, UTF-8 name, deflated, time, date
            put16(out, v);
        for (const quint32 v : {0u, quint32(data.size()), quint32(declared)}) // CRC, sizes
            put32(out, v);
        put16(out, quint16(name.size()));
        put16(out, 0);
        if (central) {
            for (int i = 0; i < 3; ++i) // comment, disk, internal attributes
                put16(out, 0);
            put32(out, 0); // external attributes
            put32(out, 0); // the local header's offset
        }
        return out + name;
    };
    const QByteArray local = header(false), central = header(true);
    QByteArray zip = local + data + central;
    put32(zip, 0x06054b50);
    for (const quint16 v : {0, 0, 1, 1})
        put16(zip, v);
    put32(zip, quint32(central.size()));
    put32(zip, quint32(local.size() + data.size()));
    put16(zip, 0);
    return zip;
}

void writeWeChatWorkbook(const QString &csvPath, const QString &path, bool since2026)
{
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QString encoding;
    const Bills::TextTable table = Bills::splitCsv(Bills::decodeText(csv.readAll(), &encoding));
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Sheet1");
    lxw_format *money = workbook_add_format(book);
    format_set_num_format(money, "\xC2\xA5#,##0.00");
    lxw_row_t row = 0;
    bool inTable = false;
    for (qsizetype r = 0; r < table.rowCount(); ++r) {
        const Bills::Cells cells = table.row(r);
        const QString first = cells.value(0).toString();
        if (!inTable && first.startsWith(QStringLiteral("----"))) {
            if (since2026) {
                worksheet_merge_range(sheet, row, 0, row, 10, "本账单中所有时间均为UTC+08:00时间",
                                      nullptr);
                ++row;
            }
            worksheet_merge_range(sheet, row, 0, row, 10, first.toUtf8().constData(), nullptr);
            ++row;
            inTable = true;
            continue;
        }
        if (!inTable) {
            worksheet_merge_range(sheet, row, 0, row, 10, first.toUtf8().constData(), nullptr);
            ++row;
            continue;
        }
        for (int c = 0; c < cells.size(); ++c) {
            const QString cell = Bills::trimmedCell(cells.at(c)).toString();
            const bool amount = c == 5 && cell.startsWith(QChar(0x00A5));
            if (amount && since2026)
                worksheet_write_number(sheet, row, lxw_col_t(c),
                                       cell.mid(1).remove(QLatin1Char(',')).toDouble(), money);
            else
                worksheet_write_string(sheet, row, lxw_col_t(c), cell.toUtf8().constData(),
                                       nullptr);
        }
        ++row;
    }
    QCOMPARE(int(workbook_close(book)), int(LXW_NO_ERROR));
}

QStringList bookRows()
{
    QStringList rows = Db::dump();
    rows.removeIf([](const QString &row) {
        return row.startsWith(QLatin1String("History")) ||
               row.startsWith(QLatin1String("ImportBatch|")) ||
               row.startsWith(QLatin1String("ImportEntry|"));
    });
    for (QString &row : rows)
        if (row.startsWith(QLatin1String("Month")))
            row = row.section(QLatin1Char('|'), 0, 0) + QLatin1Char('|') +
                  row.section(QLatin1Char('|'), 2);
    rows.sort();
    return rows;
}

} // namespace BillFiles
