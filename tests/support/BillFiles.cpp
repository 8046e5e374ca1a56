#include "support/BillFiles.h"

#include "import/BillText.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTest>
#include <xlsxwriter.h>
#include <zip.h>

namespace BillFiles {

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
                                             encryption == Encryption::Aes256 ? ZIP_EM_AES_256
                                                                              : ZIP_EM_TRAD_PKWARE,
                                             password.toUtf8().constData()),
                     0);
    }
    QCOMPARE(zip_close(zip), 0);
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
