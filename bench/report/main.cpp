// Renders a 1,000-page report to PDF with the report renderer and compares the time
// with a bare QPdfWriter loop that draws the same texts at the same places (goal:
// at most 2 times the bare loop). Also saves the first page as PNG when asked.
//
//   QT_QPA_PLATFORM=offscreen bench_report [PAGES] [first-page.png]

#include "core/reports/Report.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int RowsPerPage = 35;
constexpr int Rounds = 2;

const Report::Layout Income{"我家帐簿收入报表",
                            {{"序号", Report::Kind::RowNumber},
                             {"收入日期"},
                             {"收入类别"},
                             {"收入金额", Report::Kind::Money, true},
                             {"帐户名称"},
                             {"家庭成员"},
                             {"备注"}}};

QVariantList sampleRow(int i)
{
    return {i + 1,
            QStringLiteral("2026-01-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
            QStringLiteral("工资"),
            qlonglong(i % 100000) * 1234,
            QStringLiteral("工资卡"),
            QStringLiteral("张伟"),
            QStringLiteral("第%1笔收入").arg(i)};
}

void setUp(QPdfWriter &pdf)
{
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

double renderer(const QString &path, int rows)
{
    QElapsedTimer timer;
    timer.start();
    QPdfWriter pdf(path);
    setUp(pdf);
    QPainter painter(&pdf);
    Report::PainterCanvas canvas(painter, pdf.resolution(), [&pdf] { return pdf.newPage(); });
    int i = 0;
    Report::render(
        Income,
        [&i, rows](QVariantList &row) {
            if (i >= rows)
                return false;
            row = sampleRow(i++);
            return true;
        },
        canvas);
    painter.end();
    return timer.nsecsElapsed() / 1e9;
}

// The same texts drawn one by one at the same places, with no layout, rules or sums.
double bareLoop(const QString &path, int rows)
{
    QElapsedTimer timer;
    timer.start();
    QPdfWriter pdf(path);
    setUp(pdf);
    QPainter painter(&pdf);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Arial")});
    font.setPointSizeF(10);
    painter.setFont(font);
    const double mm = pdf.resolution() / 25.4;
    const double lefts[] = {0, 9, 33, 57, 81, 105, 129, 190};
    for (int i = 0; i < rows; ++i) {
        const int onPage = i % RowsPerPage;
        if (onPage == 0) {
            if (i > 0)
                pdf.newPage();
            painter.drawText(QRectF(0, 0, 190 * mm, 9 * mm), Qt::AlignCenter, Income.title);
            for (int c = 0; c < 7; ++c)
                painter.drawText(QRectF((lefts[c] + 2) * mm, 15 * mm, 20 * mm, 7 * mm),
                                 Qt::AlignCenter, Income.columns[c].title);
        }
        const QVariantList v = sampleRow(i);
        const double y = (22 + onPage * 7) * mm;
        for (int c = 0; c < 7; ++c)
            painter.drawText(
                QRectF((lefts[c] + 2) * mm, y, (lefts[c + 1] - lefts[c] - 4) * mm, 7 * mm),
                Qt::AlignLeft | Qt::AlignVCenter, v[c].toString());
    }
    painter.end();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rows = pages * RowsPerPage;
    if (argc > 2) {
        int i = 0;
        Report::firstPage(Income, [&i](QVariantList &row) {
            row = sampleRow(i++);
            return i <= RowsPerPage;
        }).save(QString::fromLocal8Bit(argv[2]));
    }
    QTemporaryDir dir;
    double ours = 1e9, bare = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        bare = std::min(bare, bareLoop(dir.filePath("bare.pdf"), rows));
        ours = std::min(ours, renderer(dir.filePath("ours.pdf"), rows));
    }
    std::printf("pages: %d (%d rows)\nbare QPdfWriter loop: %.3f s\nreport renderer:      %.3f s\n"
                "ratio: %.2f (goal <= 2.00)\n",
                pages, rows, bare, ours, ours / bare);
    return ours / bare <= 2.0 ? 0 : 1;
}
