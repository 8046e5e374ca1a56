#include "books/BookDialog.h"

#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Gbk.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QBoxLayout>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

BookDialog::BookDialog(QWidget *parent, const char *className, const QString &caption)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QLatin1String(className));
    setWindowTitle(caption);
}

QLineEdit *BookDialog::addField(QGridLayout *grid, const QString &caption, const char *name,
                                bool masked)
{
    const int row = grid->rowCount();
    auto *edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    if (masked) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 64;")); // '@'
    }
    auto *label = new QLabel(caption);
    // The colons of one form's captions stand in one column.
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

void BookDialog::addButtonRow(QVBoxLayout *layout, const std::vector<Button> &buttons,
                              QHBoxLayout *row)
{
    if (!row)
        row = new QHBoxLayout;
    row->addStretch(1);
    std::vector<Button> all = buttons;
    all.push_back({"ButExit", QStringLiteral("退出（&X）"), [this] { reject(); }});
    for (const Button &b : all) {
        auto *button = new QPushButton(b.caption);
        button->setObjectName(QLatin1String(b.name));
        button->setAutoDefault(false);
        button->setDefault(b.isDefault);
        connect(button, &QPushButton::clicked, this, b.clicked);
        row->addWidget(button);
    }
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool BookDialog::refuse(QWidget *field, const QString &message)
{
    Msg::plain(this, message);
    field->setFocus();
    return false;
}

bool BookDialog::fitsIn(QLineEdit *field, int maxBytes, const QString &fieldName)
{
    if (gbkByteLength(field->text()) <= maxBytes)
        return true;
    return refuse(field, QStringLiteral("%1 长度不能大于%2！").arg(fieldName).arg(maxBytes));
}

void BookDialog::failure(const QString &headline, const QString &reason)
{
    Msg::warning(this, Msg::programTitle(),
                 reason.isEmpty() ? headline : headline + QLatin1Char('\n') + reason);
}

QString BookDialog::startDate()
{
    return Workspace::instance()->startDate();
}

BookPasswordDialog::BookPasswordDialog(QWidget *parent, const QString &book, const QString &caption)
    : BookDialog(parent, "BookPasswordDialog", caption), m_book(book)
{
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("请输入帐簿“%1”的密码").arg(book));
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(group);
    Edit1 = addField(grid, QStringLiteral("密        码："), "Edit1", true);
    Edit1->setMinimumWidth(200);
    layout->addWidget(group);
    addButtonRow(layout, {{"ButOk", QStringLiteral("确定（&O）"), [this] { confirm(); }, true}});
}

void BookPasswordDialog::confirm()
{
    try {
        if (!BookStore::checkPassword(m_book, Edit1->text())) {
            refuse(Edit1, QStringLiteral("密码错误，请重新录入！"));
            Edit1->selectAll();
            return;
        }
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    accept();
}
