#include "history/HistoryWindows.h"

#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Workspace.h"
#include "widgets/MessageBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

using List::Column;
using K = List::Kind;
using R = Report::Kind;

Query::Descriptor history()
{
    const auto printed = [](const char *column, const char *title) {
        return Query::ReportColumn{column, {title, R::Text}};
    };
    return {
        .className = "TfrmHistory",
        .caption = "操作记录",
        .table = "History",
        .columns = {{"BName", "帐薄名称", K::Hidden},
                    {"At", "时间", K::Text, 150},
                    {"Window", "窗口"},
                    {"Kind", "操作"},
                    {"Description", "内容", K::Text, 360},
                    {"case Undone when 0 then '' else '已撤销' end", "状态"},
                    // The computer of the household an action came from; empty: this one.
                    {"coalesce(Origin,'')", "来自", K::Text, 110},
                    {"ID", "ID", K::Hidden}},
        .conditions = {{"日期", Query::Field::DateRange, "substr(At,1,10)"},
                       {"窗口", Query::Field::List, "Window", &Workspace::historyWindows},
                       {"操作", Query::Field::List, "Kind", &Workspace::historyKinds},
                       {"内容", Query::Field::Text, "Description"}},
        .fixedOrder = "时间 desc, ID desc",
        .exportSuffix = "-操作记录",
        .exportWidths = {18, 12, 12, 48, 8, 12},
        .reportName = "操作记录",
        .printed = {{"ID", {"序号", R::RowNumber}},
                    {"At", {"时间", R::Text, false, 42}},
                    printed("Window", "窗口"),
                    printed("Kind", "操作"),
                    printed("Description", "内容")},
    };
}

// What the bin holds: rows deleted by actions that stand, and deleted books,
// which belong to no book.
QString binned()
{
    return QStringLiteral("(%1 union all select -ID, null, DeletedAt, '帐簿 ' || BName, "
                          "'帐簿管理' from BinnedBook)")
        .arg(History::binnedRows());
}

List::Descriptor recycleBin()
{
    return {.className = "TfrmRecycle",
            .caption = "回收站",
            .table = binned(),
            .columns = {{"At", "删除时间", K::Text, 150},
                        {"What", "内容", K::Text, 420},
                        {"Window", "删除于", K::Text, 110}},
            .orderBy = "删除时间 desc, ID desc"};
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent) : QueryWindow(history(), parent)
{
}

RecycleBinWindow::RecycleBinWindow(QWidget *parent) : ListWindow(recycleBin(), parent)
{
    auto *passwordRow = new QWidget(this);
    auto *row = new QHBoxLayout(passwordRow);
    row->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("恢复帐簿时请输入它的密码："), passwordRow);
    m_password = new QLineEdit(passwordRow);
    m_password->setObjectName(QStringLiteral("EditPass"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaximumWidth(200);
    label->setBuddy(m_password);
    row->addWidget(label);
    row->addWidget(m_password);
    row->addStretch(1);
    addBelowGrid(passwordRow);
    addButton("ButRestore", QStringLiteral("恢复（&R）"), [this] { restoreChosen(); });
    addButton("ButPurge", QStringLiteral("彻底删除（&D）"), [this] { purgeChosen(); });
    load();
}

List::Query RecycleBinWindow::query() const
{
    std::vector<Column> columns = listDescriptor().columns;
    columns.push_back({List::KeyAlias, List::KeyAlias, K::Hidden});
    List::Query list = List::listing(columns, listDescriptor().table);
    list.select.add(QStringLiteral(" where (BName=? or BName is null)"), {book()});
    list.order = listDescriptor().orderBy;
    return list;
}

void RecycleBinWindow::currentRowChanged()
{
    m_password->setEnabled(isBook());
    if (!isBook())
        m_password->clear();
}

void RecycleBinWindow::change(const std::function<void()> &work)
{
    const int row = currentRow();
    if (!Msg::guarded(this, work))
        return;
    m_password->clear();
    reload();
    goToNearestRow(row);
}

void RecycleBinWindow::restoreChosen()
{
    const qint64 key = currentKey().toLongLong();
    if (key == 0)
        return;
    if (key < 0 && m_password->text().isEmpty()) {
        Msg::plain(this, QStringLiteral("请先输入该帐簿的密码。"));
        m_password->setFocus();
        return;
    }
    const QString password = m_password->text();
    change([&] {
        if (key < 0)
            BookStore::restoreBook(-key, password);
        else
            History::restore(book(), key, listDescriptor().caption);
    });
}

void RecycleBinWindow::purgeChosen()
{
    const qint64 key = currentKey().toLongLong();
    if (key == 0 ||
        !Msg::ask(this, QStringLiteral("彻底删除"),
                  QStringLiteral("彻底删除后将不能再恢复。确认要彻底删除吗？"), QMessageBox::No))
        return;
    change([&] { key < 0 ? BookStore::purgeBook(-key) : History::discard(key); });
}
