#include "core/reports/Report.h"
#include "data/Sql.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void pagesCarryTheirOwnCountsAndSumsAndTheLastTheTotals();
    void aReportWithoutRowsStillHasItsTitleAndTotals();
    void valuesAreFormattedAndPlacedOnTheGrid();
    void rowsAreNumberedAcrossPagesInSixDigitsRoom();
    void aWideReportShrinksItsColumnsToThePage();
    void aShareIsTotalledAsTheShareOfTheSums();
    void rendersToPdfAndImage();
    void aSavedPdfGivesBackItsChineseText();
    void aFailedPdfLeavesTheOldFileAndSaysWhy();
    void aDocumentDrawsAnyPageAloneFromItsOwnRows();
    void tableRowsFindAPageByItsKeys();
};

namespace {

struct Text
{
    QRectF rect;
    QString text;
    Qt::Alignment align;
    Report::Looks looks;
};

// Keeps what each page shows, for checking instead of looking.
class RecordingCanvas : public Report::Canvas
{
public:
    QList<QList<Text>> pages{{}};
    int lines = 0;
    bool newPage() override
    {
        pages.append(QList<Text>());
        return true;
    }
    void text(const QRectF &mm, const QString &text, Qt::Alignment align,
              Report::Looks looks) override
    {
        pages.last().append({mm, text, align, looks});
    }
    void line(double, double, double, double) override { ++lines; }

    QStringList texts(int page) const
    {
        QStringList out;
        for (const Text &t : pages[page])
            out << t.text;
        return out;
    }
    const Text *find(int page, const QString &text) const
    {
        for (const Text &t : pages[page])
            if (t.text == text)
                return &t;
        return nullptr;
    }
};

const Report::Layout Debts{"家债务报表",
                           {{"序号", Report::Kind::RowNumber},
                            {"日期"},
                            {"债权人名"},
                            {"债务金额", Report::Kind::Money, true},
                            {"帐户名称"},
                            {"家庭成员"},
                            {"已还金额", Report::Kind::Money, true},
                            {"备注"}}};

// Rows first+1..end; row i owes i yuan and has repaid 0.5 yuan. `handed` counts
// the rows handed out.
RowSource debtRows(qint64 end, qint64 first = 0, std::shared_ptr<qint64> handed = {})
{
    return [end, i = first, handed](QVariantList &row) mutable {
        if (i >= end)
            return false;
        ++i;
        if (handed)
            ++*handed;
        row = {i, "2026-01-01", "老王", i * 10000, "现金", "爸爸", 5000LL, "借"};
        return true;
    };
}

// n debt rows found by their place.
Report::Source debtSource(qint64 n, std::shared_ptr<qint64> handed)
{
    return {[n, handed](qint64 first, qint64 count) {
        return debtRows(count < 0 ? n : std::min(n, first + count), first, handed);
    }};
}

} // namespace

void TestReport::pagesCarryTheirOwnCountsAndSumsAndTheLastTheTotals()
{
    RecordingCanvas canvas;
    // 35 rows fit a page; 80 rows make three pages.
    QCOMPARE(Report::render(Debts, debtRows(80), canvas), 3);
    QCOMPARE(canvas.pages.size(), 3);
    for (int page = 0; page < 3; ++page) {
        QVERIFY(canvas.find(page, "家债务报表"));
        QVERIFY(canvas.find(page, QString("第 %1 页").arg(page + 1)));
        QVERIFY(canvas.find(page, "青禾簿"));
    }
    // Page 1: rows 1..35 owe 630; page 2: rows 36..70 owe 1855; page 3: 71..80 owe 755.
    QVERIFY(canvas.find(0, "本页合计 35") && canvas.find(0, "630.00") && canvas.find(0, "17.50"));
    QVERIFY(canvas.find(1, "本页合计 35") && canvas.find(1, "1,855.00"));
    QVERIFY(canvas.find(2, "本页合计 10") && canvas.find(2, "755.00") && canvas.find(2, "5.00"));
    // The overall count and sums once, after the last row.
    QVERIFY(!canvas.find(0, "合计 80") && !canvas.find(1, "合计 80"));
    QVERIFY(canvas.find(2, "合计 80") && canvas.find(2, "3,240.00") && canvas.find(2, "40.00"));
    QVERIFY(canvas.find(2, "合计 80")->rect.top() < canvas.find(2, "本页合计 10")->rect.top());
    QVERIFY(canvas.find(2, "合计 80")->looks & Report::Bold);
    QVERIFY(canvas.find(2, "3,240.00")->looks & Report::Bold);
    QVERIFY(!(canvas.find(2, "755.00")->looks & Report::Bold));

    // A last page that is full sends the summary to a page of its own.
    RecordingCanvas full;
    QCOMPARE(Report::render(Debts, debtRows(35), full), 2);
    QVERIFY(full.find(1, "合计 35") && full.find(1, "本页合计 0"));
}

void TestReport::aReportWithoutRowsStillHasItsTitleAndTotals()
{
    RecordingCanvas canvas;
    QCOMPARE(Report::render(Debts, debtRows(0), canvas), 1);
    const QStringList texts = canvas.texts(0);
    QVERIFY(texts.contains("家债务报表"));
    QVERIFY(texts.contains("合计 0"));
    QVERIFY(texts.contains("0.00"));
    // One page: its total is the report's, not repeated at its foot.
    QVERIFY(!texts.contains("本页合计 0"));
    QVERIFY(!texts.contains("老王"));
}

void TestReport::valuesAreFormattedAndPlacedOnTheGrid()
{
    RecordingCanvas canvas;
    const RowSource one = [done = false](QVariantList &row) mutable {
        row = {7, "2026-02-03", "老王", 1234567890LL, "现金", QVariant(), 0LL, "备注'%"};
        return !std::exchange(done, true);
    };
    Report::render(Debts, one, canvas, QDateTime({2026, 2, 3}, {4, 5, 6}));
    QVERIFY(canvas.find(0, "打印时间：2026-02-03 04:05"));
    // The row's number, not its key, right-aligned in the 16 mm first column.
    QVERIFY(!canvas.find(0, "7"));
    const Text *number = canvas.find(0, "1");
    QVERIFY(number && (number->align & Qt::AlignRight));
    QCOMPARE(number->rect.left(), 2.0);
    QCOMPARE(number->rect.width(), 12.0);
    // Money as the grids show it, right-aligned, in the column starting at 64 mm.
    const Text *amount = canvas.find(0, "123,456.79");
    QVERIFY(amount && (amount->align & Qt::AlignRight));
    QCOMPARE(amount->rect.left(), 66.0);
    // The last column takes the rest of the width.
    const Text *remark = canvas.find(0, "备注'%");
    QVERIFY(remark && (remark->align & Qt::AlignLeft));
    QCOMPARE(remark->rect.left(), 162.0);
    QCOMPARE(remark->rect.right(), 188.0);
    QVERIFY(canvas.lines > 0);
}

void TestReport::rowsAreNumberedAcrossPagesInSixDigitsRoom()
{
    // 100,010 rows, each holding 7 where the number goes.
    const qint64 n = 100010;
    const auto rows = [n](qint64 first, qint64 count) -> RowSource {
        const qint64 end = count < 0 ? n : std::min(n, first + count);
        return [i = first, end](QVariantList &row) mutable {
            row = {7, "2026-01-01", "老王", 10000LL, "现金", "爸爸", -5000LL, ""};
            return i++ < end;
        };
    };
    const Report::Document document(Debts, {rows, [n](const Report::Layout &) {
                                                return Report::Totals{n, {}};
                                            }});
    QCOMPARE(document.pageCount(), 2858);
    RecordingCanvas page;
    document.drawPage(2857, page);
    QVERIFY(page.find(0, "第 2,858 页 / 共 2,858 页"));
    QVERIFY(page.find(0, "99996") && page.find(0, "100010") && !page.find(0, "7"));
    // The number fits its column whole; a negative amount is printed in red.
    const Text *number = page.find(0, "100000");
    QVERIFY(number);
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    const Report::PainterCanvas canvas(painter, image.logicalDpiX(), [] { return false; });
    QCOMPARE(canvas.fitted("100000", number->rect.width()), QString("100000"));
    QVERIFY(page.find(0, "-0.50")->looks & Report::Negative);
}

void TestReport::aWideReportShrinksItsColumnsToThePage()
{
    // A monthly statement with its budget columns: wider than the page at the usual widths.
    using K = Report::Kind;
    const Report::Layout wide{"收支月统计表",
                              {{"序号", K::RowNumber},
                               {"月份"},
                               {"收入金额", K::Money},
                               {"收入笔数", K::Count},
                               {"支出金额", K::Money},
                               {"支出笔数", K::Count},
                               {"结余金额", K::Money},
                               {"支出占收入", K::Ratio},
                               {"预算", K::Money},
                               {"预算剩余", K::Money},
                               {"预算已用", K::Ratio}}};
    RecordingCanvas canvas;
    Report::render(
        wide,
        [done = false](QVariantList &row) mutable {
            row = {1, "2026-12", 0LL, 0, 0LL, 0, 0LL, 0LL, 0LL, 1234567800LL, 0LL};
            return !std::exchange(done, true);
        },
        canvas);
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    const Report::PainterCanvas real(painter, image.logicalDpiX(), [] { return false; });
    // Every title and a household's amount whole, the last column inside the page.
    for (const Report::Column &column : wide.columns) {
        const Text *title = canvas.find(0, column.title);
        QVERIFY(title);
        QCOMPARE(real.fitted(column.title, title->rect.width(), Report::Plain, title->align),
                 column.title);
    }
    const Text *month = canvas.find(0, "2026-12");
    QCOMPARE(real.fitted(month->text, month->rect.width()), month->text);
    const Text *amount = canvas.find(0, "123,456.78");
    QCOMPARE(real.fitted(amount->text, amount->rect.width(), Report::Plain, amount->align),
             amount->text);
    QVERIFY(canvas.find(0, "预算已用")->rect.right() <= Report::PrintableWidthMm);
    QCOMPARE(canvas.find(0, "1")->rect.width(), 12.0);
}

void TestReport::aShareIsTotalledAsTheShareOfTheSums()
{
    const Report::Layout statement{"收支月统计表",
                                   {{"序号", Report::Kind::RowNumber},
                                    {"收入金额", Report::Kind::Money, true},
                                    {"支出金额", Report::Kind::Money, true},
                                    {"支出占收入", Report::Kind::Ratio, false, 0, 2, 1}}};
    const QList<QVariantList> months{{{}, 1000000LL, 750000LL, 7500LL},
                                     {{}, 3000000LL, 100000LL, 333LL}};
    RecordingCanvas canvas;
    Report::render(
        statement,
        [i = 0, &months](QVariantList &row) mutable {
            if (i == months.size())
                return false;
            row = months[i++];
            return true;
        },
        canvas);
    // 85 of 400: 21.25%, to one decimal.
    QVERIFY(canvas.find(0, "合计 2") && canvas.find(0, "400.00") && canvas.find(0, "85.00"));
    QVERIFY(canvas.find(0, "21.3%"));
}

void TestReport::rendersToPdfAndImage()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        QPainter painter(&pdf);
        Report::PainterCanvas canvas(painter, pdf.resolution(), [&pdf] { return pdf.newPage(); });
        QCOMPARE(Report::render(Debts, debtRows(100), canvas), 3);
    }
    QVERIFY(buffer.data().startsWith("%PDF"));
    QCOMPARE(buffer.data().count("/Type /Page\n") + buffer.data().count("/Type /Page\r"), 3);

    const QImage page = Report::firstPage(Debts, debtRows(3));
    QCOMPARE(page.size(), QSize(992, 1403));
    QVERIFY(page.pixel(20, 20) == qRgb(255, 255, 255));
    // Something is drawn where the header's frame runs (20 mm from the margin).
    const int y = qRound((10 + 20) * 120 / 25.4);
    bool ruled = false;
    for (int dy = -2; dy <= 2; ++dy)
        ruled = ruled || page.pixel(page.width() / 2, y + dy) != qRgb(255, 255, 255);
    QVERIFY(ruled);
}

void TestReport::aSavedPdfGivesBackItsChineseText()
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    // Characters whose glyphs CJK fonts share with the Kangxi radicals.
    const Report::Layout expenses{"家支出报表",
                                  {{"序号", Report::Kind::RowNumber},
                                   {"支出类别"},
                                   {"帐户名称"},
                                   {"金额", Report::Kind::Money, true},
                                   {"备注"}}};
    const RowSource one = [done = false](QVariantList &row) mutable {
        row = {1, "食品", "中行长城卡", 123400LL, "一月二日 人民币 金额 收入"};
        return !std::exchange(done, true);
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("支出报表.pdf");
    QCOMPARE(Report::writePdf(path, expenses, one), QString());
    QProcess extract;
    extract.start(pdftotext, {path, "-"});
    QVERIFY(extract.waitForFinished(60000));
    const QString text = QString::fromUtf8(extract.readAllStandardOutput());
    for (const char *shown : {"家支出报表", "支出类别", "帐户名称", "食品", "中行长城卡",
                              "一月二日 人民币 金额 收入", "12.34", "合计 1", "青禾簿"})
        QVERIFY2(text.contains(QString::fromUtf8(shown)), shown);
}

void TestReport::aFailedPdfLeavesTheOldFileAndSaysWhy()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("债务.pdf");
    const auto contents = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(Report::writePdf(path, Debts, debtRows(3)), QString());
    const QByteArray good = contents();
    QVERIFY(good.startsWith("%PDF"));

    // The statement fails on the second page: the report saved before stays.
    const RowSource failing = [n = 0](QVariantList &row) mutable {
        if (++n > 50)
            throw DbError("数据没有读出：读写数据文件时磁盘出错。");
        row = {n, "2026-01-01", "老王", 10000LL, "现金", "爸爸", 0LL, ""};
        return true;
    };
    QCOMPARE(Report::writePdf(path, Debts, failing),
             QString("数据没有读出：读写数据文件时磁盘出错。"));
    QCOMPARE(contents(), good);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"债务.pdf"});

    // A folder that cannot exist (its name is a file's) is said so.
    QVERIFY(Report::writePdf(path + "/a.pdf", Debts, debtRows(1)).startsWith("无法创建文件"));
    QCOMPARE(contents(), good);
}

void TestReport::aDocumentDrawsAnyPageAloneFromItsOwnRows()
{
    const QDateTime at({2026, 2, 3}, {4, 5, 6});
    auto handed = std::make_shared<qint64>(0);
    const Report::Document document(Debts, debtSource(80, handed), at);
    // A source that does not sum itself is read once for the totals.
    QCOMPARE(*handed, 80);
    QCOMPARE(document.pageCount(), 3);
    RecordingCanvas whole;
    QCOMPARE(document.drawPages(whole), 3);
    for (int page : {2, 0, 1}) {
        *handed = 0;
        RecordingCanvas alone;
        document.drawPage(page, alone);
        QCOMPARE(*handed, page == 2 ? 10 : 35);
        QCOMPARE(alone.texts(0), whole.texts(page));
    }
    // A range of pages in one pass, as printing pages 2 to 3 does.
    RecordingCanvas range;
    QCOMPARE(document.drawPages(range, 1, 2), 2);
    QCOMPARE(range.texts(0), whole.texts(1));
    QCOMPARE(range.texts(1), whole.texts(2));
}

void TestReport::tableRowsFindAPageByItsKeys()
{
    TestEnvironment env;
    // 75 incomes of 家 between rows of another book, 1 yuan more each.
    for (int i = 1; i <= 75; ++i)
        for (const char *book : {"别家", "家"}) {
            Seed seed(book);
            seed.income(QString("2026-01-%1").arg(i % 28 + 1, 2, 10, QChar('0')), "工资",
                        Money::fromUnits(i * 10000), "现金");
            seed.commit();
        }
    const Report::Layout incomes{
        "收入报表",
        {{"序号", Report::Kind::RowNumber}, {"日期"}, {"金额", Report::Kind::Money, true}}};
    const auto document = [&](const QString &book) {
        return Report::Document(incomes, Report::tableRows("InTable", {"ID", "IDate", "IMoney"},
                                                           Sql(" where BName=?", {book})));
    };
    const Report::Document home = document("家");
    QCOMPARE(home.totals().rows, 75);
    QCOMPARE(home.totals().sums, QList<qint64>({0, 0, 2850 * 10000}));
    QCOMPARE(home.pageCount(), 3);
    // The second page: the 36th to the 70th income, in the order of their keys.
    QList<qint64> keys;
    const RowSource second = home.rows(35, 35);
    for (QVariantList row; second(row);)
        keys << row[0].toLongLong();
    QCOMPARE(keys.size(), 35);
    QCOMPARE(keys.first(), Db::value("select ID from InTable where BName='家' and IMoney=360000"));
    QVERIFY(std::is_sorted(keys.begin(), keys.end()));
    RecordingCanvas last;
    home.drawPage(2, last);
    QVERIFY(last.find(0, "合计 75") && last.find(0, "2,850.00") && last.find(0, "本页合计 5"));

    const Report::Document none = document("无此帐簿");
    QCOMPARE(none.pageCount(), 1);
    RecordingCanvas empty;
    none.drawPage(0, empty);
    QVERIFY(empty.find(0, "合计 0"));
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
