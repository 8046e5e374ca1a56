#include "support/BillFiles.h"

#include "core/bills/BillText.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QMap>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <algorithm>
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

namespace BillFiles {
namespace {

// Builds a month's files and what they mean, keeping every account's balance.
class Household
{
public:
    Household(int month) : m_month(month)
    {
        m_balance.insert(QStringLiteral("招行一卡通"), *Money::parse("10000"));
        // The first month's movements carry into the second.
        if (month == 2) {
            Household first(1);
            first.fill();
            m_balance = first.m_balance;
        }
        m_openingDebit = m_balance.value(QStringLiteral("招行一卡通"));
    }

    QString day(int d) const
    {
        return QStringLiteral("2024-%1-%2")
            .arg(3 + m_month, 2, 10, QLatin1Char('0'))
            .arg(d, 2, 10, QLatin1Char('0'));
    }
    template <typename T> T pick(T first, T second) const { return m_month == 1 ? first : second; }

    void book(const QString &date, const QString &kind, const QString &what, const char *amount,
              const QString &account, const QString &toAccount = {})
    {
        const Money money = *Money::parse(QString::fromLatin1(amount));
        if (kind == u"转帐") {
            move(account, -money);
            move(toAccount, money);
            m_entries << QStringLiteral("%1 转帐 %2 %3→%4")
                             .arg(date, money.toGrouped(), account, toAccount);
            return;
        }
        move(account, kind == u"收入" ? money : -money);
        m_entries
            << QStringLiteral("%1 %2 %3 %4 %5").arg(date, kind, what, money.toGrouped(), account);
    }
    void move(const QString &account, Money money) { m_balance[account] += money; }

    void alipay(int d, const QString &cells)
    {
        m_alipay << day(d) + QStringLiteral(" 10:%1:00,").arg(d, 2, 10, QLatin1Char('0')) + cells;
    }
    void wechat(int d, const QString &cells)
    {
        m_wechat << day(d) + QStringLiteral(" 12:%1:00,").arg(d, 2, 10, QLatin1Char('0')) + cells;
    }
    void debit(int d, const char *amount, const QString &summary, const QString &other,
               const QString &note)
    {
        m_debitRaw.emplace_back(day(d), *Money::parse(QString::fromLatin1(amount)),
                                QStringList{summary, other, note}.join(QLatin1Char(',')));
    }
    void credit(int d, const char *amount, const QString &summary)
    {
        m_credit << QStringLiteral("%1/%2,%1/%2,%3,%4,5678,%4")
                        .arg(3 + m_month, 2, 10, QLatin1Char('0'))
                        .arg(d, 2, 10, QLatin1Char('0'))
                        .arg(summary, QString::fromLatin1(amount));
    }

    // The rows of the month, and what each becomes.
    void fill()
    {
        const QString o = pick(QStringLiteral("A1"), QStringLiteral("A2"));
        const auto id = [&](int n) {
            return QStringLiteral("2024%1%2\t").arg(o).arg(n, 4, 10, QLatin1Char('0'));
        };
        // 支付宝
        alipay(pick(3, 4), QStringLiteral("餐饮美食,%1,/,外卖,支出,%2,花呗,交易成功,%3,/,,")
                               .arg(pick(QStringLiteral("美团"), QStringLiteral("饿了么")),
                                    pick(QStringLiteral("35.50"), QStringLiteral("42.00")), id(1)));
        book(day(pick(3, 4)), "支出", "外出就餐", pick("35.50", "42.00"), "花呗");
        alipay(
            pick(5, 7),
            QStringLiteral("交通出行,滴滴出行,/,快车,支出,%1,招商银行储蓄卡(1234),交易成功,%2,/,,")
                .arg(pick(QStringLiteral("18.20"), QStringLiteral("25.60")), id(2)));
        book(day(pick(5, 7)), "支出", "交通", pick("18.20", "25.60"), "招行一卡通");
        debit(pick(5, 7), pick("-18.20", "-25.60"), "快捷支付", "滴滴出行科技有限公司",
              "支付宝-滴滴快车");
        alipay(pick(6, 9),
               QStringLiteral("充值缴费,国网浙江省电力有限公司,/,电费,支出,%1,余额,交易成功,%2,/,,")
                   .arg(pick(QStringLiteral("156.30"), QStringLiteral("132.80")), id(3)));
        book(day(pick(6, 9)), "支出", "电费", pick("156.30", "132.80"), "支付宝");
        alipay(pick(7, 10),
               QStringLiteral("充值缴费,杭州水务集团,/,水费,支出,%1,余额,交易成功,%2,/,,")
                   .arg(pick(QStringLiteral("45.00"), QStringLiteral("52.00")), id(4)));
        book(day(pick(7, 10)), "支出", "水费", pick("45.00", "52.00"), "支付宝");
        alipay(pick(8, 11),
               QStringLiteral("投资理财,余额宝,/,余额宝-自动转入,不计收支,%1,余额,交易成功,%2,/,,")
                   .arg(pick(QStringLiteral("1000.00"), QStringLiteral("800.00")), id(5)));
        book(day(pick(8, 11)), "转帐", "", pick("1000.00", "800.00"), "支付宝", "余额宝");
        alipay(
            pick(20, 21),
            QStringLiteral("投资理财,余额宝,/,余额宝-转出到余额,不计收支,%1,余额宝,交易成功,%2,/,,")
                .arg(pick(QStringLiteral("300.00"), QStringLiteral("500.00")), id(6)));
        book(day(pick(20, 21)), "转帐", "", pick("300.00", "500.00"), "余额宝", "支付宝");
        alipay(pick(30, 31),
               QStringLiteral("投资理财,余额宝,/,余额宝-收益发放,收入,%1,/,交易成功,%2,/,,")
                   .arg(pick(QStringLiteral("1.23"), QStringLiteral("1.05")), id(7)));
        book(day(pick(30, 31)), "收入", "利息收入", pick("1.23", "1.05"), "余额宝");
        alipay(pick(10, 12),
               QStringLiteral(
                   "信用借还,花呗,/"
                   ",花呗主动还款-上月账单,不计收支,%1,招商银行储蓄卡(1234),还款成功,%2,/,,")
                   .arg(pick(QStringLiteral("600.00"), QStringLiteral("450.00")), id(8)));
        book(day(pick(10, 12)), "转帐", "", pick("600.00", "450.00"), "招行一卡通", "花呗");
        debit(pick(10, 12), pick("-600.00", "-450.00"), "快捷支付", "支付宝", "花呗还款");
        alipay(pick(12, 14),
               QStringLiteral("转账红包,%1,/,红包,收入,%2,余额,交易成功,%3,/,,")
                   .arg(pick(QStringLiteral("张三"), QStringLiteral("李四")),
                        pick(QStringLiteral("200.00"), QStringLiteral("88.00")), id(9)));
        book(day(pick(12, 14)), "收入", "人情往来", pick("200.00", "88.00"), "支付宝");
        const QString shop = pick(QStringLiteral("优衣库"), QStringLiteral("李宁"));
        alipay(pick(14, 15),
               QStringLiteral("服饰装扮,%1,/,%2,支出,%3,余额,交易成功,%4,/,,")
                   .arg(shop, pick(QStringLiteral("T恤"), QStringLiteral("运动鞋")),
                        pick(QStringLiteral("99.00"), QStringLiteral("299.00")), id(10)));
        book(day(pick(14, 15)), "支出", "衣服", pick("99.00", "299.00"), "支付宝");
        alipay(pick(16, 18),
               QStringLiteral("退款,%1,/,退款-%2,不计收支,%3,余额,退款成功,%4_1\t,/,,")
                   .arg(shop, pick(QStringLiteral("T恤"), QStringLiteral("运动鞋")),
                        pick(QStringLiteral("40.00"), QStringLiteral("100.00")),
                        id(10).chopped(1)));
        book(day(pick(16, 18)), "支出", "衣服", pick("-40.00", "-100.00"), "支付宝");
        alipay(pick(18, 19),
               QStringLiteral("日用百货,%1,/,纸巾,支出,%2,招商银行信用卡(5678),交易成功,%3,/,,")
                   .arg(pick(QStringLiteral("京东"), QStringLiteral("天猫超市")),
                        pick(QStringLiteral("199.00"), QStringLiteral("89.00")), id(11)));
        book(day(pick(18, 19)), "支出", "网购", pick("199.00", "89.00"), "招行信用卡");
        credit(pick(18, 19), pick("199.00", "89.00"),
               pick(QStringLiteral("支付宝-京东"), QStringLiteral("支付宝-天猫超市")));
        // 微信
        const QString w = pick(QStringLiteral("4201"), QStringLiteral("4202"));
        const auto wid = [&](int n) {
            return QStringLiteral("\"%1%2\"\t").arg(w).arg(n, 6, 10, QLatin1Char('0'));
        };
        wechat(pick(2, 3),
               QStringLiteral("商户消费,%1,\"拿铁\",支出,¥%2,零钱,支付成功,%3,/,/")
                   .arg(pick(QStringLiteral("瑞幸咖啡"), QStringLiteral("星巴克")),
                        pick(QStringLiteral("19.90"), QStringLiteral("32.00")), wid(1)));
        book(day(pick(2, 3)), "支出", "外出就餐", pick("19.90", "32.00"), "微信零钱");
        wechat(pick(9, 13),
               QStringLiteral("扫二维码付款,张记面馆,/,支出,¥%1,零钱,支付成功,%2,/,/")
                   .arg(pick(QStringLiteral("28.00"), QStringLiteral("31.00")), wid(2)));
        book(day(pick(9, 13)), "支出", "外出就餐", pick("28.00", "31.00"), "微信零钱");
        wechat(pick(11, 16),
               QStringLiteral("扫二维码付款,%1,/,支出,¥%2,零钱,支付成功,%3,/,/")
                   .arg(pick(QStringLiteral("城东菜市场"), QStringLiteral("城西菜市场")),
                        pick(QStringLiteral("45.60"), QStringLiteral("38.20")), wid(3)));
        book(day(pick(11, 16)), "支出", "食品", pick("45.60", "38.20"), "微信零钱");
        wechat(pick(13, 17),
               QStringLiteral("转账,%1,/,支出,¥%2,零钱,对方已收钱,%3,/,/")
                   .arg(pick(QStringLiteral("王五"), QStringLiteral("赵六")),
                        pick(QStringLiteral("500.00"), QStringLiteral("300.00")), wid(4)));
        book(day(pick(13, 17)), "支出", "人情往来", pick("500.00", "300.00"), "微信零钱");
        wechat(pick(15, 20),
               QStringLiteral("微信红包,%1,/,收入,¥%2,/,已存入零钱,%3,/,/")
                   .arg(pick(QStringLiteral("李四"), QStringLiteral("张三")),
                        pick(QStringLiteral("66.66"), QStringLiteral("20.00")), wid(5)));
        book(day(pick(15, 20)), "收入", "人情往来", pick("66.66", "20.00"), "微信零钱");
        wechat(pick(17, 22),
               QStringLiteral("零钱提现,招商银行(1234),/,/,¥%1,零钱,提现已到账,%2,/,服务费¥%3")
                   .arg(pick(QStringLiteral("100.00"), QStringLiteral("200.00")), wid(6),
                        pick(QStringLiteral("0.10"), QStringLiteral("0.20"))));
        book(day(pick(17, 22)), "转帐", "", pick("100.00", "200.00"), "微信零钱", "招行一卡通");
        book(day(pick(17, 22)), "支出", "银行手续费", pick("0.10", "0.20"), "微信零钱");
        debit(pick(17, 22), pick("100.00", "200.00"), "转入", "财付通", "微信零钱提现");
        wechat(
            pick(1, 2),
            QStringLiteral("零钱充值,招商银行(1234),/,/,¥%1,招商银行储蓄卡(1234),充值完成,%2,/,/")
                .arg(pick(QStringLiteral("800.00"), QStringLiteral("600.00")), wid(7)));
        book(day(pick(1, 2)), "转帐", "", pick("800.00", "600.00"), "招行一卡通", "微信零钱");
        debit(pick(1, 2), pick("-800.00", "-600.00"), "快捷支付", "财付通", "微信零钱充值");
        // 招商银行
        debit(pick(25, 26), pick("8000.00", "8200.00"), "代发工资", "某某公司", "工资");
        book(day(pick(25, 26)), "收入", "工资", pick("8000.00", "8200.00"), "招行一卡通");
        debit(pick(26, 27), pick("-2000.00", "-1000.00"), "ATM取款", "招商银行", "取现");
        book(day(pick(26, 27)), "转帐", "", pick("2000.00", "1000.00"), "招行一卡通", "现金");
        debit(pick(27, 28), pick("-1500.00", "-1200.00"), "信用卡还款", "招商银行信用卡", "还款");
        book(day(pick(27, 28)), "转帐", "", pick("1500.00", "1200.00"), "招行一卡通", "招行信用卡");
        credit(pick(27, 28), pick("-1500.00", "-1200.00"), QStringLiteral("还款"));
        debit(pick(28, 29), pick("-350.00", "-360.00"), "代扣", "某某物业", "物业费");
        book(day(pick(28, 29)), "支出", "其他日常杂项", pick("350.00", "360.00"), "招行一卡通");
        credit(pick(21, 23), pick("300.00", "260.00"),
               pick(QStringLiteral("中国石化加油站"), QStringLiteral("中国石油加油站")));
        book(day(pick(21, 23)), "支出", "汽油费", pick("300.00", "260.00"), "招行信用卡");
    }

    HouseholdMonth write(const QString &dir) const
    {
        HouseholdMonth out;
        const auto save = [&](const QString &name, const QByteArray &bytes) {
            QFile file(dir + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            out.files << file.fileName();
        };
        QStringEncoder gbk("GB18030");
        const QString ym = QStringLiteral("2024%1").arg(3 + m_month, 2, 10, QLatin1Char('0'));
        QStringList alipayRows = m_alipay;
        alipayRows.sort();
        std::reverse(alipayRows.begin(), alipayRows.end()); // newest first, as the app writes
        save(QStringLiteral("支付宝交易明细(") + ym + QStringLiteral("01-") + ym +
                 QStringLiteral("30).csv"),
             gbk(QStringLiteral(
                     "-----------------------------------------------------------------------------"
                     "-------\n"
                     "导出信息：\n起始时间：[%1-01 00:00:00]    终止时间：[%1-30 23:59:59]\n"
                     "------------------------支付宝（杭州）信息技术有限公司  "
                     "电子客户回单------------------------\n"
                     "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/"
                     "付款方式,交易状态,交易订单号,商家订单号,备注,\n")
                     .arg(day(1).left(7)) +
                 alipayRows.join(QLatin1Char('\n')) + QLatin1Char('\n')));
        QStringList wechatRows = m_wechat;
        wechatRows.sort();
        std::reverse(wechatRows.begin(), wechatRows.end());
        QString preamble = QStringLiteral("微信支付账单明细,,,,,,,,,,\n");
        for (int i = 0; i < 14; ++i)
            preamble += QStringLiteral(",,,,,,,,,,\n");
        save(QStringLiteral("微信支付账单(") + ym + QStringLiteral("01-") + ym +
                 QStringLiteral("30).csv"),
             (preamble +
              QStringLiteral(
                  "----------------------微信支付账单明细列表--------------------,,,,,,,,,,\n"
                  "交易时间,交易类型,交易对方,商品,收/"
                  "支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n") +
              wechatRows.join(QLatin1Char('\n')) + QLatin1Char('\n'))
                 .toUtf8());
        save(QStringLiteral("招商银行一卡通%1.csv").arg(ym),
             gbk(QStringLiteral("# 招商银行交易记录\n# 账号: [6214********1234]\n# 币种: [人民币]\n"
                                "记账日期,货币,交易金额,联机余额,交易摘要,对手信息,客户摘要\n") +
                 m_debitRows.join(QLatin1Char('\n')) + QLatin1Char('\n')));
        save(QStringLiteral("招商银行信用卡%1.csv").arg(ym),
             gbk(QStringLiteral(
                     "招商银行信用卡对账单（个人消费卡 "
                     "2024年%1月）\n交易日,记账日,交易摘要,人民币金额,卡号末四位,交易地金额\n")
                     .arg(3 + m_month, 2, 10, QLatin1Char('0')) +
                 m_credit.join(QLatin1Char('\n')) + QLatin1Char('\n')));
        out.entries = m_entries;
        out.entries.sort();
        for (auto i = m_balance.cbegin(); i != m_balance.cend(); ++i)
            out.closing << std::pair{i.key(), i.value().toGrouped()};
        out.rows = int(m_alipay.size() + m_wechat.size() + m_debitRows.size() + m_credit.size());
        return out;
    }

    // The debit card's rows by day, each with the balance after it.
    void finishDebit()
    {
        // Balances follow the rows in the order of their days.
        std::sort(m_debitRaw.begin(), m_debitRaw.end());
        Money balance = m_openingDebit;
        for (const auto &[date, amount, rest] : m_debitRaw) {
            balance += amount;
            m_debitRows << QStringLiteral("%1,人民币,%2,%3,%4")
                               .arg(date, amount.toPlain(), balance.toPlain(), rest);
        }
    }

private:
    int m_month;
    QMap<QString, Money> m_balance;
    QStringList m_alipay, m_wechat, m_credit, m_entries, m_debitRows;
    Money m_openingDebit;
    std::vector<std::tuple<QString, Money, QString>> m_debitRaw;
};

} // namespace

HouseholdMonth householdMonth(const QString &dir, int month)
{
    Household household(month);
    household.fill();
    household.finishDebit();
    return household.write(dir);
}

} // namespace BillFiles
