#include "books/BooksWindow.h"

#include "books/BookDialog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QLineEdit>

namespace {

const QString NameAlias = QStringLiteral("帐簿名称");

List::Descriptor books()
{
    return {
        .className = QStringLiteral("TfrmB_Manage"),
        .caption = QStringLiteral("帐簿管理"),
        .table = QStringLiteral("SBook"),
        .columns = {{"BName", NameAlias, List::Kind::Text, 220},
                    {"BDate", "创建日期", List::Kind::Text, 120},
                    {"Remark", "备注"}},
        .perBook = false,
        .orderBy = QStringLiteral("ID desc"),
    };
}

} // namespace

BooksWindow::BooksWindow(QWidget *parent) : ListWindow(books(), parent)
{
    // The delete reads the book's name from this hidden field, bound to the cursor row.
    DBEdit1 = new QLineEdit(this);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setReadOnly(true);
    DBEdit1->hide();
    addButton("ButDel", QStringLiteral("删除（&D）"), [this] { deleteBook(); });
    load();
}

void BooksWindow::currentRowChanged()
{
    DBEdit1->setText(model()->text(currentRow(), NameAlias));
}

void BooksWindow::deleteBook()
{
    const QString book = DBEdit1->text();
    if (book.isEmpty())
        return;
    // Book names are told apart without regard to the case of ASCII letters.
    if (book.compare(Workspace::instance()->currentBook(), Qt::CaseInsensitive) == 0) {
        Msg::plain(this, QStringLiteral("不能删除当前打开帐簿！"));
        return;
    }
    if (!Msg::confirmDelete(this, QStringLiteral("帐簿“%1”及其全部记录").arg(book)))
        return;
    // Only who may open a book may delete it.
    BookPasswordDialog password(this, book, QStringLiteral("删除帐簿"));
    if (password.exec() != QDialog::Accepted)
        return;
    const int row = currentRow();
    try {
        BookStore::binBook(book);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    reload();
    goToNearestRow(row);
}
