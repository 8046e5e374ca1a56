#include "core/bills/BillReader.h"
#include "core/bills/BillText.h"
#include "support/BillFiles.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Bills;

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(QINGHEBU_FIXTURES "/bills/") + name;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

Money money(const char *text)
{
    return *Money::parse(QString::fromLatin1(text));
}

// The rows as text, field by field, to compare two readings of one bill.
QStringList described(const QList<Document> &documents)
{
    QStringList out;
    for (const Document &d : documents)
        for (const Row &r : d.rows)
            out << QStringList{r.date.toString(Qt::ISODate),
                               QString::number(r.seconds),
                               QString::number(int(r.direction)),
                               r.amount.toPlain(),
                               r.counterparty,
                               r.goods,
                               r.method,
                               r.category,
                               r.status,
                               r.key,
                               r.merchantKey,
                               r.fee.toPlain(),
                               QString::number(r.refund),
                               QString::number(r.closed)}
                       .join('|');
    return out;
}

QString refusalOf(const QByteArray &bytes, const QString &name = "bill.csv")
{
    try {
        readBytes(bytes, name, name);
    } catch (const Error &e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestBillReaders : public QObject
{
    Q_OBJECT
private slots:
    void everyKindIsRead_data();
    void everyKindIsRead();
    void theThreeWeChatVersionsGiveTheSameRows();
    void aMailedZipOpensWithItsPassword_data();
    void aMailedZipOpensWithItsPassword();
    void whatIsNotUnderstoodIsRefusedWithItsReason_data();
    void whatIsNotUnderstoodIsRefusedWithItsReason();
    void creditCardDatesTakeTheStatementsYear();
    void amountsAreReadUpToWhatARowMayHold();
    void aBillCutShortIsRefused();
    void whatWouldFillTheMemoryIsRefused_data();
    void whatWouldFillTheMemoryIsRefused();
    void aFileOfAGigabyteIsSaidTooLarge();
    void csvCellsAreCutAsWritten();
};

void TestBillReaders::everyKindIsRead_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    // Per direction (支出, 收入, neutral): rows and their sum; then closed rows, refunds.
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QList<Money>>("sums");
    QTest::addColumn<int>("closed");
    QTest::addColumn<int>("refunds");
    QTest::addColumn<QString>("firstRow"); // date, method, counterparty, goods

    QTest::newRow("支付宝") << "alipay.csv"
                            << "支付宝交易明细" << QList<int>{6, 1, 3}
                            << QList<Money>{money("453.04"), money("200"), money("1138")} << 1 << 2
                            << "2024-03-28|招商银行储蓄卡(1234)|美丽衣橱|退款-春季外套";
    QTest::newRow("支付宝 2023 年以前") << "alipay-2022.csv"
                                        << "支付宝交易明细" << QList<int>{1, 1, 1}
                                        << QList<Money>{money("25"), money("300"), money("500")}
                                        << 0 << 0 << "2022-08-10|余额|肯德基|早餐套餐";
    QTest::newRow("支付宝网页版") << "alipay-web-2016.csv"
                                  << "支付宝交易记录（网页版）" << QList<int>{2, 1, 1}
                                  << QList<Money>{money("75.9"), money("300"), money("16")} << 1
                                  << 1 << "2016-05-12|余额|某书店|编程入门";
    QTest::newRow("微信支付") << "wechat.csv"
                              << "微信支付账单明细" << QList<int>{4, 3, 2}
                              << QList<Money>{money("1800.96"), money("139.46"), money("300")} << 0
                              << 2 << "2025-05-20|零钱|某某奶茶店|珍珠奶茶";
    QTest::newRow("工商银行") << "icbc.csv"
                              << "工商银行借记卡明细" << QList<int>{3, 1, 0}
                              << QList<Money>{money("1241"), money("5000"), Money()} << 0 << 0
                              << "2024-04-01|工商银行储蓄卡(6789)|某某超市|超市购物";
    QTest::newRow("招商银行储蓄卡")
        << "cmb-debit.csv"
        << "招商银行储蓄卡交易明细" << QList<int>{2, 2, 1}
        << QList<Money>{money("217.2"), money("8050"), money("2000")} << 0 << 0
        << "2024-03-12|招商银行储蓄卡(1234)|滴滴出行科技有限公司|支付宝-滴滴快车";
    QTest::newRow("招商银行信用卡") << "cmb-credit.csv"
                                    << "招商银行信用卡对账单" << QList<int>{2, 0, 2}
                                    << QList<Money>{money("1302.8"), Money(), money("1057.8")} << 0
                                    << 1 << "2025-04-28|招商银行信用卡(5678)|某某超市|某某超市";
}

void TestBillReaders::everyKindIsRead()
{
    QFETCH(QString, file);
    const QList<Document> documents = readFile(fixture(file));
    QCOMPARE(documents.size(), 1);
    const Document &d = documents.first();
    QFETCH(QString, title);
    QCOMPARE(d.title, title);
    QList<int> counts(3, 0);
    QList<Money> sums(3);
    int closed = 0, refunds = 0;
    for (const Row &r : d.rows) {
        ++counts[int(r.direction)];
        sums[int(r.direction)] += r.amount;
        closed += r.closed;
        refunds += r.refund;
        QVERIFY2(!r.key.isEmpty() && r.line > 0, qPrintable(r.goods));
    }
    QTEST(counts, "counts");
    QTEST(sums, "sums");
    QTEST(closed, "closed");
    QTEST(refunds, "refunds");
    const Row &first = d.rows.first();
    QTEST(QStringList(
              {first.date.toString(Qt::ISODate), first.method, first.counterparty, first.goods})
              .join('|'),
          "firstRow");
}

void TestBillReaders::theThreeWeChatVersionsGiveTheSameRows()
{
    QTemporaryDir dir;
    const QString mid2025 = dir.filePath("微信支付账单(20250501-20250531).xlsx");
    const QString since2026 = dir.filePath("2026.xlsx");
    BillFiles::writeWeChatWorkbook(fixture("wechat.csv"), mid2025, false);
    BillFiles::writeWeChatWorkbook(fixture("wechat.csv"), since2026, true);
    const QStringList csv = described(readFile(fixture("wechat.csv")));
    QCOMPARE(csv.size(), 9);
    QCOMPARE(described(readFile(mid2025)), csv);
    QCOMPARE(described(readFile(since2026)), csv);
    // The refund and the withdrawal's fee, as the bill says them.
    const Document d = readFile(since2026).first();
    QCOMPARE(d.rows.at(5).amount, money("1257.80"));
    QCOMPARE(d.rows.at(3).fee, money("0.10"));
    QCOMPARE(d.rows.at(0).category, QString("商户消费"));
    QCOMPARE(d.rows.at(0).line, 19); // the header on row 18
}

void TestBillReaders::aMailedZipOpensWithItsPassword_data()
{
    QTest::addColumn<BillFiles::Encryption>("encryption");
    // What a damaged archive opened with the right password is said to be: with the
    // traditional method, whose password check lets one wrong password in 256
    // through, the checksum completes the check; AES has its authentication code.
    QTest::addColumn<QString>("damaged");
    QTest::newRow("traditional") << BillFiles::Encryption::Traditional << "wrong";
    QTest::newRow("AES") << BillFiles::Encryption::Aes256 << "damaged";
    QTest::newRow("AES, CRC 0") << BillFiles::Encryption::Aes256CrcZero << "damaged";
}

void TestBillReaders::aMailedZipOpensWithItsPassword()
{
    QFETCH(BillFiles::Encryption, encryption);
    QTemporaryDir dir;
    const QString zip = dir.filePath("alipay.zip");
    BillFiles::writeZip(zip,
                        {{"支付宝交易明细(20240301-20240331).csv", bytesOf(fixture("alipay.csv"))}},
                        encryption, "731904");
    const auto passwordRefusal = [&](const QString &password) {
        try {
            readFile(zip, password);
        } catch (const PasswordError &e) {
            return e.wrongPassword() ? QString("wrong") : QString("missing");
        } catch (const Error &e) {
            return e.message().contains("不是完整的 ZIP 压缩包") ? QString("damaged") : e.message();
        }
        return QString("opened");
    };
    QCOMPARE(passwordRefusal(""), QString("missing"));
    QCOMPARE(passwordRefusal("000000"), QString("wrong"));
    QCOMPARE(passwordRefusal("731904"), QString("opened"));
    const QList<Document> documents = readFile(zip, "731904");
    QCOMPARE(documents.size(), 1);
    QCOMPARE(documents.first().name,
             QString("alipay.zip 中的 支付宝交易明细(20240301-20240331).csv"));
    QCOMPARE(described(documents), described(readFile(fixture("alipay.csv"))));
    // A byte of the stored data changed.
    QFile file(zip);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(200));
    const char byte = file.peek(1).at(0);
    file.write(QByteArray(1, char(byte ^ 0x20)));
    file.close();
    QTEST(passwordRefusal("731904"), "damaged");
}

void TestBillReaders::whatIsNotUnderstoodIsRefusedWithItsReason_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray header = "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                              "交易状态,交易订单号,商家订单号,备注,\n";
    const auto gbk = [](const QByteArray &utf8) {
        QStringEncoder encoder("GB18030");
        return QByteArray(encoder(QString::fromUtf8(utf8)));
    };
    QTest::newRow("another kind") << bytesOf(fixture("contacts.csv"))
                                  << "文件“bill.csv”不是本程序能读的帐单";
    QTest::newRow("re-saved")
        << bytesOf(fixture("alipay-resaved.csv"))
        << "文件“bill.csv”被电子表格程序（如 Excel、WPS）打开后重新保存过：支付宝导出的是 GBK "
           "编码，这个文件却是 UTF-8 编码";
    QTest::newRow("seconds lost")
        << gbk(header +
               "2024/3/5 12:30,餐饮美食,美团,/,外卖,支出,35.50,花呗,交易成功,20240305001,/,/,\n")
        << "重新保存过：第 2 行的交易时间“2024/3/5 12:30”少了秒";
    QTest::newRow("order number as a number")
        << gbk(header + "2024-03-05 "
                        "12:30:00,餐饮美食,美团,/,外卖,支出,35.50,花呗,交易成功,2.02403E+27,/,/,\n")
        << "第 2 行的交易订单号变成了“2.02403E+27”";
    QTest::newRow("no amount")
        << gbk(header +
               "2024-03-05 "
               "12:30:00,餐饮美食,美团,/,外卖,支出,三十五,花呗,交易成功,20240305001,/,/,\n")
        << "文件“bill.csv”第 2 行：金额“三十五”不是金额。";
    QTest::newRow("no direction")
        << gbk(header + "2024-03-05 "
                        "12:30:00,餐饮美食,美团,/,外卖,付款,35.50,花呗,交易成功,20240305001,/,/,\n")
        << "第 2 行：收/支“付款”应为“支出”“收入”或“不计收支”。";
    QTest::newRow("a new layout")
        << gbk("交易时间,交易分类,交易对方,商品说明,收/支,金额,交易状态,交易订单号,\n")
        << "第 1 行像是支付宝交易明细的表头，但缺少“收/付款方式”列";
    QTest::newRow("bytes that are no GBK")
        << gbk(header + "2024-03-05 12:30:00,餐饮美食,美团,/,外卖,支出,35.50,花呗,交易成功,"
                        "20240305001,/,签字笔,\n")
               .replace(gbk("签字笔"), "\x81\x20\xff")
        << "文件“bill.csv”第 2 行有不是 GBK 编码的字节";
    QTest::newRow("damaged zip") << QByteArray("PK\x03\x04 not really", 20)
                                 << "文件“bill.csv”不是完整的 ZIP 压缩包";
}

void TestBillReaders::whatIsNotUnderstoodIsRefusedWithItsReason()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString refusal = refusalOf(bytes);
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
}

void TestBillReaders::creditCardDatesTakeTheStatementsYear()
{
    QStringEncoder gbk("GB18030");
    const QByteArray bill =
        gbk(QStringLiteral("招商银行信用卡对账单（2025年01月）\n交易日,记账日,交易摘要,人民币金额,"
                           "卡号末四位,交易地金额\n"
                           "12/30,12/31,书店,30.00,5678,30.00\n12/30,12/31,书店,30.00,5678,30.00\n"
                           "01/03,01/04,面包店,8.50,5678,8.50\n"));
    const QList<Row> rows = readBytes(bill, "x.csv", "x.csv").first().rows;
    QCOMPARE(rows.at(0).date, QDate(2024, 12, 30));
    QCOMPARE(rows.at(2).date, QDate(2025, 1, 3));
    // Two like rows of one day stay two.
    QVERIFY(rows.at(0).key != rows.at(1).key);
}

void TestBillReaders::amountsAreReadUpToWhatARowMayHold()
{
    int order = 0;
    const auto row = [&order](const char *amount) {
        return QStringLiteral("餐饮美食,美团,/,外卖,支出,%1,花呗,交易成功,2024030500%2\t,/,/,")
            .arg(QLatin1String(amount))
            .arg(++order);
    };
    const QList<Row> rows = readBytes(BillFiles::alipayBill({row("999999999999.99"), row("0.01")}),
                                      "bill.csv", "bill.csv")
                                .first()
                                .rows;
    QCOMPARE(rows.first().amount, money("999999999999.99"));
    // Beyond twelve integer digits: refused where the file is read, not by the ledger.
    for (const char *amount : {"1000000000000", "999999999999999", "99999999999999999999"})
        QCOMPARE(refusalOf(BillFiles::alipayBill({row("1.00"), row(amount)})),
                 QStringLiteral("文件“bill.csv”第 3 行：金额“%1”超出范围：一笔金额最多只能有 12 "
                                "位整数。")
                     .arg(QLatin1String(amount)));
}

void TestBillReaders::aBillCutShortIsRefused()
{
    const QByteArray alipay = bytesOf(fixture("alipay.csv"));
    const QByteArray lastOrder = "2024030222001100008";
    const qsizetype lastRow = alipay.lastIndexOf("\r\n", alipay.size() - 3) + 2;
    // Cut in the middle of the last row's order number, and after a whole row.
    QCOMPARE(refusalOf(alipay.left(alipay.indexOf(lastOrder) + 10)),
             QString("文件“bill.csv”第 35 行只有 10 列，表头有 13 列：文件可能没有下载完整或被截断"
                     "了，请重新导出帐单。"));
    QCOMPARE(refusalOf(alipay.left(lastRow)),
             QString("文件“bill.csv”第 8 行说共有 10 笔记录，表中却有 9 笔：文件可能没有下载完整或"
                     "被截断了，请重新导出帐单。"));
    // The old web export says its count in its footer: a file cut before it is refused.
    const QByteArray web = bytesOf(fixture("alipay-web-2016.csv"));
    QCOMPARE(refusalOf(web.left(web.indexOf("-----------", 200))),
             QString("文件“bill.csv”的末尾没有“共N笔记录”的汇总：文件可能没有下载完整或被截断了，"
                     "请重新导出帐单。"));
}

void TestBillReaders::whatWouldFillTheMemoryIsRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    // 4,000 MiB of zeros in 4 MB, saying so or saying 1 KB.
    const qint64 inflated = qint64(4000) << 20;
    QTest::newRow("a ZIP inflating to 4 GB")
        << BillFiles::zerosZip("bill.csv", 4000, inflated)
        << "压缩包“帐单.zip”中的“bill.csv”解压后有 4000 MB，太大了：帐单文件不会超过 256 MB";
    QTest::newRow("a ZIP inflating past what it says")
        << BillFiles::zerosZip("bill.csv", 4000, 1024) << "文件“帐单.zip”不是完整的 ZIP 压缩包";
    // A bill ZIP holds bills, not ZIPs: the first archive inside is refused.
    QByteArray nested = bytesOf(fixture("alipay.csv"));
    for (int depth = 0; depth < 3; ++depth)
        nested = BillFiles::zipBytes({{QStringLiteral("第%1层.zip").arg(depth), nested}});
    QTest::newRow("ZIPs in a ZIP") << nested << "压缩包“帐单.zip”里的“第2层.zip”又是一个压缩包";
    const auto workbook = [](const QByteArray &rows) {
        return BillFiles::zipBytes(
            {{"xl/workbook.xml",
              "<workbook xmlns:r=\"urn:r\"><sheets><sheet name=\"Sheet1\" r:id=\"rId1\"/>"
              "</sheets></workbook>"},
             {"xl/_rels/workbook.xml.rels",
              "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>"
              "</Relationships>"},
             {"xl/worksheets/sheet1.xml",
              "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}});
    };
    QTest::newRow("a cell beyond a sheet")
        << workbook("<row r=\"18\"><c r=\"XFDZZZZZ18\" t=\"inlineStr\"><is><t>x</t></is></c></row>")
        << "文件“帐单.zip”不是完整的 Excel "
           "工作簿（.xlsx），可能已损坏：单元格“XFDZZZZZ18”超出了工作表的范围。";
    QByteArray farCells;
    for (int r = 1; r <= 1000; ++r)
        farCells +=
            QStringLiteral("<row r=\"%1\"><c r=\"XFD%1\"><v>1</v></c></row>").arg(r).toUtf8();
    QTest::newRow("cells far apart") << workbook(farCells) << "文件“帐单.zip”的工作表有太多单元格";
}

void TestBillReaders::whatWouldFillTheMemoryIsRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString refusal = refusalOf(bytes, "帐单.zip");
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
}

void TestBillReaders::aFileOfAGigabyteIsSaidTooLarge()
{
    QTemporaryDir dir;
    QFile big(dir.filePath("big.csv"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(1) << 30)); // sparse: no disk used
    big.close();
    try {
        readFile(big.fileName());
        QFAIL("a file of 1 GB must be refused");
    } catch (const Error &e) {
        QCOMPARE(e.message(), QString("文件“big.csv”有 1024 MB，太大了：帐单文件不会超过 256 MB。"
                                      "请选择从支付宝、微信或银行导出的帐单文件。"));
    }
}

void TestBillReaders::csvCellsAreCutAsWritten()
{
    const TextTable table = splitCsv(QStringLiteral("a, b ,\"c,\"\"d\"\"\"\t,\n"
                                                    "\"two\nlines\",x\r\n"
                                                    "\n"
                                                    "\"q\"z,last,"));
    QStringList rows;
    for (qsizetype r = 0; r < table.rowCount(); ++r) {
        QStringList cells;
        for (const QStringView cell : table.row(r))
            cells << cell.toString();
        rows << QString::number(table.line(r)) + ":" + cells.join('|');
    }
    QCOMPARE(rows, QStringList({"1:a| b |c,\"d\"\t|", "2:two\nlines|x", "4:", "5:qz|last|"}));
}

QTEST_GUILESS_MAIN(TestBillReaders)
#include "tst_billreaders.moc"
