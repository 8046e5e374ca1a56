#include "books/OpenBookDialog.h"

#include "core/books/BookStore.h"
#include "core/books/LastBook.h"
#include "core/ledger/Workspace.h"
#include "data/PinyinCode.h"
#include "data/Sql.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"
#include "widgets/Resources.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

OpenBookDialog::OpenBookDialog(QWidget *parent)
    : BookDialog(parent, "TfrmOpenBook", QStringLiteral("打开帐簿"))
{
    initBundledPages();
    auto *layout = new QVBoxLayout(this);
    m_page = new QTextBrowser;
    m_page->setObjectName(QStringLiteral("WebBrowser1"));
    m_page->setOpenExternalLinks(true);
    m_page->setFixedSize(380, 110);
    m_page->setSource(QUrl(QStringLiteral("qrc:/pages/openbook.html")));
    layout->addWidget(m_page);

    auto *group = new QGroupBox(QStringLiteral("系统登录"));
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(group);
    DBLookupComboBox1 = new QComboBox;
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    makeSearchable(DBLookupComboBox1);
    auto *bookLabel = new QLabel(QStringLiteral("帐簿名称："));
    bookLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bookLabel->setBuddy(DBLookupComboBox1);
    grid->addWidget(bookLabel, 0, 0);
    grid->addWidget(DBLookupComboBox1, 0, 1);
    Edit1 = addField(grid, QStringLiteral("密        码："), "Edit1", true);
    layout->addWidget(group);

    addButtonRow(layout,
                 {{"ButOpen", QStringLiteral("打开（&O）"), [this] { openChosenBook(); }, true}});

    try {
        // Each name with its pinyin initials, so that typing "wj" finds 我家帐簿.
        QSqlQuery names = Sql(QStringLiteral("select BName from SBook order by ID")).exec();
        while (names.next()) {
            const QString name = names.value(0).toString();
            DBLookupComboBox1->addItem(name, PinyinCode(name, PinyinMarkUnread, 255));
        }
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    chooseLastBook();

    connect(DBLookupComboBox1, &QComboBox::activated, this, &OpenBookDialog::bookChosen);
}

void OpenBookDialog::chooseLastBook()
{
    // The book last opened here, else the first; the password is all that is left to type.
    const int last = DBLookupComboBox1->findText(LastBook::name());
    DBLookupComboBox1->setCurrentIndex(last >= 0 ? last
                                                 : (DBLookupComboBox1->count() > 0 ? 0 : -1));
    Edit1->setFocus();
}

void OpenBookDialog::bookChosen()
{
    Edit1->clear();
    Edit1->setFocus();
}

void OpenBookDialog::openChosenBook()
{
    if (!fitsIn(Edit1, 20, QStringLiteral("密码")))
        return;
    if (DBLookupComboBox1->currentIndex() < 0) {
        refuse(DBLookupComboBox1, QStringLiteral("请选择 帐簿名称！"));
        return;
    }
    const QString book = DBLookupComboBox1->currentText();
    bool matches = false;
    try {
        matches = BookStore::checkPassword(book, Edit1->text());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    if (!matches) {
        // A failed attempt leaves whichever book was open current, as it was.
        refuse(Edit1, QStringLiteral("密码错误，请重新录入！"));
        return;
    }
    // A window of the open book that keeps its pending row keeps that book open.
    if (Workspace::instance()->openBook(book)) {
        LastBook::remember(book);
        accept();
    } else {
        reject();
    }
}
