#include "core/ledger/Workspace.h"
#include "core/reports/XlsxExport.h"
#include "support/TestSupport.h"
#include "support/Workbook.h"
#include "widgets/WorkbookExport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

class TestExport : public QObject
{
    Q_OBJECT
private slots:
    void rowsNumbersDatesAndFormulaTotals();
    void noRowsPutsTheTotalsInRowThree();
    void plainFormHasNoMergeOrBorders();
    void aFileThatCannotBeWrittenSaysWhyAndLeavesNothing();
    void exportGoesToTheFolderAndOpens();
    void withNoSpreadsheetProgramTheMessageSaysWhereTheFileIs();
    void cancellingALongExportLeavesNoFile();
};

namespace {

const Xlsx::Sheet Income{"家-收入表",
                         {{"日期", Xlsx::Kind::Date, 10, Xlsx::Total::RowCount},
                          {"收入类别", Xlsx::Kind::Text, 12},
                          {"金额", Xlsx::Kind::Money, 10, Xlsx::Total::Sum},
                          {"帐户名称", Xlsx::Kind::Text, 12},
                          {"家庭成员", Xlsx::Kind::Text, 12},
                          {"备注", Xlsx::Kind::Text, 14}}};

RowSource listRows(QList<QVariantList> rows)
{
    return [rows, i = 0](QVariantList &row) mutable {
        if (i >= rows.size())
            return false;
        row = rows[i++];
        return true;
    };
}

} // namespace

void TestExport::rowsNumbersDatesAndFormulaTotals()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.xlsx");
    const QString failure = Xlsx::write(
        path, Income,
        listRows({{"2026-03-01", "工资", 123456789LL, "工资卡", "爸爸", "三月 'a' 100%"},
                  {"2026-03-31", "奖金", 5000LL, "现金", QVariant(), QVariant()}}));
    QCOMPARE(failure, QString());
    QVERIFY(!QFile::exists(path + ".part"));
    const Workbook book = Workbook::read(path);
    QVERIFY(book.ok);

    QCOMPARE(book.merges, QStringList{"A1:G1"});
    QCOMPARE(book.value("A1"), QString("家-收入表"));
    QVERIFY(!book.cell("A1").bordered);
    const QStringList headers = {"序号",     "日期",     "收入类别", "金额",
                                 "帐户名称", "家庭成员", "备注"};
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(book.value(QChar('A' + c) + QString("2")), headers[c]);

    // Running numbers, a date as a date, an amount as a number with two decimals (red below 0).
    QCOMPARE(book.value("A3"), QString("1"));
    QCOMPARE(book.value("A4"), QString("2"));
    QVERIFY(book.cell("B3").isNumber);
    QCOMPARE(book.value("B3"), QString("46082")); // 2026-03-01
    QCOMPARE(book.cell("B3").numberFormat, QString("yyyy-mm-dd"));
    QCOMPARE(book.value("D3").toDouble(), 12345.6789);
    QCOMPARE(book.cell("D3").numberFormat, QString("#,##0.00;[Red]-#,##0.00"));
    QCOMPARE(book.value("G3"), QString("三月 'a' 100%"));

    // The totals row right under the rows: count and sum as formulas with values.
    QCOMPARE(book.lastRow(), 5);
    QCOMPARE(book.value("A5"), QString("合计"));
    QCOMPARE(book.cell("B5").formula, QString("COUNT(A3:A4)"));
    QCOMPARE(book.value("B5"), QString("2"));
    QCOMPARE(book.cell("D5").formula, QString("SUM(D3:D4)"));
    QCOMPARE(book.value("D5").toDouble(), 12346.1789);

    // Borders on every cell from A2 to the last column of the totals row.
    for (int row = 2; row <= 5; ++row)
        for (char c = 'A'; c <= 'G'; ++c)
            QVERIFY2(book.cell(QChar(c) + QString::number(row)).bordered,
                     qPrintable(QChar(c) + QString::number(row)));
    QCOMPARE(book.footer, QString("&C青禾簿 共&N页，第&P页"));
    QVERIFY(qAbs(book.bottomMargin - 360.0 / 7 / 72) < 0.001);
}

void TestExport::noRowsPutsTheTotalsInRowThree()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.xlsx");
    QCOMPARE(Xlsx::write(path, Income, listRows({})), QString());
    const Workbook book = Workbook::read(path);
    QCOMPARE(book.lastRow(), 3);
    QCOMPARE(book.value("A3"), QString("合计"));
    QCOMPARE(book.value("B3"), QString("0"));
    QCOMPARE(book.value("D3"), QString());
    QVERIFY(book.cell("D3").bordered);
    QVERIFY(book.cell("G3").bordered);
}

void TestExport::plainFormHasNoMergeOrBorders()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("plain.xlsx");
    const Xlsx::Sheet analysis{"家-收入分析表",
                               {{"统计的项", Xlsx::Kind::Text, 10, Xlsx::Total::RowCount},
                                {"金额", Xlsx::Kind::Money, 10, Xlsx::Total::Sum}},
                               false};
    QCOMPARE(Xlsx::write(path, analysis, listRows({{"工资", 10000LL}})), QString());
    const Workbook book = Workbook::read(path);
    QVERIFY(book.merges.isEmpty());
    QVERIFY(!book.cell("A2").bordered);
    QCOMPARE(book.value("A1"), QString("家-收入分析表"));
    QCOMPARE(book.value("C4").toDouble(), 1.0);
    QCOMPARE(book.footer, QString("&C青禾簿 共&N页，第&P页"));
}

void TestExport::aFileThatCannotBeWrittenSaysWhyAndLeavesNothing()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where a folder should be
    blocker.close();
    const QString path = dir.filePath("folder/a.xlsx");
    const QString failure = Xlsx::write(path, Income, listRows({{"2026-01-01"}}));
    QVERIFY(failure.contains("无法创建文件"));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(path + ".part"));

    // A failure half way (here: the user cancels) leaves no file either.
    const QString cut = dir.filePath("cut.xlsx");
    qint64 n = 0;
    const QString canceled = Xlsx::write(
        cut, {"t", {{"x", Xlsx::Kind::Count}}},
        [&n](QVariantList &row) {
            row = {++n};
            return n <= 5000;
        },
        [](qint64 written) { return written < 1000; });
    QVERIFY(canceled.contains("取消"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"folder"});
}

void TestExport::exportGoesToTheFolderAndOpens()
{
    TestEnvironment env;
    MessageRecorder messages;
    env.dm()->setCurrentBook("我的/帐簿");
    ExportCapture capture;
    const QString first = Xlsx::exportAndOpen(nullptr, "收入表", Income, listRows({}), 0);
    QVERIFY(QFile::exists(first));
    QCOMPARE(QFileInfo(first).absolutePath(), QFileInfo(capture.folder()).absoluteFilePath());
    QVERIFY(QFileInfo(first).fileName().startsWith("我的_帐簿-收入表-"));
    QCOMPARE(capture.opened, QList<QUrl>{QUrl::fromLocalFile(first)});
    QVERIFY(messages.messages.isEmpty());

    // No program opens it: the message says where it is; a second export in the
    // same second gets a name of its own.
    QDesktopServices::unsetUrlHandler("file"); // the offscreen desktop opens nothing
    const QString folder = capture.folder();
    const QString second = Xlsx::exportAndOpen(nullptr, "收入表", Income, listRows({}), 0);
    QVERIFY(second != first && QFile::exists(second));
    QVERIFY(messages.lastText().contains(QDir::toNativeSeparators(second)));
    QCOMPARE(QFileInfo(second).absolutePath(), QFileInfo(folder).absoluteFilePath());
}

void TestExport::withNoSpreadsheetProgramTheMessageSaysWhereTheFileIs()
{
    TestEnvironment env;
    MessageRecorder messages;
    env.dm()->setCurrentBook("家");
    ExportCapture capture;
    // The desktop would start xdg-open all the same (the handler accepts the file),
    // but nothing is there to open a workbook.
    capture.removeSpreadsheetProgram();
    const QString path = Xlsx::exportAndOpen(nullptr, "收入表", Income, listRows({}), 0);
    QVERIFY(QFile::exists(path));
    QVERIFY(capture.opened.isEmpty());
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.lastText().contains(QDir::toNativeSeparators(path)));
}

void TestExport::cancellingALongExportLeavesNoFile()
{
    TestEnvironment env;
    MessageRecorder messages;
    env.dm()->setCurrentBook("家");
    ExportCapture capture;
    QTimer::singleShot(600, [] { Drive::click(QApplication::activeModalWidget(), "ButCancel"); });
    // Rows that come slowly, as from a long statement, on the worker.
    const QString path = Xlsx::exportAndOpen(
        nullptr, "收入表", {"t", {{"x", Xlsx::Kind::Count}}},
        [n = 0](QVariantList &row) mutable {
            QThread::usleep(50);
            row = {++n};
            return n <= 100000;
        },
        100000);
    QVERIFY(path.isEmpty());
    QVERIFY(capture.files().isEmpty() && capture.opened.isEmpty());
    QVERIFY(messages.messages.isEmpty());
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
