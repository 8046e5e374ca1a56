#include "core/sync/SyncCommand.h"

#include "core/sync/ChangeFiles.h"
#include "core/sync/Exchange.h"
#include "data/Sql.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace SyncCommand {

namespace {

QString usage()
{
    return QStringLiteral(
        "用法：\n"
        "  qinghebu-sync --data-dir 数据文件夹 --folder 同步文件夹 --password 家庭同步密码 "
        "--computer 本机名称 (--share 帐簿... | --join [--name '帐簿=新名字']...)\n"
        "  qinghebu-sync --data-dir 数据文件夹 [--once]");
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("数据文件夹"),
                                     QStringLiteral("DIR"));
    const QCommandLineOption folder(QStringLiteral("folder"), QStringLiteral("同步文件夹"),
                                    QStringLiteral("DIR"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("家庭同步密码"),
                                      QStringLiteral("PW"));
    const QCommandLineOption computer(QStringLiteral("computer"), QStringLiteral("本机名称"),
                                      QStringLiteral("NAME"));
    const QCommandLineOption shareBooks(QStringLiteral("share"), QStringLiteral("共享的帐簿"),
                                        QStringLiteral("BOOK"));
    const QCommandLineOption joining(QStringLiteral("join"), QStringLiteral("加入已有的家庭同步"));
    const QCommandLineOption rename(QStringLiteral("name"),
                                    QStringLiteral("本机已有同名帐簿时，共享帐簿在本机的名字"),
                                    QStringLiteral("BOOK=NEW"));
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("同步一次"));
    parser.addOptions({dataDir, folder, password, computer, shareBooks, joining, rename, once});
    const auto fail = [&err](const QString &message) {
        err << message << Qt::endl;
        return 1;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText() + QLatin1Char('\n') + usage());
    try {
        if (parser.isSet(folder)) {
            if (!parser.isSet(password) || !parser.isSet(computer) ||
                parser.isSet(joining) == parser.isSet(shareBooks))
                return fail(usage());
            if (parser.isSet(shareBooks)) {
                Sync::setUpFirst(parser.value(folder), parser.value(password),
                                 parser.value(computer), parser.values(shareBooks));
                out << QStringLiteral("已建立家庭同步：%1 共享 %2。")
                           .arg(parser.value(computer),
                                parser.values(shareBooks).join(QStringLiteral("、")))
                    << Qt::endl;
                return 0;
            }
            QMap<QString, QString> renames;
            for (const QString &pair : parser.values(rename)) {
                const QString from = pair.section(QLatin1Char('='), 0, 0).trimmed();
                const QString to = pair.section(QLatin1Char('='), 1).trimmed();
                if (from.isEmpty() || to.isEmpty())
                    return fail(QStringLiteral("--name 应写成“帐簿=新名字”：%1").arg(pair));
                renames.insert(from, to);
            }
            Sync::join(parser.value(folder), parser.value(password), parser.value(computer),
                       renames);
            out << QStringLiteral("已加入家庭同步：%1。").arg(parser.value(computer)) << Qt::endl;
            return 0;
        }
        const Sync::Report report = Sync::exchange();
        out << report.summary() << Qt::endl;
        for (const QString &refused : report.refused)
            err << QStringLiteral("拒绝：") << refused << Qt::endl;
        for (const QString &newer : report.waiting)
            err << QStringLiteral("等待更新本程序：") << newer << Qt::endl;
        return report.stopped.isEmpty() ? 0 : fail(report.stopped);
    } catch (const Sync::SyncError &e) {
        return fail(e.message());
    } catch (const DbError &e) {
        return fail(e.message());
    }
}

} // namespace SyncCommand
