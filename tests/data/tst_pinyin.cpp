#include "data/PinyinCode.h"
#include "data/PinyinTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <initializer_list>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

QByteArray code(int lead, int trail)
{
    return bytes({lead, trail});
}

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

// First codes of the pinyin sections of GB2312 level 1, which ends at 0xD7F9.
const struct
{
    int first;
    char letter;
} kSections[] = {{0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'},
                 {0xB7A2, 'F'}, {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'},
                 {0xC0AC, 'L'}, {0xC2E8, 'M'}, {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'},
                 {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'}, {0xCBFA, 'T'}, {0xCDDA, 'W'},
                 {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'}};

// Level-1 characters read otherwise than their section says; "" for no reading.
const struct
{
    int code;
    const char *syllable;
} kExceptions[] = {{0xB0D2, "PA"},     {0xB1D9, "PI"},   {0xB3A4, "ZHANG"}, {0xB3D7, "SHI"},
                   {0xB4B1, "ZHUANG"}, {0xB5D4, "ZHAI"}, {0xB5F7, "TIAO"},  {0xB6DA, "TUN"},
                   {0xB7F0, ""},       {0xB8AC, "PU"},   {0xB8F2, "HA"},    {0xB8F8, ""},
                   {0xBABB, "BEN"},    {0xBAD1, "MO"},   {0xBCF7, "KAN"},   {0xBDC4, "YAO"},
                   {0xBFA9, "GE"},     {0xC6D9, "BAO"},  {0xC9B2, "CHA"},   {0xCBDE, "XIU"},
                   {0xCFC3, "SHA"},    {0xD0AE, "JIA"},  {0xD0D0, "HANG"},  {0xD0F3, "CHU"},
                   {0xD3F5, "XU"},     {0xD4F8, "CENG"}, {0xD5A4, "SHAN"}};

QString toolPath()
{
    return QCoreApplication::applicationDirPath() + "/../tools/pinyin/qinghebu-pinyin";
}

// Runs the tool; returns its standard output, or a description of the failure.
QByteArray runTool(const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess tool;
    tool.start(toolPath(), arguments);
    if (!tool.waitForFinished(30000))
        return "<tool did not run: " + tool.errorString().toUtf8() + ">";
    if (exitCode)
        *exitCode = tool.exitCode();
    return tool.readAllStandardOutput();
}

} // namespace

class TestPinyin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(toolPath()).isExecutable(), qPrintable("not built: " + toolPath()));
    }

    // Unicode text through the convenience form: the documented cases and their neighbours.
    void text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("expected");

        QTest::newRow("工资") << u8("工资") << 2 << 255 << "GZ";
        QTest::newRow("现金") << u8("现金") << 2 << 255 << "XJ";
        QTest::newRow("银行手续费") << u8("银行手续费") << 2 << 255 << "YHSXF";
        QTest::newRow("其他收入") << u8("其他收入") << 2 << 255 << "QTSR";
        QTest::newRow("polyphones") << u8("中行长城卡") << 2 << 255 << "ZHZCK";
        QTest::newRow("佛 unread") << u8("佛山") << 2 << 255 << "?S";
        QTest::newRow("给 unread") << u8("给予") << 2 << 255 << "?Y";
        QTest::newRow("ascii") << "A1 b-2" << 2 << 255 << "A1B2";
        QTest::newRow("full-width keeps case") << u8("ａｂ１") << 2 << 255 << "ab1";
        QTest::newRow("full-width punctuation") << u8("Ａ！（") << 2 << 255 << "A";
        QTest::newRow("full-width punctuation kept") << u8("Ａ！（") << 6 << 255 << "A!(";
        QTest::newRow("greek") << u8("θ") << 2 << 255 << "TH";
        QTest::newRow("number form") << u8("⑿") << 2 << 255 << "12";
        QTest::newRow("number forms") << u8("ⅰ⒛①㈩Ⅻ") << 2 << 255 << "12011012";
        QTest::newRow("level 2 and extension") << u8("鑫淼焱") << 2 << 255 << "XMY";
        QTest::newRow("traditional") << u8("國們來蘇") << 2 << 255 << "GMLS";
        QTest::newRow("empty") << "" << 2 << 255 << "";
        QTest::newRow("whole syllables") << u8("中行") << 3 << 255 << "ZHONGHANG";
        QTest::newRow("greek then syllable") << u8("θ中") << 3 << 255 << "THZHONG";
        QTest::newRow("six letters") << u8("庄长") << 1 << 255 << "ZHUANGZHANG";
        QTest::newRow("u-umlaut") << u8("女绿略虐") << 1 << 255 << "NVLVLUENUE";
        QTest::newRow("options 0") << u8("A佛") << 0 << 255 << "A";
        QTest::newRow("options 4") << "a b" << 4 << 255 << "A B";
        QTest::newRow("high bits ignored") << u8("中 佛") << 8 + 2 << 255 << "Z?";
        QTest::newRow("negative options") << u8("中行") << -1 << 255 << "";
        QTest::newRow("cut to 255") << QString(300, 'a') << 2 << 255 << QString(255, 'A');
        QTest::newRow("cut inside a syllable") << u8("中行") << 1 << 7 << "ZHONGHA";
        QTest::newRow("max 0") << u8("中行") << 2 << 0 << "";
        QTest::newRow("max negative") << u8("中行") << 2 << -5 << "";
        QTest::newRow("not in GBK") << u8("中😀行ñ") << 2 << 255 << "Z?H?";
        QTest::newRow("not in GBK, options 0") << u8("中😀行") << 0 << 255 << "ZH";
        QTest::newRow("not in GBK, whole") << u8("中😀行") << 3 << 255 << "ZHONG?HANG";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "a" << 2 << 255 << "?A";
        QTest::newRow("euro is one non-ASCII byte") << u8("a€b") << 6 << 255 << "AB";
        QTest::newRow("symbol row unread") << u8("甲、乙") << 2 << 255 << "J?Y";
    }

    void text()
    {
        QFETCH(QString, text);
        QFETCH(int, options);
        QFETCH(int, maxLength);
        QFETCH(QString, expected);
        if (options == 2 && maxLength == 255)
            QCOMPARE(PinyinCode(text), expected);
        QCOMPARE(PinyinCode(text, options, maxLength), expected);
    }

    void textThroughTool_data() { text_data(); }
    void textThroughTool()
    {
        QFETCH(QString, text);
        QFETCH(int, options);
        QFETCH(int, maxLength);
        QFETCH(QString, expected);
        const QByteArray out =
            runTool({"-o", QString::number(options), "-m", QString::number(maxLength), "--", text});
        QCOMPARE(out, expected.toLatin1() + "\n");
    }

    // GBK bytes straight into the routine: malformed input and the symbol rows.
    void gbk_data()
    {
        QTest::addColumn<QByteArray>("gbk");
        QTest::addColumn<int>("options");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("lead at the end") << bytes({'A', 0xD6}) << 2 << QByteArray("A");
        QTest::newRow("lead before a digit") << bytes({0xD6, '1'}) << 2 << QByteArray("1");
        QTest::newRow("lead before a space, kept") << bytes({0xD6, ' '}) << 4 << QByteArray(" ");
        QTest::newRow("pair then lone lead") << bytes({0xD6, 0xD0, 0xD0}) << 2 << QByteArray("Z");
        QTest::newRow("lead 0xFF") << bytes({0xFF, 0xA1, 'a'}) << 2 << QByteArray("?A");
        QTest::newRow("trail 0xFF") << bytes({0xD6, 0xFF}) << 2 << QByteArray("?");
        QTest::newRow("trail 0x7F") << bytes({0xD6, 0x7F}) << 2 << QByteArray("?");
        QTest::newRow("unread, options 0") << bytes({0xD6, 0x7F, 'x'}) << 0 << QByteArray("X");
        QTest::newRow("ideographic space") << code(0xA1, 0xA1) << 2 << QByteArray("?");
        QTest::newRow("user-defined")
            << code(0xAA, 0xA1) + code(0xF8, 0xA1) << 2 << QByteArray("??");
        QTest::newRow("after level 1")
            << code(0xD7, 0xFA) + code(0xD7, 0xFE) << 2 << QByteArray("??");
        QTest::newRow("髟") << code(0xF7, 0xD4) << 3 << QByteArray("?");
        QTest::newRow("number form unassigned")
            << code(0xA2, 0xAB) + code(0xA2, 0xFE) << 2 << QByteArray("");
        QTest::newRow("number row below A1")
            << code(0xA2, 0xA0) + code(0xA2, 0x40) << 2 << QByteArray("??");
        QTest::newRow("greek capital") << code(0xA6, 0xA1) << 1 << QByteArray("A");
        QTest::newRow("greek outside")
            << code(0xA6, 0xB9) + code(0xA6, 0xD9) << 2 << QByteArray("??");
        QTest::newRow("full-width")
            << code(0xA3, 0xC1) + code(0xA3, 0xE1) + code(0xA3, 0xB1) << 2 << QByteArray("Aa1");
        QTest::newRow("row A3 below A1")
            << code(0xA3, 0xA0) + code(0xA3, 0x40) << 2 << QByteArray("");
        QTest::newRow("row A3 below A1, kept")
            << code(0xA3, 0xA0) + code(0xA3, 0x40) << 6 << QByteArray("");
        QTest::newRow("non-ASCII single bytes") << bytes({0x80, 0xD6, '-'}) << 6 << QByteArray("-");
        QTest::newRow("whole and kept")
            << bytes({0xD6, 0xD0, ' ', '-'}) << 5 << QByteArray("ZHONG -");
    }

    void gbk()
    {
        QFETCH(QByteArray, gbk);
        QFETCH(int, options);
        QFETCH(QByteArray, expected);
        QCOMPARE(PinyinCode(gbk, options, 255), expected);
    }

    void gbkThroughTool_data() { gbk_data(); }
    void gbkThroughTool()
    {
        QFETCH(QByteArray, gbk);
        QFETCH(int, options);
        QFETCH(QByteArray, expected);
        const QByteArray out = runTool({"-o", QString::number(options), "-x", gbk.toHex()});
        QCOMPARE(out, expected + "\n");
    }

    void toolArguments()
    {
        int exitCode = -1;
        QCOMPARE(runTool({u8("工资"), u8("佛山")}, &exitCode), QByteArray("GZ\n?S\n"));
        QCOMPARE(exitCode, 0);
        QCOMPARE(runTool({"--options=3", "--max=4", u8("中行")}, &exitCode), QByteArray("ZHON\n"));
        runTool({"-o", "two", "x"}, &exitCode);
        QCOMPARE(exitCode, 2);
        runTool({"-x", "D6D"}, &exitCode);
        QCOMPARE(exitCode, 2);
        runTool({}, &exitCode);
        QCOMPARE(exitCode, 2);
    }

    void numberFormsAndGreek()
    {
        const struct
        {
            int first, count;
        } forms[] = {{0xA1, 10}, {0xB1, 20}, {0xC5, 20}, {0xD9, 10}, {0xE5, 10}, {0xF1, 12}};
        for (const auto &form : forms) {
            for (int i = 0; i < form.count; ++i) {
                const QByteArray digits = QByteArray::number(i + 1);
                QCOMPARE(PinyinCode(code(0xA2, form.first + i), 0, 255), digits);
                QCOMPARE(PinyinCode(code(0xA2, form.first + i), 1, 255), digits);
            }
        }
        const char *greek[24] = {"A", "B", "G", "D", "E", "Z", "E", "TH", "I",  "K",  "L",  "M",
                                 "N", "X", "O", "P", "R", "S", "T", "U",  "PH", "KH", "PS", "O"};
        for (int i = 0; i < 24; ++i) {
            QCOMPARE(PinyinCode(code(0xA6, 0xA1 + i), 2, 255), QByteArray(greek[i]));
            QCOMPARE(PinyinCode(code(0xA6, 0xC1 + i), 3, 255), QByteArray(greek[i]));
        }
    }

    void level1Sections()
    {
        int checked = 0;
        for (int c = 0xB0A1; c <= 0xD7F9; ++c) {
            if ((c & 0xFF) < 0xA1 || (c & 0xFF) == 0xFF)
                continue;
            ++checked;
            char letter = 0;
            for (const auto &section : kSections) {
                if (c >= section.first)
                    letter = section.letter;
            }
            const QByteArray gbk = code(c >> 8, c & 0xFF);
            const auto *exception = std::find_if(std::begin(kExceptions), std::end(kExceptions),
                                                 [c](const auto &e) { return e.code == c; });
            const QByteArray initial = PinyinCode(gbk, 2, 255);
            if (exception == std::end(kExceptions)) {
                QVERIFY2(initial == QByteArray(1, letter),
                         qPrintable(QString("%1 gives %2").arg(c, 0, 16).arg(initial)));
                QCOMPARE(PinyinCode(gbk, 1, 255).left(1), initial);
            } else {
                const QByteArray syllable(exception->syllable);
                QCOMPARE(PinyinCode(gbk, 3, 255), syllable.isEmpty() ? "?" : syllable);
                QCOMPARE(initial, syllable.isEmpty() ? "?" : syllable.left(1));
            }
        }
        QCOMPARE(checked, 3755);
    }

    void level2AllRead()
    {
        int read = 0;
        for (int lead = 0xD8; lead <= 0xF7; ++lead) {
            for (int trail = 0xA1; trail <= 0xFE; ++trail) {
                const QByteArray initial = PinyinCode(code(lead, trail), 2, 255);
                if (lead == 0xF7 && trail == 0xD4) {
                    QCOMPARE(initial, QByteArray("?"));
                    continue;
                }
                QVERIFY2(
                    initial.size() == 1 && initial[0] >= 'A' && initial[0] <= 'Z',
                    qPrintable(
                        QString("%1%2 gives %3").arg(lead, 0, 16).arg(trail, 0, 16).arg(initial)));
                ++read;
            }
        }
        QCOMPARE(read, 3007);
    }

    void table()
    {
        using namespace PinyinTable;
        QCOMPARE(kSyllables[0].length, 0);
        QCOMPARE(kInitials[0], '\0');
        QVERIFY(kSyllableCount >= 400 && kSyllableCount < 500);
        QByteArray previous;
        QList<QByteArray> withV;
        for (int i = 1; i <= kSyllableCount; ++i) {
            const QByteArray s(kSyllables[i].letters, kSyllables[i].length);
            QVERIFY(s.size() >= 1 && s.size() <= 6);
            for (char ch : s)
                QVERIFY2(ch >= 'a' && ch <= 'z', s.constData());
            QVERIFY2(previous < s, s.constData()); // sorted, no duplicates
            QCOMPARE(kInitials[i], static_cast<char>(s[0] - 'a' + 'A'));
            if (s.contains('v'))
                withV.append(s);
            previous = s;
        }
        QCOMPARE(withV, QList<QByteArray>({"lv", "nv"}));

        QList<bool> used(kSyllableCount + 1, false);
        int level1 = 0, level2 = 0, extension3 = 0, extension4 = 0;
        for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
            for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
                const int number = kGrid[cellOf(lead, trail)];
                QVERIFY(number <= kSyllableCount);
                used[number] = true;
                const bool empty =
                    trail == 0x7F || (lead >= 0xA1 && lead <= 0xA9) ||
                    (trail >= 0xA1 && ((lead >= 0xAA && lead <= 0xAF) || lead >= 0xF8));
                if (number == 0)
                    continue;
                QVERIFY2(!empty, qPrintable(QString("%1%2").arg(lead, 0, 16).arg(trail, 0, 16)));
                if (lead <= 0xA0)
                    ++extension3;
                else if (trail <= 0xA0)
                    ++extension4;
                else if (lead <= 0xD7)
                    ++level1;
                else
                    ++level2;
            }
        }
        QVERIFY(!used.contains(false));
        QCOMPARE(level1, 3753);
        QCOMPARE(level2, 3007);
        // The published readings cover at least as much as the original table did.
        QVERIFY(extension3 >= 5988);
        QVERIFY(extension4 >= 7997);
    }

    void unencodableStandsAlone()
    {
        QCOMPARE(pinyinGbkBytes(u8("中😀行")), bytes({0xD6, 0xD0, 0xFF, 0xFF, 0xD0, 0xD0}));
        QCOMPARE(pinyinGbkBytes(u8("a中")), bytes({'a', 0xD6, 0xD0}));
    }
};

QTEST_GUILESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
