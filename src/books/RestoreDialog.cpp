#include "books/RestoreDialog.h"

#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"
#include "widgets/WorkProgress.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

RestoreDialog::FileChooser RestoreDialog::chooseFile = [](QWidget *parent, const QString &title,
                                                          const QString &filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
};

RestoreDialog::RestoreDialog(QWidget *parent)
    : BookDialog(parent, "TfrmRecover", QStringLiteral("数据恢复"))
{
    auto *layout = new QVBoxLayout(this);
    auto *warning = new QLabel(QStringLiteral("注意：数据恢复容易造成数据丢失。"));
    warning->setObjectName(QStringLiteral("Label1"));
    warning->setStyleSheet(QStringLiteral("color: #b00000;"));
    layout->addWidget(warning);
    auto *hint = new QLabel(QStringLiteral("选择备份文件，单击 恢复 按钮，即可完成数据恢复操作。"));
    hint->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(hint);

    auto *grid = new QGridLayout;
    Edit1 = addField(grid, QStringLiteral("选择备份文件："), "Edit1");
    Edit1->setEnabled(false);
    Edit1->setMinimumWidth(420);
    layout->addLayout(grid);
    addAutomaticBackups(layout);

    addButtonRow(layout, {{"ButPath", QStringLiteral("选择路径（&P）"), [this] { pickFile(); }},
                          {"ButRecover", QStringLiteral("恢复（&R）"), [this] { restore(); }}});
}

// The automatic backups, newest first; choosing one puts it into the file field.
void RestoreDialog::addAutomaticBackups(QVBoxLayout *layout)
{
    auto *caption = new QLabel(QStringLiteral("或选择一个自动备份（最新的在前）："));
    caption->setObjectName(QStringLiteral("LabAutoBackup"));
    layout->addWidget(caption);
    auto *list = new QListWidget;
    list->setObjectName(QStringLiteral("ListAutoBackup"));
    list->setFixedHeight(120);
    for (const QString &path : AutoBackup::list()) {
        auto *item = new QListWidgetItem(AutoBackup::takenAt(path), list);
        item->setData(Qt::UserRole, path);
    }
    if (list->count() == 0) {
        list->addItem(QStringLiteral("（还没有自动备份）"));
        list->setEnabled(false);
    }
    caption->setBuddy(list);
    // Only a row the user picks fills the field, not the focus landing on the list.
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list] {
        const QList<QListWidgetItem *> picked = list->selectedItems();
        if (!picked.isEmpty() && picked.first()->data(Qt::UserRole).isValid())
            Edit1->setText(QDir::toNativeSeparators(picked.first()->data(Qt::UserRole).toString()));
    });
    layout->addWidget(list);
}

void RestoreDialog::pickFile()
{
    const QString file =
        chooseFile(this, QStringLiteral("打开数据备份文件"), QStringLiteral("DB文件 (*.db)"));
    Edit1->setText(QDir::toNativeSeparators(file));
}

// Every child window and the current book are closed before their data is
// replaced; false when a child window refused to close.
bool RestoreDialog::closeEverything()
{
    return Workspace::instance()->closeBook();
}

void RestoreDialog::restore()
{
    const QString path = QDir::fromNativeSeparators(Edit1->text());
    if (path.isEmpty()) {
        Msg::plain(this, QStringLiteral("请选择备份文件"));
        return;
    }
    if (!Msg::ask(this, QStringLiteral("恢复数据"), QStringLiteral("确认要恢复数据吗?"),
                  QMessageBox::No))
        return;
    // The file is read whole once, while the book is still open: a file refused
    // changes nothing.
    QString reason;
    try {
        reason = WorkProgress::run(
            this, QStringLiteral("正在检查备份文件……"),
            [path](Background::Context &work) { return BookStore::checkBackup(path, &work); },
            WorkProgress::Cancel::Allowed);
    } catch (const Background::Cancelled &) {
        return;
    } catch (const DbError &e) {
        reason = e.message();
    }
    if (!reason.isEmpty()) {
        failure(QStringLiteral("数据恢复失败！"), reason);
        return;
    }
    if (!closeEverything()) {
        failure(QStringLiteral("数据恢复失败！"), QStringLiteral("请先关闭所有打开的窗口。"));
        return;
    }
    try {
        WorkProgress::run(
            this, QStringLiteral("正在恢复数据……"),
            [path](Background::Context &work) { BookStore::restoreFrom(path, &work); });
        Msg::plain(this,
                   QStringLiteral("数据恢复成功！\n当前帐簿已关闭，请通过“打开帐簿”重新打开。"));
    } catch (const DbError &e) {
        failure(QStringLiteral("数据恢复失败！"), e.message());
    }
    Workspace::instance()->notifyBalancesChanged();
}
