// qinghebu-pinyin [-o OPTIONS] [-m MAX] [-x] TEXT...
// Prints the pinyin code of each argument on a line of its own.

#include "data/PinyinCode.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

bool parseInt(const QString &text, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "qinghebu-pinyin: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("qinghebu-pinyin");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Prints the pinyin code of each TEXT (UTF-8) on a line of its own.\n"
        "Option bits: 1 whole syllables, 2 \"?\" for characters without reading,\n"
        "4 keep other ASCII and full-width characters.");
    parser.addHelpOption();
    const QCommandLineOption optionsOption({"o", "options"}, "Option bits (default 2).", "OPTIONS",
                                           "2");
    const QCommandLineOption maxOption({"m", "max"}, "Maximum length (default 255).", "MAX", "255");
    const QCommandLineOption hexOption({"x", "hex"},
                                       "Each TEXT is GBK bytes in hexadecimal, e.g. D6D0D0D0.");
    parser.addOption(optionsOption);
    parser.addOption(maxOption);
    parser.addOption(hexOption);
    parser.addPositionalArgument("TEXT", "Text to convert.", "TEXT...");
    parser.process(app);

    int options = 0;
    int maxLength = 0;
    if (!parseInt(parser.value(optionsOption), &options))
        return fail("OPTIONS is not a whole number: " + parser.value(optionsOption));
    if (!parseInt(parser.value(maxOption), &maxLength))
        return fail("MAX is not a whole number: " + parser.value(maxOption));
    const QStringList texts = parser.positionalArguments();
    if (texts.isEmpty())
        return fail("no TEXT given; see --help");

    for (const QString &text : texts) {
        QByteArray code;
        if (parser.isSet(hexOption)) {
            const QByteArray hex = text.toLatin1();
            const QByteArray bytes = QByteArray::fromHex(hex);
            if (hex.size() % 2 != 0 || bytes.toHex().compare(hex, Qt::CaseInsensitive) != 0)
                return fail("not hexadecimal bytes: " + text);
            code = PinyinCode(bytes, options, maxLength);
        } else {
            code = PinyinCode(text, options, maxLength).toLatin1();
        }
        std::fwrite(code.constData(), 1, code.size(), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
