#include "books/ChangePasswordDialog.h"

#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

ChangePasswordDialog::ChangePasswordDialog(QWidget *parent)
    : BookDialog(parent, "TfrmChangePass", QStringLiteral("修改密码"))
{
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("修改密码"));
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(group);
    Edit1 = addField(grid, QStringLiteral("原  密  码："), "Edit1", true);
    Edit2 = addField(grid, QStringLiteral("新  密  码："), "Edit2", true);
    Edit3 = addField(grid, QStringLiteral("确认密码："), "Edit3", true);
    Edit1->setMinimumWidth(200);
    layout->addWidget(group);

    addButtonRow(layout,
                 {{"ButSave", QStringLiteral("保存（&S）"), [this] { changePassword(); }, true}});
}

bool ChangePasswordDialog::checkFields(const QString &book)
{
    if (!fitsIn(Edit1, 20, QStringLiteral("原密码")) ||
        !fitsIn(Edit2, 20, QStringLiteral("新密码")) ||
        !fitsIn(Edit3, 20, QStringLiteral("确认密码")))
        return false;
    if (book.isEmpty() || !BookStore::checkPassword(book, Edit1->text()))
        return refuse(Edit1, QStringLiteral("原密码错误！"));
    if (Edit2->text() != Edit3->text()) // exact: capitals count here
        return refuse(Edit3, QStringLiteral("新密码与确认密码不一致！"));
    return true;
}

void ChangePasswordDialog::changePassword()
{
    const QString book = Workspace::instance()->currentBook();
    try {
        if (!checkFields(book))
            return;
        BookStore::changePassword(book, Edit2->text());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    Msg::plain(this, QStringLiteral("密码修改成功！"));
    accept();
}
