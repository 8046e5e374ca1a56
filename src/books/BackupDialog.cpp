#include "books/BackupDialog.h"

#include "core/books/BookStore.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"
#include "widgets/WorkProgress.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

BackupDialog::FolderChooser BackupDialog::chooseFolder = [](QWidget *parent, const QString &title) {
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
};

BackupDialog::BackupDialog(QWidget *parent)
    : BookDialog(parent, "TfrmBackup", QStringLiteral("数据备份"))
{
    auto *layout = new QVBoxLayout(this);
    auto *hint =
        new QLabel(QStringLiteral("单击[选择路径]按钮选择正确备份路径，再单击[备份]按钮即可。"));
    hint->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(hint);

    auto *grid = new QGridLayout;
    Edit1 = addField(grid, QStringLiteral("选择备份路径："), "Edit1");
    Edit1->setMinimumWidth(320);
    layout->addLayout(grid);

    addButtonRow(layout, {{"ButPath", QStringLiteral("选择路径（&P）"), [this] { pickFolder(); }},
                          {"ButBackup", QStringLiteral("备份（&B）"), [this] { backUp(); }, true}});
}

void BackupDialog::pickFolder()
{
    const QString folder = chooseFolder(this, QStringLiteral("选择备份路径："));
    Edit1->setText(folder.isEmpty() ? QString()
                                    : QDir::toNativeSeparators(QDir(folder).filePath(
                                          startDate() + QStringLiteral(".db"))));
}

void BackupDialog::backUp()
{
    const QString path = Edit1->text().trimmed();
    if (path.isEmpty()) {
        Msg::plain(this, QStringLiteral("路径不能为空！"));
        return;
    }
    const QString target = QDir::fromNativeSeparators(path);
    try {
        WorkProgress::run(
            this, QStringLiteral("正在备份数据……"),
            [target](Background::Context &work) { BookStore::backupTo(target, &work); },
            WorkProgress::Cancel::Allowed);
        Msg::plain(this, QStringLiteral("数据备份成功！"));
    } catch (const Background::Cancelled &) {
        return; // nothing was written; the dialog stays for another try
    } catch (const DbError &e) {
        failure(QStringLiteral("数据备份失败！"), e.message());
    }
    accept();
}
