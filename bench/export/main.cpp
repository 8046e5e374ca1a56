// Exports 100,000 income rows with the spreadsheet writer and compares the time
// with a bare libxlsxwriter loop that writes the same cells with the same formats
// (goal: at most 1.3 times the bare loop).
//
//   bench_export [ROWS]

#include "core/reports/XlsxExport.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <xlsxwriter.h>

namespace {

constexpr int Rounds = 3;

const QStringList Categories = {"工资", "奖金", "利息收入", "兼职"};
const QStringList Accounts = {"现金", "工资卡", "中行长城卡", "支付宝"};
const QStringList Members = {"张伟", "李娜"};

QVariantList sampleRow(int i)
{
    return {QDate(2020, 1, 1).addDays(i % 2000).toString(Qt::ISODate),
            Categories[i % Categories.size()],
            qlonglong(i % 100000) * 1234,
            Accounts[i % Accounts.size()],
            Members[i % Members.size()],
            QStringLiteral("第%1笔").arg(i)};
}

double ourWriter(const QString &path, int rows)
{
    const Xlsx::Sheet sheet{"我家帐簿-收入表",
                            {{"日期", Xlsx::Kind::Date, 10, Xlsx::Total::RowCount},
                             {"收入类别", Xlsx::Kind::Text, 12},
                             {"金额", Xlsx::Kind::Money, 10, Xlsx::Total::Sum},
                             {"帐户名称", Xlsx::Kind::Text, 12},
                             {"家庭成员", Xlsx::Kind::Text, 12},
                             {"备注", Xlsx::Kind::Text, 14}}};
    QElapsedTimer timer;
    timer.start();
    int i = 0;
    const QString failure = Xlsx::write(path, sheet, [&i, rows](QVariantList &row) {
        if (i >= rows)
            return false;
        row = sampleRow(i++);
        return true;
    });
    if (!failure.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(failure));
    return timer.nsecsElapsed() / 1e9;
}

// The same cells, straight into libxlsxwriter: the floor for any writer.
double bareLoop(const QString &path, int rows)
{
    QElapsedTimer timer;
    timer.start();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *text = workbook_add_format(book);
    lxw_format *money = workbook_add_format(book);
    lxw_format *date = workbook_add_format(book);
    lxw_format *count = workbook_add_format(book);
    for (lxw_format *f : {text, money, date, count})
        format_set_border(f, LXW_BORDER_THIN);
    format_set_num_format(money, "#,##0.00");
    format_set_num_format(date, "yyyy-mm-dd");
    format_set_num_format(count, "0");
    worksheet_merge_range(sheet, 0, 0, 0, 6, "我家帐簿-收入表", text);
    const QDate epoch(1899, 12, 30);
    for (int i = 0; i < rows; ++i) {
        const QVariantList v = sampleRow(i);
        const lxw_row_t r = lxw_row_t(i + 2);
        worksheet_write_number(sheet, r, 0, i + 1, count);
        worksheet_write_number(sheet, r, 1,
                               epoch.daysTo(QDate::fromString(v[0].toString(), Qt::ISODate)), date);
        worksheet_write_string(sheet, r, 2, v[1].toString().toUtf8().constData(), text);
        worksheet_write_number(sheet, r, 3, v[2].toLongLong() / 10000.0, money);
        for (int c = 3; c < 6; ++c)
            worksheet_write_string(sheet, r, lxw_col_t(c + 1), v[c].toString().toUtf8().constData(),
                                   text);
    }
    workbook_close(book);
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    double ours = 1e9, bare = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        bare = std::min(bare, bareLoop(dir.filePath("bare.xlsx"), rows));
        ours = std::min(ours, ourWriter(dir.filePath("ours.xlsx"), rows));
    }
    std::printf("rows: %d\nbare libxlsxwriter loop: %.3f s\nspreadsheet writer:      %.3f s\n"
                "ratio: %.2f (goal <= 1.30)\n",
                rows, bare, ours, ours / bare);
    return ours / bare <= 1.3 ? 0 : 1;
}
