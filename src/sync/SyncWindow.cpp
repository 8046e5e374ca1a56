#include "sync/SyncWindow.h"

#include "core/sync/ChangeFiles.h"
#include "core/sync/Exchange.h"
#include "core/sync/SyncStatus.h"
#include "data/Sql.h"
#include "sync/SyncRunner.h"
#include "sync/SyncSetupDialog.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace {

using K = List::Kind;
const QString SyncCaption = QStringLiteral("同步");

List::Descriptor computersList()
{
    return {.className = QStringLiteral("TfrmSync"),
            .caption = SyncCaption,
            .columns = {{"", "电脑", K::Text, 160},
                        {"", "最后一次收到", K::Text, 150},
                        {"", "已应用文件", K::Count, 90},
                        {"", "等待应用", K::Count, 90},
                        {"", "说明"}},
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 150,
            .gridTitle = QStringLiteral("家里的其他电脑"),
            .gridPanel = QStringLiteral("Panel1"),
            .countUnit = QStringLiteral("台")};
}

const std::vector<List::Column> &fileColumns()
{
    static const std::vector<List::Column> columns = {{"", "文件", K::Text, 280}, {"", "原因"}};
    return columns;
}

const std::vector<List::Column> &conflictColumns()
{
    static const std::vector<List::Column> columns = {{"", "时间", K::Text, 150},
                                                      {"", "帐簿", K::Text, 100},
                                                      {"", "来自", K::Text, 110},
                                                      {"", "失去的版本"}};
    return columns;
}

QString heardAt(const QDateTime &time)
{
    return time.isNull() ? QStringLiteral("—")
                         : time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

void fillPane(const List::Pane &pane, const std::vector<List::Column> &columns,
              const QList<QVariantList> &rows)
{
    pane.model->setRows(columns, rows);
    List::showColumns(pane.grid, pane.model, columns);
}

QList<QVariantList> conflictsKept()
{
    QList<QVariantList> rows;
    for (QSqlQuery q = Sql(QStringLiteral("select At, BName, Origin, substr(Description, 6) "
                                          "from History where Kind='同步冲突' order by ID desc"))
                           .exec();
         q.next();)
        rows << QVariantList{q.value(0), q.value(1), q.value(2), q.value(3)};
    return rows;
}

} // namespace

SyncWindow::SyncWindow(QWidget *parent) : ListWindow(computersList(), parent)
{
    auto *top = new QWidget(this);
    auto *column = new QVBoxLayout(top);
    column->setContentsMargins(0, 0, 0, 0);
    m_about = new QLabel(top);
    m_about->setObjectName(QStringLiteral("LabAbout"));
    m_about->setWordWrap(true);
    m_about->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_last = new QLabel(top);
    m_last->setObjectName(QStringLiteral("LabLast"));
    m_last->setWordWrap(true);
    column->addWidget(m_about);
    column->addWidget(m_last);
    addAboveGrid(top);
    m_files = addList(QStringLiteral("DBGrid2"), Qt::Vertical, {3, 2, 2},
                      QStringLiteral("没有应用的文件（被拒绝，或等待本程序更新）"));
    m_conflicts = addList(QStringLiteral("DBGrid3"), Qt::Vertical, {3, 2, 2},
                          QStringLiteral("同步冲突（失去的版本在回收站中，可以恢复）"));
    m_syncNow = addButton("ButSync", QStringLiteral("立即同步（&S）"), [this] { syncNow(); });
    m_syncNow->setDefault(true);
    addButton("ButSetup", QStringLiteral("家庭同步设置（&E）"), [this] { openSetUp(); });
    if (SyncRunner *running = SyncRunner::instance())
        connect(running, &SyncRunner::ran, this, &SyncWindow::showRun);
    load();
}

void SyncWindow::load()
{
    QList<QVariantList> computers, files;
    try {
        if (!Sync::isSetUp()) {
            m_about->setText(
                QStringLiteral("本机还没有加入家庭同步。按“家庭同步设置”建立或加入。"));
            m_syncNow->setEnabled(false);
            showRows({});
            fillPane(m_files, fileColumns(), {});
            fillPane(m_conflicts, conflictColumns(), {});
            return;
        }
        m_syncNow->setEnabled(true);
        const Sync::Status status = Sync::status();
        m_about->setText(
            QStringLiteral("本机：%1　　同步文件夹：%2　　共享的帐簿：%3　　本机等待写出：%4 项")
                .arg(Sync::computerName(), QDir::toNativeSeparators(Sync::folderPath()),
                     Sync::sharedBooks().join(QStringLiteral("、")))
                .arg(status.outbox));
        for (const Sync::ComputerStatus &c : status.computers)
            computers << QVariantList{c.computer, heardAt(c.lastHeard), c.applied, c.waiting,
                                      c.waiting > 0 ? QStringLiteral("下次同步时应用") : QString()};
        // Named within the sync folder, which the line above shows.
        const QDir folder(Sync::folderPath());
        for (const Sync::FileStatus &f : status.files)
            files << QVariantList{QDir::toNativeSeparators(
                                      folder.relativeFilePath(QDir::fromNativeSeparators(f.file))),
                                  f.reason};
        fillPane(m_conflicts, conflictColumns(), conflictsKept());
    } catch (const Sync::SyncError &e) {
        m_about->setText(e.message());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    showRows(computers);
    fillPane(m_files, fileColumns(), files);
    if (SyncRunner *running = SyncRunner::instance(); running && m_last->text().isEmpty())
        m_last->setText(running->lastLine());
}

SyncRunner *SyncWindow::runner()
{
    if (SyncRunner *running = SyncRunner::instance())
        return running;
    if (!m_ownRunner) {
        m_ownRunner = new SyncRunner(this);
        connect(m_ownRunner, &SyncRunner::ran, this, &SyncWindow::showRun);
    }
    return m_ownRunner;
}

void SyncWindow::syncNow()
{
    m_asked = true;
    m_last->setText(QStringLiteral("正在同步……"));
    runner()->runNow();
}

void SyncWindow::showRun(bool ok, const QString &line)
{
    m_last->setText(line);
    load();
    if (!ok && m_asked)
        Msg::warning(this, SyncCaption, line);
    m_asked = false;
}

void SyncWindow::openSetUp()
{
    SyncSetupDialog dialog(this);
    dialog.exec();
    load();
}
