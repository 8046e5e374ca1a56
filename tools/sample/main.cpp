// Writes a sample book of N entries into a data folder, for trying the program and
// for the benchmarks:
//
//   qinghebu-sample --data-dir DIR --book NAME --entries N [--seed S]
#include "core/books/SampleBook.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("写入一本样例帐簿：N 笔收入、支出和转帐，分布在最近十年。"));
    parser.addHelpOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("数据文件夹"),
                                     QStringLiteral("DIR"));
    const QCommandLineOption book(QStringLiteral("book"), QStringLiteral("帐簿名称"),
                                  QStringLiteral("NAME"));
    const QCommandLineOption entries(QStringLiteral("entries"), QStringLiteral("笔数"),
                                     QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("随机种子（默认 1）"),
                                  QStringLiteral("S"), QStringLiteral("1"));
    parser.addOptions({dataDir, book, entries, seed});
    parser.process(app);

    if (!parser.isSet(dataDir) || !parser.isSet(book) || !parser.isSet(entries))
        return fail(QStringLiteral("用法：qinghebu-sample --data-dir DIR --book NAME --entries N "
                                   "[--seed S]"));
    SampleBook::Options options;
    options.book = parser.value(book).trimmed();
    bool countOk = false, seedOk = false;
    options.entries = parser.value(entries).toLongLong(&countOk);
    options.seed = parser.value(seed).toULongLong(&seedOk);
    if (options.book.isEmpty())
        return fail(QStringLiteral("帐簿名称不能为空。"));
    if (!countOk || options.entries < 0)
        return fail(QStringLiteral("笔数必须是不小于 0 的整数。"));
    if (!seedOk)
        return fail(QStringLiteral("随机种子必须是不小于 0 的整数。"));

    // The data module finds the folder in --data-dir, as the program does.
    Workspace dm;
    if (!dm.isOpen())
        return fail(dm.openError());
    QElapsedTimer clock;
    clock.start();
    try {
        const SampleBook::Summary summary = SampleBook::write(options);
        QStringList counts;
        for (auto it = summary.entriesByTable.cbegin(); it != summary.entriesByTable.cend(); ++it)
            counts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        std::printf("%s\n",
                    qPrintable(QStringLiteral("已写入帐簿“%1”（%2）：%3 笔（%4），用时 %5 秒")
                                   .arg(options.book, dm.databasePath())
                                   .arg(options.entries)
                                   .arg(counts.join(QStringLiteral("，")))
                                   .arg(clock.elapsed() / 1000.0, 0, 'f', 1)));
    } catch (const DbError &e) {
        return fail(e.message());
    }
    return 0;
}
