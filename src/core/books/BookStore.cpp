#include "core/books/BookStore.h"

#include "core/books/Password.h"
#include "core/ledger/AccountKinds.h"
#include "core/ledger/History.h"
#include "core/ledger/Sharing.h"
#include "core/ledger/Upgrade.h"
#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "data/Connection.h"
#include "data/Dates.h"
#include "data/FileDatabase.h"
#include "data/PinyinCode.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <filesystem>
#include <sqlite3.h>

namespace BookStore {
namespace {

// The reference rows every new book starts with, in the order they are written.
struct DefaultList
{
    const char *table;
    const char *nameColumn;
    std::vector<const char *> names;
};

const std::vector<DefaultList> &defaultLists()
{
    static const std::vector<DefaultList> lists = {
        {"InD",
         "IName",
         {"工资", "奖金", "补助津贴", "中奖奖金", "稿费版税收入", "赡养费", "亲属赠予金",
          "经营所得", "分红", "利息收入", "出卖实物财产", "租赁所得", "股票投资收益",
          "基金投资收益", "外汇投资收益", "债券投资收益", "房产投资收益", "其他投资收益",
          "其他收入"}},
        {"OutD",
         "OName",
         {"食品",       "水费",         "电费",         "煤气费",       "烟酒饮料",
          "衣服",       "鞋帽",         "日常用品",     "房租",         "其他日常杂项",
          "医疗药品费", "保健费",       "电话费",       "手机费",       "上网费",
          "邮寄费",     "学杂费",       "培训费",       "书籍及音像",   "订阅报章杂志",
          "外出就餐",   "旅游度假",     "娱乐费",       "公共汽车费",   "汽油费",
          "养路费",     "年检费",       "汽车维护费",   "停车过路费",   "房屋维修",
          "电器维修",   "家具维修",     "赡养费",       "抚养费",       "慈善捐款",
          "礼品礼金",   "购买家电",     "购买家具",     "购买数码产品", "购买通讯产品",
          "购买收藏品", "股票投资",     "交纳保费",     "按揭还款",     "额外付款",
          "基金投资",   "赎回典当物品", "利息支出",     "购买债券",     "基金认购",
          "银行手续费", "房产投资支出", "其他投资支出", "其他支出"}},
        {"SAccount",
         "AName",
         {"现金", "中行长城卡", "农行金穗卡", "建行龙卡卡", "工行牡丹卡", "交行太平洋卡",
          "招行一卡通", "邮政绿卡", "支付宝"}},
        {"TD",
         "TName",
         {"股票", "基金", "国债", "保险", "房产", "外汇", "期货", "贵金属", "其他投资"}},
    };
    return lists;
}

// The book's own rows, and the child rows reached only through a parent of the book.
const char *const PerBookTables[] = {
    "InD", "OutD", "SAccount", "InTable", "OutTable", "ChangeT", "Borrow", "Debt", "TD", "TTable",
    "MonthTotal", "MonthNameTotal", "History",
    // Imports: accounts, categories and rules remembered, batches and what they wrote.
    "ImportAccount", "ImportCategory", "ImportRule", "ImportBatch", "ImportEntry",
    // Household planning: settings, schedules, budgets, reconciliations.
    "BookSetting", "Schedule", "SchedulePost", "Budget", "BudgetRollover", "Reconcile"};
struct ChildTable
{
    const char *table, *parentKey, *parent;
};
const ChildTable ChildTables[] = {{"BorrowR", "BID", "Borrow"},
                                  {"DebtR", "DID", "Debt"},
                                  {"TTableR", "TID", "TTable"},
                                  {"HistoryRow", "HistoryID", "History"}};

// Text columns written empty rather than NULL.
QString orEmpty(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QSqlDatabase liveDatabase()
{
    return Connection::current();
}

// ---- SQLite files -----------------------------------------------------------

// A connection of our own to a file other than the live database.
class SqliteFile
{
public:
    SqliteFile(const QString &path, int flags, const QString &notDone)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const DbError error = sqliteFailure(m_db, rc, notDone);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw error;
        }
    }
    ~SqliteFile() { sqlite3_close(m_db); }
    SqliteFile(const SqliteFile &) = delete;
    SqliteFile &operator=(const SqliteFile &) = delete;
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// Renames the finished copy into place; the system's reason is said as the database's
// would be (full disk, folder not writable, disk error).
void moveIntoPlace(const QString &from, const QString &to, const QString &notDone)
{
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(from).toStdString(),
                            QFile::encodeName(to).toStdString(), error);
    if (!error)
        return;
    const int code = error == std::errc::no_space_on_device        ? SQLITE_FULL
                     : error == std::errc::permission_denied       ? SQLITE_READONLY
                     : error == std::errc::operation_not_permitted ? SQLITE_READONLY
                     : error == std::errc::read_only_file_system   ? SQLITE_READONLY
                                                                   : SQLITE_IOERR;
    throw DbError::fromSqlite(code, QString::fromLocal8Bit(error.message()), notDone);
}

// backupTo writes its copy as "<target>.<8 hex digits>.tmp" beside the target.
const QRegularExpression TemporaryName(QStringLiteral("\\.db\\.[0-9a-f]{8}\\.tmp(-journal)?$"));

QString temporaryNameFor(const QString &target)
{
    return target + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                  QLatin1Char('0'));
}

// "ok", or the first problem PRAGMA integrity_check reports.
QString integrityOf(sqlite3 *db)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    QString result = QString::fromUtf8(sqlite3_errmsg(db));
    if (sqlite3_step(statement) == SQLITE_ROW)
        result =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return result;
}

bool sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

void removeWithJournal(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// SQLite database files begin with this header; anything else is not one.
bool hasSqliteHeader(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

// The reason `path` is not a backup of this program, or an empty text: quick checks
// of the file and its tables, and with `integrity` SQLite's check of every page,
// which reads the whole file.
QString refusalOf(const QString &path, Background::Context &work, bool integrity)
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("文件不存在。");
    if (!file.isFile() || !file.isReadable())
        return QStringLiteral("无法读取该文件。");
    if (file.size() == 0)
        return QStringLiteral("该文件是空的。");
    if (!hasSqliteHeader(path))
        return QStringLiteral("该文件不是数据库文件。");
    if (sameFile(path, work.dataFile()))
        return QStringLiteral("该文件就是正在使用的数据文件。");
    FileDatabase backup(path);
    if (!backup.isOpen())
        return QStringLiteral("无法打开该文件。");
    work.interruptible(sqliteHandle(backup.database()));
    const QString reason = Schema::checkOwnDatabase(backup.database(), integrity);
    work.checkCancelled();
    return reason;
}

// Writes a copy of the data file under a temporary name beside `target`, checks it
// when asked, and renames it into place. Nothing is left behind on a failure or a
// cancel.
void copyDataFileTo(const QString &target, const QString &notDone, Background::Context &work,
                    bool check)
{
    const QString temporary = temporaryNameFor(target);
    try {
        {
            SqliteFile copy(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, notDone);
            copyDatabase(sqliteHandle(work.database()), copy.handle(), notDone, work);
            if (check) {
                work.progress(-1, QStringLiteral("正在检查备份……"));
                work.interruptible(copy.handle());
                const QString integrity = integrityOf(copy.handle());
                work.checkCancelled();
                if (integrity != QLatin1String("ok"))
                    throw DbError(notDone +
                                  QStringLiteral("：写出的副本没有通过完整性检查，"
                                                 "可能是磁盘出错。\n\n") +
                                  integrity);
            }
        }
        work.checkCancelled();
        moveIntoPlace(temporary, target, notDone);
    } catch (...) {
        removeWithJournal(temporary);
        throw;
    }
}

// The work's own context, or one of this thread when none was given.
class WorkOn
{
public:
    explicit WorkOn(Background::Context *given) : m_work(given ? *given : m_own) {}
    Background::Context &operator*() { return m_work; }
    Background::Context *operator->() { return &m_work; }

private:
    Background::Context m_own;
    Background::Context &m_work;
};

} // namespace

// ---- books ------------------------------------------------------------------

void createBook(const QString &name, const QString &remark, const QString &date,
                const QString &password)
{
    const QString bookDate = date.isEmpty() ? today() : date;
    const QString passwordHash = Password::hash(password); // slow: before the transaction
    QSqlDatabase db = liveDatabase();
    Transaction transaction(db);
    if (Sql(QStringLiteral("Select ID from SBook Where BName=?"), {name}).exec(db).next())
        throw DbError(QStringLiteral("帐簿名称 重复，请重新录入！"));
    Sql(QStringLiteral("insert into SBook(BName,BPass,BDate,Remark) Values(?,?,?,?)"),
        {name, passwordHash, bookDate, orEmpty(remark)})
        .exec(db);
    for (const DefaultList &list : defaultLists()) {
        const QString insert =
            QStringLiteral("insert into %1(%2,thePY,BName,Remark) Values(?,?,?,'')")
                .arg(QLatin1String(list.table), QLatin1String(list.nameColumn));
        for (const char *item : list.names) {
            const QString value = QString::fromUtf8(item);
            Sql(insert, {value, orEmpty(PinyinCode(value, 2, 255)), name}).exec(db);
        }
    }
    // The accounts hold money of their kinds from the day the book starts.
    Sql(QStringLiteral("update SAccount set AKind=case AName when ? then ? when ? then ? else ? "
                       "end, OpenDate=? where BName=?"),
        {AccountKinds::Cash, AccountKinds::Cash, QStringLiteral("支付宝"), AccountKinds::Online,
         AccountKinds::Savings, bookDate, name})
        .exec(db);
    transaction.commit();
}

int bookCount()
{
    return Sql(QStringLiteral("Select count(*) from SBook")).scalar().toInt();
}

bool bookExists(const QString &name)
{
    return Sql(QStringLiteral("Select ID from SBook Where BName=?"), {name}).hasRows();
}

bool checkPassword(const QString &book, const QString &password)
{
    QSqlQuery rows = Sql(QStringLiteral("select BPass from SBook Where BName=?"), {book}).exec();
    if (!rows.next())
        return false;
    const QString stored = rows.value(0).toString();
    if (rows.next())
        return false; // the name is ambiguous: never guess which book is meant
    return Password::verify(password, stored);
}

void changePassword(const QString &book, const QString &newPassword)
{
    const QString passwordHash = Password::hash(newPassword);
    QSqlDatabase db = liveDatabase();
    Transaction transaction(db);
    QSqlQuery update =
        Sql(QStringLiteral("update SBook set BPass=? where BName=?"), {passwordHash, book})
            .exec(db);
    if (update.numRowsAffected() != 1)
        throw DbError(QStringLiteral("找不到帐簿：") + book);
    // A shared book opens with the new password on every computer.
    Sharing::queueSettings(book, QStringLiteral("SBook"));
    transaction.commit();
}

void deleteBook(const QString &name)
{
    QSqlDatabase db = liveDatabase();
    Transaction transaction(db);
    for (const ChildTable &child : ChildTables)
        Sql(QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT ID FROM %3 WHERE BName=?)")
                .arg(QLatin1String(child.table), QLatin1String(child.parentKey),
                     QLatin1String(child.parent)),
            {name})
            .exec(db);
    for (const char *table : PerBookTables)
        Sql(QStringLiteral("DELETE FROM %1 where BName=?").arg(QLatin1String(table)), {name})
            .exec(db);
    Sql(QStringLiteral("DELETE FROM SBook where BName=?"), {name}).exec(db);
    transaction.commit();
}

// Gives every row of the book another book name (child rows follow their parents).
void moveRows(QSqlDatabase db, const QString &from, const QString &to)
{
    for (const char *table : PerBookTables)
        Sql(QStringLiteral("update %1 set BName=? where BName=?").arg(QLatin1String(table)),
            {to, from})
            .exec(db);
}

void binBook(const QString &name)
{
    QSqlDatabase db = liveDatabase();
    Transaction transaction(db);
    QSqlQuery book =
        Sql(QStringLiteral("select BName,BPass,BDate,Remark,ID from SBook where BName=?"), {name})
            .exec(db);
    if (!book.next())
        throw DbError(QStringLiteral("找不到帐簿：") + name);
    const qint64 id = Sql(QStringLiteral("insert into BinnedBook (BName,BPass,BDate,Remark,"
                                         "BookID,DeletedAt) values (?,?,?,?,?,?)"),
                          {book.value(0), book.value(1), book.value(2), book.value(3),
                           book.value(4), History::now()})
                          .exec(db)
                          .lastInsertId()
                          .toLongLong();
    // A control character no typed name holds keeps the rows apart from every book.
    const QString hidden = QChar(1) + QStringLiteral("回收站%1").arg(id);
    Sql(QStringLiteral("update BinnedBook set Hidden=? where ID=?"), {hidden, id}).exec(db);
    moveRows(db, book.value(0).toString(), hidden);
    Sql(QStringLiteral("delete from SBook where BName=?"), {name}).exec(db);
    transaction.commit();
}

namespace {

struct BinnedBook
{
    QString name, passwordHash, date, remark, hidden;
    QVariant key; // of its row before, taken again when the key is free
};

BinnedBook binnedBook(QSqlDatabase db, qint64 id)
{
    QSqlQuery row = Sql(QStringLiteral("select BName,BPass,BDate,Remark,Hidden,BookID from "
                                       "BinnedBook where ID=?"),
                        {id})
                        .exec(db);
    if (!row.next())
        throw DbError(QStringLiteral("回收站里已没有这个帐簿。"));
    return {row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
            row.value(3).toString(), row.value(4).toString(), row.value(5)};
}

} // namespace

void restoreBook(qint64 binnedId, const QString &password)
{
    QSqlDatabase db = liveDatabase();
    const BinnedBook book = binnedBook(db, binnedId);
    if (!Password::verify(password, book.passwordHash))
        throw DbError(QStringLiteral("密码错误，不能恢复帐簿“%1”。").arg(book.name));
    Transaction transaction(db);
    if (bookExists(book.name))
        throw DbError(
            QStringLiteral("已有名为“%1”的帐簿，不能恢复。请先删除那个帐簿。").arg(book.name));
    const bool keyFree =
        !Sql(QStringLiteral("select 1 from SBook where ID=?"), {book.key}).exec(db).next();
    Sql(QStringLiteral("insert into SBook (ID,BName,BPass,BDate,Remark) values (?,?,?,?,?)"),
        {keyFree ? book.key : QVariant(), book.name, book.passwordHash, book.date, book.remark})
        .exec(db);
    moveRows(db, book.hidden, book.name);
    Sql(QStringLiteral("delete from BinnedBook where ID=?"), {binnedId}).exec(db);
    transaction.commit();
}

void purgeBook(qint64 binnedId)
{
    QSqlDatabase db = liveDatabase();
    Transaction transaction(db);
    deleteBook(binnedBook(db, binnedId).hidden);
    Sql(QStringLiteral("delete from BinnedBook where ID=?"), {binnedId}).exec(db);
    transaction.commit();
}

void expireBinnedBooks(int days)
{
    QSqlQuery old = Sql(QStringLiteral("select ID from BinnedBook where DeletedAt<?"),
                        {History::timeBefore(days)})
                        .exec(liveDatabase());
    QList<qint64> ids;
    while (old.next())
        ids << old.value(0).toLongLong();
    for (const qint64 id : ids)
        purgeBook(id);
}

// ---- backup and restore -------------------------------------------------------

void backupTo(const QString &path, Background::Context *context)
{
    WorkOn work(context);
    const QFileInfo target(path);
    if (path.trimmed().isEmpty())
        throw DbError(QStringLiteral("路径不能为空。"));
    if (sameFile(path, work->dataFile()))
        throw DbError(QStringLiteral("不能把备份写到正在使用的数据文件上。"));
    if (!target.absoluteDir().exists())
        throw DbError(QStringLiteral("文件夹不存在：") +
                      QDir::toNativeSeparators(target.absolutePath()));
    if (target.isDir())
        throw DbError(QStringLiteral("该路径是一个文件夹：") +
                      QDir::toNativeSeparators(target.absoluteFilePath()));
    if (!QFileInfo(target.absolutePath()).isWritable())
        throw DbError(QStringLiteral("文件夹 %1 不能写入（它是只读的，或没有写入权限）。"
                                     "请换一个文件夹。")
                          .arg(QDir::toNativeSeparators(target.absolutePath())));

    work->progress(0, QStringLiteral("正在备份数据……"));
    copyDataFileTo(
        target.absoluteFilePath(),
        QStringLiteral("备份 %1 没有写成").arg(QDir::toNativeSeparators(target.absoluteFilePath())),
        *work, true);
}

QString checkBackup(const QString &path, Background::Context *context)
{
    WorkOn work(context);
    work->progress(-1, QStringLiteral("正在检查备份文件……"));
    return refusalOf(path, *work, true);
}

QString restoreFrom(const QString &path, Background::Context *context)
{
    WorkOn work(context);
    work->keepGoing(); // the program is modal meanwhile; the restore runs once
    if (const QString reason = refusalOf(path, *work, false); !reason.isEmpty())
        throw DbError(reason);

    // The data replaced is kept first. The online backup copies it page by page as
    // SQLite holds it, so it needs no check of its own.
    const QString safetyCopy =
        QFileInfo(work->dataFile()).absolutePath() + QStringLiteral("/恢复前的数据-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
        QStringLiteral(".db");
    work->progress(0, QStringLiteral("正在保留恢复前的数据……"));
    copyDataFileTo(safetyCopy,
                   QStringLiteral("数据没有恢复，原有的数据没有改变（恢复前的数据没有保留下来）"),
                   *work, false);

    work->progress(0, QStringLiteral("正在恢复数据……"));
    SqliteFile source(path, SQLITE_OPEN_READONLY,
                      QStringLiteral("无法打开备份文件 ") + QDir::toNativeSeparators(path));
    const QSqlDatabase live = work->database();
    copyDatabase(source.handle(), sqliteHandle(live),
                 QStringLiteral("数据没有恢复，原有的数据没有改变"), *work);

    // A backup of an earlier version gets this version's tables, as when it is opened.
    if (Upgrade::isNeeded(live)) {
        try {
            Upgrade::run(
                live, [&work](const QString &what, int percent) { work->progress(percent, what); });
        } catch (const DbError &e) {
            throw DbError(QStringLiteral("数据已经恢复，但没有升级到本版本的格式，"
                                         "下次启动时会再试。\n") +
                          e.message());
        }
    }
    return safetyCopy;
}

void removeLeftovers(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.tmp*")}, QDir::Files))
        if (TemporaryName.match(name).hasMatch())
            QFile::remove(dir.filePath(name));
}

} // namespace BookStore
