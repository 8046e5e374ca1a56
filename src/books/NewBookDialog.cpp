#include "books/NewBookDialog.h"

#include "core/books/BookStore.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

NewBookDialog::NewBookDialog(QWidget *parent)
    : BookDialog(parent, "TfrmNewBook", QStringLiteral("新建帐薄"))
{
    auto *layout = new QVBoxLayout(this);
    auto *advice = new QLabel(QStringLiteral("建议一个家庭建立一个帐簿；当然您也可以建立多个帐簿"));
    advice->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(advice);

    auto *group = new QGroupBox(QStringLiteral("新帐簿信息"));
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(group);
    Edit1 = addField(grid, QStringLiteral("帐簿名称："), "Edit1");
    Edit1->setText(QStringLiteral("我家帐簿"));
    Edit2 = addField(grid, QStringLiteral("描        述："), "Edit2");
    // The book's own password, from the start: it opens the book from now on.
    Edit3 = addField(grid, QStringLiteral("密        码："), "Edit3", true);
    Edit4 = addField(grid, QStringLiteral("确认密码："), "Edit4", true);
    auto *hint = new QLabel(QStringLiteral("打开帐簿时要输入这个密码，请记牢：忘记后无法找回。"));
    hint->setObjectName(QStringLiteral("LabHint"));
    hint->setStyleSheet(QStringLiteral("color: #666666;"));
    grid->addWidget(hint, grid->rowCount(), 0, 1, 2);
    layout->addWidget(group);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("目前帐簿数：")));
    m_bookCount = new QLabel;
    m_bookCount->setObjectName(QStringLiteral("LabBookNum"));
    row->addWidget(m_bookCount);
    addButtonRow(layout,
                 {{"ButSave", QStringLiteral("保存（&S）"), [this] { createBook(); }, true}}, row);
    Edit1->setMinimumWidth(260);

    myBookNum();
}

void NewBookDialog::myBookNum()
{
    try {
        m_bookCount->setText(QString::number(BookStore::bookCount()));
    } catch (const DbError &) {
        m_bookCount->setText(QStringLiteral("0"));
    }
}

bool NewBookDialog::checkFields()
{
    // "Bank " and " Bank" are the name "Bank": the check and the save see it trimmed.
    Edit1->setText(Edit1->text().trimmed());
    if (Edit1->text().isEmpty())
        return refuse(Edit1, QStringLiteral("帐簿名称 不能为空！"));
    if (!fitsIn(Edit1, 20, QStringLiteral("帐簿名称")) ||
        !fitsIn(Edit2, 50, QStringLiteral("备注")))
        return false;
    if (BookStore::bookExists(Edit1->text()))
        return refuse(Edit1, QStringLiteral("帐簿名称 重复，请重新录入！"));
    if (Edit3->text().isEmpty())
        return refuse(Edit3, QStringLiteral("密码 不能为空！"));
    if (!fitsIn(Edit3, 20, QStringLiteral("密码")))
        return false;
    if (Edit3->text() != Edit4->text()) // exact: capitals count here
        return refuse(Edit4, QStringLiteral("密码与确认密码不一致！"));
    return true;
}

void NewBookDialog::createBook()
{
    try {
        if (!checkFields())
            return;
        BookStore::createBook(Edit1->text(), Edit2->text(), startDate(), Edit3->text());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    myBookNum();
    Msg::plain(this, QStringLiteral("新增帐簿数据保存成功！"));
    accept();
}
