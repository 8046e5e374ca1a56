#include "core/reports/XlsxExport.h"

#include "core/ledger/Figures.h"
#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "data/Money.h"
#include "data/Sql.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <optional>
#include <xlsxwriter.h>

namespace Xlsx {
namespace {

constexpr int TitleRow = 0;
constexpr int HeaderRow = 1;
constexpr int FirstDataRow = 2;
constexpr int ProgressEvery = 500;
// 51.43 points, in the inches the library takes.
constexpr double BottomMarginInches = 360.0 / 7.0 / 72.0;

QString columnName(int column)
{
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

// The cell formats of one workbook, made once.
struct Formats
{
    lxw_format *title = nullptr;
    lxw_format *header = nullptr;
    lxw_format *text = nullptr;
    lxw_format *money = nullptr;
    lxw_format *date = nullptr;
    lxw_format *count = nullptr;
    lxw_format *percent = nullptr;

    Formats(lxw_workbook *book, bool decorated)
    {
        const auto make = [book, decorated] {
            lxw_format *f = workbook_add_format(book);
            if (decorated)
                format_set_border(f, LXW_BORDER_THIN);
            return f;
        };
        title = workbook_add_format(book);
        header = make();
        text = make();
        money = make();
        date = make();
        count = make();
        percent = make();
        if (decorated) {
            format_set_font_name(title, "宋体");
            format_set_font_size(title, 16);
            format_set_bold(title);
            format_set_font_size(header, 12);
            for (lxw_format *f : {title, header}) {
                format_set_align(f, LXW_ALIGN_CENTER);
                format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
            }
        }
        format_set_num_format(money, "#,##0.00;[Red]-#,##0.00");
        format_set_num_format(date, "yyyy-mm-dd");
        format_set_num_format(count, "0");
        format_set_num_format(percent, "0.0%;[Red]-0.0%");
    }

    lxw_format *of(Kind kind) const
    {
        switch (kind) {
        case Kind::Money:
            return money;
        case Kind::Date:
            return date;
        case Kind::Count:
            return count;
        case Kind::Percent:
            return percent;
        case Kind::Text:
            break;
        }
        return text;
    }
};

// Writes one sheet row by row (the workbook runs in constant-memory mode, so
// rows must come in order) and keeps the sums of the totals row.
class SheetWriter
{
public:
    SheetWriter(lxw_worksheet *sheet, const Sheet &layout, const Formats &formats)
        : m_sheet(sheet), m_layout(layout), m_formats(formats), m_sums(layout.columns.size(), 0)
    {
    }

    void writeTitleAndHeaders()
    {
        const int last = int(m_layout.columns.size());
        const QByteArray title = m_layout.title.toUtf8();
        if (m_layout.decorated) {
            worksheet_set_row(m_sheet, TitleRow, 24, nullptr);
            worksheet_merge_range(m_sheet, TitleRow, 0, TitleRow, last, title.constData(),
                                  m_formats.title);
            // Wide enough for six digits of the running number.
            worksheet_set_column(m_sheet, 0, 0, 8, nullptr);
            for (int c = 0; c < m_layout.columns.size(); ++c)
                worksheet_set_column(m_sheet, c + 1, c + 1, m_layout.columns[c].width, nullptr);
        } else {
            worksheet_write_string(m_sheet, TitleRow, 0, title.constData(), nullptr);
        }
        writeText(HeaderRow, 0, QStringLiteral("序号"), m_formats.header);
        for (int c = 0; c < m_layout.columns.size(); ++c)
            writeText(HeaderRow, c + 1, m_layout.columns[c].title, m_formats.header);
    }

    // False when the sheet cannot take another row.
    bool writeRow(const QVariantList &values)
    {
        const lxw_row_t row = FirstDataRow + m_rows;
        if (worksheet_write_number(m_sheet, row, 0, double(m_rows + 1), m_formats.count) !=
            LXW_NO_ERROR)
            return false;
        for (int c = 0; c < m_layout.columns.size(); ++c)
            writeValue(row, c, c < values.size() ? values[c] : QVariant());
        ++m_rows;
        return true;
    }

    void writeTotals()
    {
        const lxw_row_t row = FirstDataRow + m_rows;
        writeText(row, 0, QStringLiteral("合计"), m_formats.text);
        for (int c = 0; c < m_layout.columns.size(); ++c) {
            const Column &column = m_layout.columns[c];
            switch (column.total) {
            case Total::RowCount:
                writeFormula(row, c + 1, QStringLiteral("COUNT(A%1:A%2)"), double(m_rows),
                             m_formats.count);
                break;
            case Total::Sum:
                writeSum(row, c);
                break;
            case Total::Share:
                writeShare(row, c);
                break;
            case Total::None:
                blank(row, c + 1, m_formats.of(column.kind));
                break;
            }
        }
    }

    qint64 rows() const { return m_rows; }

private:
    void writeText(lxw_row_t row, int column, const QString &text, lxw_format *format)
    {
        if (text.isEmpty()) {
            blank(row, column, format);
            return;
        }
        const QByteArray utf8 = text.toUtf8();
        worksheet_write_string(m_sheet, row, lxw_col_t(column), utf8.constData(), format);
    }

    void blank(lxw_row_t row, int column, lxw_format *format)
    {
        if (m_layout.decorated)
            worksheet_write_blank(m_sheet, row, lxw_col_t(column), format);
    }

    void writeValue(lxw_row_t row, int c, const QVariant &value)
    {
        const Kind kind = m_layout.columns[c].kind;
        lxw_format *format = m_formats.of(kind);
        const lxw_col_t column = lxw_col_t(c + 1);
        if (value.isNull()) {
            blank(row, column, format);
            return;
        }
        switch (kind) {
        case Kind::Money:
        case Kind::Percent: {
            const qint64 units = Money::fromVariant(value).units();
            m_sums[c] += units;
            worksheet_write_number(m_sheet, row, column, double(units) / Money::Scale, format);
            return;
        }
        case Kind::Count:
            m_sums[c] += value.toLongLong();
            worksheet_write_number(m_sheet, row, column, value.toDouble(), format);
            return;
        case Kind::Date: {
            static const QDate excelEpoch(1899, 12, 30);
            const QDate date = QDate::fromString(value.toString(), Qt::ISODate);
            if (date.isValid()) {
                worksheet_write_number(m_sheet, row, column, double(excelEpoch.daysTo(date)),
                                       format);
                return;
            }
            break; // not a date: kept as the text it is
        }
        case Kind::Text:
            break;
        }
        writeText(row, column, value.toString(), m_formats.text);
    }

    // A sum of no rows is empty, as the database's sum of no rows is.
    void writeSum(lxw_row_t row, int c)
    {
        const Kind kind = m_layout.columns[c].kind;
        if (m_rows == 0) {
            blank(row, c + 1, m_formats.of(kind));
            return;
        }
        const double value = kind == Kind::Money || kind == Kind::Percent
                                 ? double(m_sums[c]) / Money::Scale
                                 : double(m_sums[c]);
        writeFormula(row, c + 1, QStringLiteral("SUM(%3%1:%3%2)").replace("%3", columnName(c + 1)),
                     value, m_formats.of(kind));
    }

    // The totals of two summed columns divided, 0 where the whole is 0.
    void writeShare(lxw_row_t row, int c)
    {
        const Column &column = m_layout.columns[c];
        if (m_rows == 0) {
            blank(row, c + 1, m_formats.percent);
            return;
        }
        const auto cell = [row](int other) {
            return columnName(other + 1) + QString::number(row + 1);
        };
        const Figures::Share &s = column.share;
        const QString part =
            s.ofRest ? QStringLiteral("(%1-%2)").arg(cell(s.whole), cell(s.part)) : cell(s.part);
        const QByteArray formula =
            QStringLiteral("IF(%1=0,0,%2/%1)").arg(cell(s.whole), part).toUtf8();
        const std::int64_t share =
            s.of(Money::fromUnits(m_sums.value(s.part)), Money::fromUnits(m_sums.value(s.whole)));
        worksheet_write_formula_num(m_sheet, row, lxw_col_t(c + 1), formula.constData(),
                                    m_formats.percent, double(share) / Money::Scale);
    }

    // `pattern` holds %1 and %2 for the first and last data row, as the sheet numbers them.
    void writeFormula(lxw_row_t row, int column, const QString &pattern, double value,
                      lxw_format *format)
    {
        if (m_rows == 0) {
            worksheet_write_number(m_sheet, row, lxw_col_t(column), value, format);
            return;
        }
        const QByteArray formula =
            pattern.arg(FirstDataRow + 1).arg(FirstDataRow + m_rows).toUtf8();
        worksheet_write_formula_num(m_sheet, row, lxw_col_t(column), formula.constData(), format,
                                    value);
    }

    lxw_worksheet *m_sheet;
    const Sheet &m_layout;
    const Formats &m_formats;
    QList<qint64> m_sums;
    qint64 m_rows = 0;
};

void setUpPage(lxw_worksheet *sheet)
{
    worksheet_set_margins(sheet, -1, -1, -1, BottomMarginInches);
    worksheet_set_footer(sheet, "&C青禾簿 共&N页，第&P页");
}

QString reasonOf(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("无法创建文件（文件夹不存在、没有写入权限或文件被占用）。");
    case LXW_ERROR_CREATING_TMPFILE:
        return QStringLiteral("无法创建临时文件（临时文件夹不可写或磁盘已满）。");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
        return QStringLiteral("写入文件时出错（磁盘可能已满）。");
    default:
        return QString::fromUtf8(lxw_strerror(error));
    }
}

} // namespace

QString write(const QString &path, const Sheet &sheet, const RowSource &rows,
              const Progress &progress)
{
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray partialName = QFile::encodeName(partial);
    lxw_workbook *book = workbook_new_opt(partialName.constData(), &options);
    if (!book)
        return QStringLiteral("无法创建工作簿（内存不足）。");
    lxw_worksheet *worksheet = workbook_add_worksheet(book, nullptr);
    const Formats formats(book, sheet.decorated);
    SheetWriter writer(worksheet, sheet, formats);
    writer.writeTitleAndHeaders();

    QString failure;
    QVariantList row;
    try {
        while (failure.isEmpty() && rows(row)) {
            if (!writer.writeRow(row))
                failure = QStringLiteral("行数超过了电子表格的上限（1048576 行）。");
            else if (progress && writer.rows() % ProgressEvery == 0 && !progress(writer.rows()))
                failure = QStringLiteral("导出已取消。");
        }
    } catch (const DbError &e) {
        failure = e.message();
    }
    if (failure.isEmpty()) {
        writer.writeTotals();
        setUpPage(worksheet);
    }
    const lxw_error closed = workbook_close(book);
    if (failure.isEmpty() && closed != LXW_NO_ERROR)
        failure = reasonOf(closed);
    if (failure.isEmpty() && QFile::exists(path) && !QFile::remove(path))
        failure = QStringLiteral("同名文件已存在且无法覆盖。");
    if (failure.isEmpty() && !QFile::rename(partial, path))
        failure = QStringLiteral("无法把临时文件改名为最终的文件名。");
    if (!failure.isEmpty())
        QFile::remove(partial);
    return failure;
}

QString exportFolder()
{
    const QString overridden = qEnvironmentVariable("QINGHEBU_EXPORT_DIR");
    if (!overridden.isEmpty())
        return overridden;
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return QDir(documents).filePath(QStringLiteral("青禾簿导出"));
}

QString fileName(const QString &book, const QString &report)
{
    QString name = book + QLatin1Char('-') + report + QLatin1Char('-') +
                   QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (QChar &c : name)
        if (QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return name + QStringLiteral(".xlsx");
}

QString newExportPath(const QString &folder, const QString &report)
{
    const QString name = fileName(Workspace::instance()->currentBook(), report);
    QString path = QDir(folder).filePath(name);
    for (int n = 2; QFile::exists(path); ++n)
        path = QDir(folder).filePath(QFileInfo(name).completeBaseName() +
                                     QStringLiteral("(%1).xlsx").arg(n));
    return path;
}

// Whether the desktop names a program that opens workbooks. Where files are
// handed on by xdg-open, QDesktopServices::openUrl succeeds as soon as xdg-open
// starts, whether or not anything can open the file; so ask xdg-mime first.
// Elsewhere openUrl's own answer holds.
bool desktopOpensWorkbooks()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(
        xdgMime,
        {QStringLiteral("query"), QStringLiteral("default"),
         QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
    if (!query.waitForFinished(10000)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
#else
    return true;
#endif
}

} // namespace Xlsx
