#include "core/bills/XlsxSheet.h"

#include "core/bills/Bill.h"
#include "core/bills/ZipArchive.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace Xlsx {
namespace {

const QString WorkbookPart = QStringLiteral("xl/workbook.xml");

QString damaged(const QString &file)
{
    return QStringLiteral("文件“%1”不是完整的 Excel 工作簿（.xlsx），可能已损坏。").arg(file);
}

// What a sheet may hold: Excel's last column (XFD) and row, and the cells kept with
// the empty ones before each (a bill of 10^5 rows has some 1.2 million).
constexpr int MaxColumns = 16384;
constexpr int MaxRows = 1048576;
constexpr qsizetype MaxCells = 8'000'000;

// Every <t> of each <si>, runs joined; phonetic guides (<rPh>) left out.
QStringList sharedStrings(const QByteArray &xml)
{
    QStringList strings;
    QXmlStreamReader r(xml);
    int phonetic = 0;
    while (!r.atEnd()) {
        r.readNext();
        const auto name = r.name();
        if (r.isStartElement()) {
            if (name == QLatin1String("si"))
                strings << QString();
            else if (name == QLatin1String("rPh"))
                ++phonetic;
            else if (name == QLatin1String("t") && !phonetic && !strings.isEmpty())
                strings.last() += r.readElementText();
        } else if (r.isEndElement() && name == QLatin1String("rPh")) {
            --phonetic;
        }
    }
    return strings;
}

bool isDateFormatCode(QString code)
{
    // Quoted text and bracketed colours or conditions say nothing about dates.
    static const QRegularExpression noise(QStringLiteral("\"[^\"]*\"|\\[[^\\]]*\\]|\\\\."));
    code.remove(noise);
    return code.contains(QRegularExpression(QStringLiteral("[yYdDhHsS]|m{1,5}")));
}

// Per cell style index: whether its number format shows a date or a time.
QList<bool> dateStyles(const QByteArray &xml)
{
    QSet<int> dateFormats = {14, 15, 16, 17, 18, 19, 20, 21, 22, 45, 46, 47};
    QList<bool> styles;
    QXmlStreamReader r(xml);
    bool inCellXfs = false;
    while (!r.atEnd()) {
        r.readNext();
        const auto name = r.name();
        if (r.isEndElement() && name == QLatin1String("cellXfs"))
            inCellXfs = false;
        if (!r.isStartElement())
            continue;
        const auto attr = r.attributes();
        if (name == QLatin1String("numFmt") &&
            isDateFormatCode(attr.value(QLatin1String("formatCode")).toString()))
            dateFormats.insert(attr.value(QLatin1String("numFmtId")).toInt());
        else if (name == QLatin1String("cellXfs"))
            inCellXfs = true;
        else if (inCellXfs && name == QLatin1String("xf"))
            styles << dateFormats.contains(attr.value(QLatin1String("numFmtId")).toInt());
    }
    return styles;
}

// "B17" -> column 1 and row 17; false for what no sheet has.
bool readReference(QStringView reference, int *column, int *row)
{
    qsizetype i = 0;
    *column = 0;
    for (; i < reference.size() && i < 4; ++i) {
        const char16_t c = QChar::toUpper(reference[i].unicode());
        if (c < u'A' || c > u'Z')
            break;
        *column = *column * 26 + (c - u'A' + 1);
    }
    bool ok = false;
    *row = reference.mid(i).toInt(&ok);
    --*column;
    return ok && i > 0 && *column < MaxColumns && *row >= 1 && *row <= MaxRows;
}

QString numberText(const QString &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? QString::number(number, 'g', QLocale::FloatingPointShortest) : value;
}

// A serial day number of the 1900 date system, with the time of day as its fraction.
QString dateText(const QString &value)
{
    bool ok = false;
    const double serial = value.toDouble(&ok);
    if (!ok)
        return value;
    const qint64 seconds = qRound64(serial * 86400.0);
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return epoch.addSecs(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The part a workbook relation points to, from the workbook's folder.
QString partPath(const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    return QStringLiteral("xl/") + target;
}

QString sheetPart(const ZipArchive &zip, const QString &shownName, const QString &preferred)
{
    QXmlStreamReader workbook(zip.read(WorkbookPart));
    QString firstId, preferredId;
    while (!workbook.atEnd()) {
        workbook.readNext();
        if (!workbook.isStartElement() || workbook.name() != QLatin1String("sheet"))
            continue;
        QString id;
        for (const QXmlStreamAttribute &a : workbook.attributes())
            if (a.name() == QLatin1String("id"))
                id = a.value().toString();
        if (firstId.isEmpty())
            firstId = id;
        if (workbook.attributes().value(QLatin1String("name")) == preferred)
            preferredId = id;
    }
    const QString id = preferredId.isEmpty() ? firstId : preferredId;
    if (id.isEmpty())
        throw Bills::Error(damaged(shownName));
    QXmlStreamReader rels(zip.read(QStringLiteral("xl/_rels/workbook.xml.rels")));
    while (!rels.atEnd()) {
        rels.readNext();
        if (rels.isStartElement() && rels.name() == QLatin1String("Relationship") &&
            rels.attributes().value(QLatin1String("Id")) == id)
            return partPath(rels.attributes().value(QLatin1String("Target")).toString());
    }
    throw Bills::Error(damaged(shownName));
}

} // namespace

bool isWorkbook(const ZipArchive &zip)
{
    return zip.contains(WorkbookPart);
}

Bills::TextTable readSheet(const ZipArchive &zip, const QString &shownName,
                           const QString &preferred)
{
    const QString part = sheetPart(zip, shownName, preferred);
    if (!zip.contains(part))
        throw Bills::Error(damaged(shownName));
    const QString stringsPart = QStringLiteral("xl/sharedStrings.xml");
    const QStringList strings =
        zip.contains(stringsPart) ? sharedStrings(zip.read(stringsPart)) : QStringList();
    const QString stylesPart = QStringLiteral("xl/styles.xml");
    const QList<bool> dates =
        zip.contains(stylesPart) ? dateStyles(zip.read(stylesPart)) : QList<bool>();

    Bills::TextTable table;
    QXmlStreamReader r(zip.read(part));
    int rowNumber = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.name() == QLatin1String("row")) {
            const int number = r.attributes().value(QLatin1String("r")).toInt();
            rowNumber = number > 0 ? number : rowNumber + 1;
            table.addRow(rowNumber);
            continue;
        }
        if (r.name() != QLatin1String("c") || table.rowCount() == 0)
            continue;
        const auto attr = r.attributes();
        const QString reference = attr.value(QLatin1String("r")).toString();
        const QString type = attr.value(QLatin1String("t")).toString();
        const int style = attr.value(QLatin1String("s")).toInt();
        int column = int(table.row(table.rowCount() - 1).size()), row = rowNumber;
        if (!reference.isEmpty() && !readReference(reference, &column, &row))
            throw Bills::Error(
                damaged(shownName).chopped(1) +
                QStringLiteral("：单元格“%1”超出了工作表的范围。").arg(reference.left(40)));
        if (row != rowNumber || column >= MaxColumns)
            throw Bills::Error(damaged(shownName));
        QString value, inlineText;
        while (r.readNextStartElement()) {
            if (r.name() == QLatin1String("v"))
                value = r.readElementText();
            else if (r.name() == QLatin1String("is"))
                inlineText = r.readElementText(QXmlStreamReader::IncludeChildElements);
            else
                r.skipCurrentElement();
        }
        QString text;
        if (type == QLatin1String("s")) {
            const int index = value.toInt();
            if (index < 0 || index >= strings.size())
                throw Bills::Error(damaged(shownName));
            text = strings.at(index);
        } else if (type == QLatin1String("inlineStr")) {
            text = inlineText;
        } else if (type == QLatin1String("str") || type == QLatin1String("e")) {
            text = value;
        } else if (type == QLatin1String("b")) {
            text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else if (!value.isEmpty()) {
            text = dates.value(style) ? dateText(value) : numberText(value);
        }
        table.setCell(column, text);
        if (table.cellCount() > MaxCells)
            throw Bills::Error(QStringLiteral("文件“%1”的工作表有太多单元格（超过 %2 万个）：帐单"
                                              "不会这样大，请选择从微信导出的帐单文件。")
                                   .arg(shownName)
                                   .arg(MaxCells / 10000));
    }
    if (r.hasError())
        throw Bills::Error(damaged(shownName));
    return table;
}

} // namespace Xlsx
