#include "books/TfrmBackup.h"

#include "books/BookStore.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmBackup::FolderChooser TfrmBackup::chooseFolder = [](QWidget *parent, const QString &title) {
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
};

TfrmBackup::TfrmBackup(QWidget *parent)
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

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    QPushButton *path = addButton(row, QStringLiteral("选择路径"), "ButPath");
    QPushButton *backup = addButton(row, QStringLiteral("备份"), "ButBackup");
    backup->setDefault(true);
    QPushButton *exit = addButton(row, QStringLiteral("退出"), "ButExit");
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(path, &QPushButton::clicked, this, &TfrmBackup::ButPathClick);
    connect(backup, &QPushButton::clicked, this, &TfrmBackup::ButBackupClick);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmBackup::ButPathClick()
{
    const QString folder = chooseFolder(this, QStringLiteral("选择备份路径："));
    Edit1->setText(folder.isEmpty() ? QString()
                                    : QDir::toNativeSeparators(QDir(folder).filePath(
                                          startDate() + QStringLiteral(".db"))));
}

void TfrmBackup::ButBackupClick()
{
    const QString path = Edit1->text().trimmed();
    if (path.isEmpty()) {
        Msg::plain(this, QStringLiteral("路径不能为空！"));
        return;
    }
    try {
        BookStore::backupTo(QDir::fromNativeSeparators(path));
        Msg::plain(this, QStringLiteral("数据备份成功！"));
    } catch (const DbError &e) {
        failure(QStringLiteral("数据备份失败！"), e.message());
    }
    accept();
}
