#include "support/Workbook.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

QByteArray unzipped(const QString &path, const QString &member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
    unzip.waitForFinished(60000);
    return unzip.readAllStandardOutput();
}

// Per style index: whether the cell has borders, and its number format code.
struct Style
{
    bool bordered = false;
    QString numberFormat;
};

QList<Style> readStyles(const QByteArray &xml)
{
    QMap<int, QString> codes = {{14, QStringLiteral("m/d/yyyy")}};
    QList<bool> borderHasLine;
    QList<Style> styles;
    QXmlStreamReader r(xml);
    QString section;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const auto name = r.name();
        const auto attr = r.attributes();
        if (name == QLatin1String("numFmt"))
            codes[attr.value("numFmtId").toInt()] = attr.value("formatCode").toString();
        else if (name == QLatin1String("borders") || name == QLatin1String("cellXfs") ||
                 name == QLatin1String("cellStyleXfs"))
            section = name.toString();
        else if (section == QLatin1String("borders") && name == QLatin1String("border"))
            borderHasLine << false;
        else if (section == QLatin1String("borders") && attr.hasAttribute("style"))
            borderHasLine.last() = true;
        else if (section == QLatin1String("cellXfs") && name == QLatin1String("xf"))
            styles << Style{borderHasLine.value(attr.value("borderId").toInt()),
                            codes.value(attr.value("numFmtId").toInt())};
    }
    return styles;
}

} // namespace

Workbook Workbook::read(const QString &path)
{
    Workbook book;
    const QByteArray sheet = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    const QList<Style> styles = readStyles(unzipped(path, QStringLiteral("xl/styles.xml")));
    const QByteArray shared = unzipped(path, QStringLiteral("xl/sharedStrings.xml"));
    QStringList strings;
    for (QXmlStreamReader r(shared); !r.atEnd();)
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("t"))
            strings << r.readElementText();

    QXmlStreamReader r(sheet);
    QString ref, type;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const auto attr = r.attributes();
        const auto name = r.name();
        if (name == QLatin1String("c")) {
            ref = attr.value("r").toString();
            type = attr.value("t").toString();
            WorkbookCell &c = book.cells[ref];
            const Style style = styles.value(attr.value("s").toInt());
            c.bordered = style.bordered;
            c.numberFormat = style.numberFormat;
            c.isNumber = type.isEmpty() || type == QLatin1String("n");
        } else if (name == QLatin1String("f")) {
            book.cells[ref].formula = r.readElementText();
        } else if (name == QLatin1String("v")) {
            const QString v = r.readElementText();
            book.cells[ref].value = type == QLatin1String("s") ? strings.value(v.toInt()) : v;
        } else if (name == QLatin1String("t") && type == QLatin1String("inlineStr")) {
            book.cells[ref].value = r.readElementText();
        } else if (name == QLatin1String("mergeCell")) {
            book.merges << attr.value("ref").toString();
        } else if (name == QLatin1String("oddFooter")) {
            book.footer = r.readElementText();
        } else if (name == QLatin1String("pageMargins")) {
            book.bottomMargin = attr.value("bottom").toDouble();
        }
    }
    book.ok = !sheet.isEmpty();
    return book;
}

int Workbook::lastRow() const
{
    int last = 0;
    static const QRegularExpression digits(QStringLiteral("\\d+$"));
    for (auto it = cells.begin(); it != cells.end(); ++it)
        last = qMax(last, digits.match(it.key()).captured().toInt());
    return last;
}

namespace {
const char *const DesktopVariables[] = {"XDG_CURRENT_DESKTOP", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                        "XDG_DATA_HOME", "XDG_DATA_DIRS"};
}

ExportCapture::ExportCapture()
{
    qputenv("QINGHEBU_EXPORT_DIR", m_dir.path().toUtf8());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    // A desktop of its own, whose only association is a program for workbooks.
    for (const char *name : DesktopVariables)
        m_savedEnvironment[name] =
            qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
    for (const char *name :
         {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
        qputenv(name, m_desktop.path().toUtf8());
    QDir(m_desktop.path()).mkpath(QStringLiteral("applications"));
    QFile list(m_desktop.filePath(QStringLiteral("applications/defaults.list")));
    list.open(QIODevice::WriteOnly);
    list.write("[Default Applications]\n"
               "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet=sheet.desktop\n");
}

ExportCapture::~ExportCapture()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    qunsetenv("QINGHEBU_EXPORT_DIR");
    for (auto it = m_savedEnvironment.cbegin(); it != m_savedEnvironment.cend(); ++it)
        it.value() ? qputenv(it.key(), *it.value()) : qunsetenv(it.key());
}

void ExportCapture::removeSpreadsheetProgram()
{
    QFile::remove(m_desktop.filePath(QStringLiteral("applications/defaults.list")));
}

QStringList ExportCapture::files() const
{
    QStringList out;
    for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files))
        out << QDir(m_dir.path()).filePath(name);
    return out;
}
