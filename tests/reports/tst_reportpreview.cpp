#include "core/reports/Report.h"
#include "support/TestSupport.h"
#include "widgets/ReportPreview.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The print preview draws the pages in view only, pages through a long report
// and saves all of it.
class TestReportPreview : public QObject
{
    Q_OBJECT
private slots:
    void onlyThePagesInViewAreRead();
    void aSavedPdfHoldsEveryPage();
    void printingARangeReadsOnlyItsRows();
    void aReportOfManyPagesAsksFirst();
};

namespace {

const Report::Layout Incomes{
    "收入报表",
    {{"序号", Report::Kind::RowNumber}, {"日期"}, {"金额", Report::Kind::Money, true}, {"备注"}}};

// n rows that sum themselves; `handed` counts the rows read for pages.
Report::Source incomes(qint64 n, std::shared_ptr<qint64> handed)
{
    Report::Source source;
    source.rows = [n, handed](qint64 first, qint64 count) -> RowSource {
        const qint64 end = count < 0 ? n : std::min(n, first + count);
        return [i = first, end, handed](QVariantList &row) mutable {
            if (i >= end)
                return false;
            ++i;
            ++*handed;
            row = {i, "2026-01-01", 10000LL, QString("第%1笔").arg(i)};
            return true;
        };
    };
    source.totals = [n](const Report::Layout &) { return Report::Totals{n, {0, 0, n * 10000, 0}}; };
    return source;
}

int pdfPages(const QString &path)
{
    QFile pdf(path);
    if (!pdf.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = pdf.readAll();
    return int(data.count("/Type /Page\n") + data.count("/Type /Page\r"));
}

void showAndPaint(ReportPreview &preview)
{
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    preview.view()->viewport()->repaint();
}

} // namespace

void TestReportPreview::onlyThePagesInViewAreRead()
{
    auto handed = std::make_shared<qint64>(0);
    const Report::Document document(Incomes, incomes(70000, handed));
    ReportPreview preview(document);
    preview.resize(900, 700);
    showAndPaint(preview);
    QCOMPARE(Drive::text(&preview, "PageCount"), " / 2001 ");
    QCOMPARE(Drive::text(&preview, "PageNumber"), "1");
    QCOMPARE(Drive::text(&preview, "ZoomFactor"), "100%");
    QCOMPARE(preview.view()->heldPages(), QList<int>{0});
    QCOMPARE(*handed, 35);

    // The last page: its rows are read, the first page's image is let go.
    Drive::trigger(&preview, "LastPage");
    preview.view()->viewport()->repaint();
    QCOMPARE(Drive::text(&preview, "PageNumber"), "2001");
    QVERIFY(preview.view()->heldPages().contains(2000));
    QVERIFY(!preview.view()->heldPages().contains(0));
    QVERIFY(*handed <= 4 * 35);

    // A page typed in is shown; zooming keeps it and draws it again.
    Drive::setText(&preview, "PageNumber", "5");
    QTest::keyClick(Drive::widget(&preview, "PageNumber"), Qt::Key_Return);
    QCOMPARE(preview.view()->currentPage(), 4);
    Drive::trigger(&preview, "ZoomIn");
    QCOMPARE(Drive::text(&preview, "ZoomFactor"), "125%");
    QCOMPARE(Drive::text(&preview, "PageNumber"), "5");
    // Many small pages to a row: still only those in view are drawn.
    Drive::trigger(&preview, "AllPages");
    preview.view()->viewport()->repaint();
    QVERIFY(preview.view()->heldPages().size() > 4);
    QVERIFY(preview.view()->heldPages().size() < 200);
}

void TestReportPreview::aSavedPdfHoldsEveryPage()
{
    auto handed = std::make_shared<qint64>(0);
    const Report::Document document(Incomes, incomes(40 * 35, handed));
    ReportPreview preview(document);
    QTemporaryDir dir;
    const QString path = dir.filePath("收入报表.pdf");
    QVERIFY(preview.saveAsPdf(path));
    QCOMPARE(pdfPages(path), 41);
    QCOMPARE(*handed, 40 * 35);
}

void TestReportPreview::printingARangeReadsOnlyItsRows()
{
    auto handed = std::make_shared<qint64>(0);
    const Report::Document document(Incomes, incomes(40 * 35, handed));
    ReportPreview preview(document);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("printed.pdf"));
    // Pages 3 to 5, as the print dialog's range gives them.
    QVERIFY(preview.printPages(printer, 2, 4));
    QCOMPARE(*handed, 3 * 35);
    QCOMPARE(pdfPages(dir.filePath("printed.pdf")), 3);
}

void TestReportPreview::aReportOfManyPagesAsksFirst()
{
    MessageRecorder messages;
    int shown = 0;
    Report::setPresenter([&shown](QWidget *, const Report::Document &) { ++shown; });
    auto handed = std::make_shared<qint64>(0);
    messages.answer(QMessageBox::No);
    Report::preview(nullptr, Incomes, incomes(Report::ManyPages * 35, handed));
    QCOMPARE(messages.lastText(), "该报表共有 1,001 页，要打开打印预览吗？");
    QCOMPARE(shown, 0);
    messages.clear();
    Report::preview(nullptr, Incomes, incomes(Report::ManyPages * 35 - 1, handed));
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(shown, 1);
    Report::setPresenter({});
}

QTEST_MAIN(TestReportPreview)
#include "tst_reportpreview.moc"
