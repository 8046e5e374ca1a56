#include "widgets/WorkbookExport.h"

#include "data/Background.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"
#include "widgets/WorkProgress.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <optional>

namespace Xlsx {

namespace {

using RowsOf = std::function<RowSource(Background::Context &work)>;

// Writes the workbook on the worker while the program waits; the failure's reason,
// empty when written, nullopt when the user cancelled.
std::optional<QString> writeOnWorker(QWidget *parent, const QString &path, const Sheet &sheet,
                                     const RowsOf &rowsOf, qint64 expectedRows)
{
    try {
        return WorkProgress::run(
            parent, QStringLiteral("正在导出到电子表格……"),
            [path, sheet, rowsOf, expectedRows](Background::Context &work) {
                const RowSource rows = rowsOf(work);
                return write(path, sheet, rows, [&work, expectedRows](qint64 written) {
                    work.progress(expectedRows > 0
                                      ? int(qMin<qint64>(100, 100 * written / expectedRows))
                                      : -1);
                    return !work.isCancelled();
                });
            },
            WorkProgress::Cancel::Allowed);
    } catch (const Background::Cancelled &) {
        return std::nullopt;
    } catch (const DbError &e) {
        return e.message();
    }
}

QString exportWith(QWidget *parent, const QString &reportName, const Sheet &sheet,
                   const RowsOf &rowsOf, qint64 expectedRows)
{
    const QString folder = exportFolder();
    if (!QDir().mkpath(folder)) {
        Msg::error(parent,
                   QStringLiteral("无法创建导出文件夹：%1").arg(QDir::toNativeSeparators(folder)));
        return {};
    }
    const QString path = newExportPath(folder, reportName);
    const std::optional<QString> failure = writeOnWorker(parent, path, sheet, rowsOf, expectedRows);
    if (!failure)
        return {};
    if (!failure->isEmpty()) {
        Msg::error(parent, QStringLiteral("无法导出到文件 %1：\n%2")
                               .arg(QDir::toNativeSeparators(path), *failure));
        return {};
    }
    if (!desktopOpensWorkbooks() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        Msg::plain(parent, QStringLiteral("已导出到文件：\n%1\n\n没有找到可以打开电子表格的程序，"
                                          "请用电子表格程序打开该文件。")
                               .arg(QDir::toNativeSeparators(path)));
    return path;
}

} // namespace

QString exportAndOpen(QWidget *parent, const QString &reportName, const Sheet &sheet,
                      const RowSource &rows, qint64 expectedRows)
{
    return exportWith(
        parent, reportName, sheet, [rows](Background::Context &) { return rows; }, expectedRows);
}

QString exportAndOpen(QWidget *parent, const QString &reportName, const Sheet &sheet,
                      const RowsOpener &open, qint64 expectedRows)
{
    return exportWith(
        parent, reportName, sheet,
        [open](Background::Context &work) { return open(work.database()); }, expectedRows);
}

} // namespace Xlsx
