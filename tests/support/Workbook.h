#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <optional>

// The first sheet of an .xlsx file, read back with the `unzip` command: enough of
// it to check what an export wrote.
struct WorkbookCell
{
    QString value;   // text, or the number as written
    QString formula; // without "="
    bool isNumber = false;
    bool bordered = false;
    QString numberFormat; // the format code, e.g. "#,##0.00"; empty for General
};

struct Workbook
{
    bool ok = false;
    QMap<QString, WorkbookCell> cells; // by reference, "A1"
    QStringList merges;                // "A1:G1"
    QString footer;
    double bottomMargin = 0; // inches

    static Workbook read(const QString &path);
    WorkbookCell cell(const QString &ref) const { return cells.value(ref); }
    QString value(const QString &ref) const { return cells.value(ref).value; }
    // The last row that holds any cell.
    int lastRow() const;
};

// While it lives, exports go to a temporary folder, the desktop (as xdg-mime
// sees it) names a spreadsheet program, and the file that an export opens is
// recorded instead of handed to the desktop.
class ExportCapture : public QObject
{
    Q_OBJECT
public:
    ExportCapture();
    ~ExportCapture() override;
    QString folder() const { return m_dir.path(); }
    QStringList files() const;
    // The desktop names no program for workbooks from now on.
    void removeSpreadsheetProgram();
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_desktop;
    QMap<QByteArray, std::optional<QByteArray>> m_savedEnvironment;
};
