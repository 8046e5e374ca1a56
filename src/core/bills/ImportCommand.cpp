#include "core/bills/ImportCommand.h"

#include "core/bills/BillImport.h"
#include "core/bills/BillReader.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace ImportCommand {
namespace {

constexpr int Failed = 1;
constexpr int Unmapped = 2;

QString usage()
{
    return QStringLiteral("用法：qinghebu-import --data-dir DIR --book NAME --password PW "
                          "[--zip-password PW] [--account '付款方式=帐户']... [--member NAME] "
                          "[--dry-run] FILE...");
}

// One line per file: what its rows are (what was or would be written).
QString summary(const Import::Plan &plan, int document, bool dryRun)
{
    std::array<int, Import::StatusCount> counts{};
    for (const Import::Line &line : plan.lines())
        if (line.document == document)
            ++counts[int(line.status)];
    using S = Import::Status;
    QString text = QStringLiteral("%1：新增 %2 条，重复 %3 条，跳过 %4 条，退款 %5 条")
                       .arg(plan.documents().at(document).name)
                       .arg(counts[int(S::New)])
                       .arg(counts[int(S::Duplicate)])
                       .arg(counts[int(S::Skipped)])
                       .arg(counts[int(S::Refund)]);
    if (counts[int(S::Transfer)] > 0)
        text += QStringLiteral("，转帐 %1 条").arg(counts[int(S::Transfer)]);
    if (counts[int(S::ToConfirm)] > 0)
        text += QStringLiteral("，待确认 %1 条（与其他帐单中的同一笔付款，没有导入）")
                    .arg(counts[int(S::ToConfirm)]);
    if (dryRun)
        text += QStringLiteral("（试运行，没有写入）");
    return text;
}

// A write that a full disk stopped can leave SQLite unable to roll back on its
// connection: the data file is then whole only with the journal beside it, until
// the file is next read. Opened anew, the file gets the journal played back before
// the command ends. Empty when the file is whole; else what to do.
QString restoreDataFile()
{
    Workspace *dm = Workspace::instance();
    const QString journal = dm->databasePath() + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal) || (dm->reopen() && !QFileInfo::exists(journal)))
        return {};
    return QStringLiteral("\n数据文件 %1 还没有恢复到导入之前：请在腾出磁盘空间后再运行一次本命令"
                          "或打开青禾簿，它会自动恢复；在那之前不要移动或复制数据文件夹里的文件。")
        .arg(QDir::toNativeSeparators(dm->databasePath()));
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("数据文件夹"),
                                     QStringLiteral("DIR"));
    const QCommandLineOption book(QStringLiteral("book"), QStringLiteral("帐簿名称"),
                                  QStringLiteral("NAME"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("帐簿密码"),
                                      QStringLiteral("PW"));
    const QCommandLineOption zipPassword(QStringLiteral("zip-password"),
                                         QStringLiteral("压缩包的解压密码"), QStringLiteral("PW"));
    const QCommandLineOption account(QStringLiteral("account"),
                                     QStringLiteral("付款方式对应的帐户（记住，以后不用再给）"),
                                     QStringLiteral("付款方式=帐户"));
    const QCommandLineOption member(QStringLiteral("member"), QStringLiteral("家庭成员"),
                                    QStringLiteral("NAME"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("只检查，不写入"));
    parser.addOptions({dataDir, book, password, zipPassword, account, member, dryRun});
    const auto fail = [&err](const QString &message, int status = Failed) {
        err << message << Qt::endl;
        return status;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText() + QLatin1Char('\n') + usage());
    if (!parser.isSet(book) || !parser.isSet(password) || parser.positionalArguments().isEmpty())
        return fail(usage());
    const QString bookName = parser.value(book);
    try {
        // As the open-book dialog checks it.
        if (!BookStore::checkPassword(bookName, parser.value(password)))
            return fail(BookStore::bookExists(bookName)
                            ? QStringLiteral("密码错误：帐簿“%1”没有打开。").arg(bookName)
                            : QStringLiteral("没有名为“%1”的帐簿。").arg(bookName));
        Import::Plan plan(Import::Settings::load(bookName));
        Import::Settings &settings = plan.settings();
        if (parser.isSet(member) && !settings.hasMember(parser.value(member)))
            return fail(QStringLiteral("家庭成员“%1”不存在。").arg(parser.value(member)));
        QList<std::pair<QString, QString>> accounts;
        for (const QString &pair : parser.values(account)) {
            const QString method = pair.section(QLatin1Char('='), 0, 0).trimmed();
            const QString name = pair.section(QLatin1Char('='), 1).trimmed();
            if (method.isEmpty() || name.isEmpty())
                return fail(QStringLiteral("--account 应写成“付款方式=帐户”：%1").arg(pair));
            if (!settings.hasAccount(name))
                return fail(QStringLiteral("帐簿“%1”中没有帐户“%2”。").arg(bookName, name));
            accounts << std::pair{method, name};
        }
        QList<Bills::Document> documents;
        for (const QString &file : parser.positionalArguments())
            documents << Bills::readFile(file, parser.value(zipPassword));
        const bool trying = parser.isSet(dryRun);
        for (const auto &[method, name] : accounts)
            settings.overrideAccount(method, name);
        plan.setMember(parser.value(member));
        plan.add(documents);
        if (const QStringList unmapped = plan.unmappedMethods(); !unmapped.isEmpty())
            return fail(QStringLiteral("这些收/付款方式还没有对应的帐户：%1。\n请用 --account "
                                       "'付款方式=帐户' 指定（只需一次，以后会记住）。")
                            .arg(unmapped.join(QStringLiteral("、"))),
                        Unmapped);
        if (!trying && plan.chosenCount() > 0) {
            // The accounts given are remembered with what they imported, or not at all.
            Transaction transaction;
            for (const auto &[method, name] : accounts)
                settings.setAccount(method, name);
            Import::write(plan);
            transaction.commit();
        }
        for (int d = 0; d < plan.documents().size(); ++d)
            out << summary(plan, d, trying) << Qt::endl;
        // The same counts as the import window's, for all the files together.
        out << QStringLiteral("合计：") << Import::countsText(plan.tally(), QStringLiteral("，"))
            << Qt::endl;
    } catch (const Bills::Error &e) {
        return fail(e.message());
    } catch (const DbError &e) {
        return fail(e.message() + restoreDataFile());
    }
    return 0;
}

} // namespace ImportCommand
