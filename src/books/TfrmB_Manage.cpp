#include "books/TfrmB_Manage.h"

#include "books/BookStore.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"
#include "widgets/MessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlRecord>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TfrmB_Manage::TfrmB_Manage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TfrmB_Manage"));
    setWindowTitle(QStringLiteral("帐簿管理"));

    auto *layout = new QVBoxLayout(this);
    m_model = new QStandardItemModel(this);
    DBGrid1 = new QTableView;
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(m_model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(24);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(DBGrid1, 1);

    // The delete reads the book's name from this hidden field, bound to the cursor row.
    DBEdit1 = new QLineEdit(this);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setReadOnly(true);
    DBEdit1->hide();

    auto *bar = new QHBoxLayout;
    buildNavigator(bar);
    bar->addStretch(1);
    auto *del = new QPushButton(QStringLiteral("删除（&D）"));
    del->setObjectName(QStringLiteral("ButDel"));
    auto *exit = new QPushButton(QStringLiteral("退出（&X）"));
    exit->setObjectName(QStringLiteral("ButExi"));
    bar->addWidget(del);
    bar->addWidget(exit);
    layout->addLayout(bar);

    connect(del, &QPushButton::clicked, this, &TfrmB_Manage::ButDelClick);
    connect(exit, &QPushButton::clicked, this, [this] {
        // Inside the MDI area the frame is what closes.
        if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
            frame->close();
        else
            close();
    });
    Ref();
}

void TfrmB_Manage::buildNavigator(QHBoxLayout *bar)
{
    const auto button = [this, bar](const char *name, QStyle::StandardPixmap icon,
                                    const QString &hint, auto target) {
        auto *b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        bar->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, target] { moveTo(target(this)); });
        return b;
    };
    const auto row = [](const TfrmB_Manage *w) { return w->DBGrid1->currentIndex().row(); };
    m_first = button("NavFirst", QStyle::SP_MediaSkipBackward, QStringLiteral("第一条"),
                     [](const TfrmB_Manage *) { return 0; });
    m_prior = button("NavPrior", QStyle::SP_MediaSeekBackward, QStringLiteral("上一条"),
                     [row](const TfrmB_Manage *w) { return row(w) - 1; });
    m_next = button("NavNext", QStyle::SP_MediaSeekForward, QStringLiteral("下一条"),
                    [row](const TfrmB_Manage *w) { return row(w) + 1; });
    m_last = button("NavLast", QStyle::SP_MediaSkipForward, QStringLiteral("最后一条"),
                    [](const TfrmB_Manage *w) { return w->m_model->rowCount() - 1; });
}

void TfrmB_Manage::Ref()
{
    m_model->clear();
    try {
        QSqlQuery list = Sql(QStringLiteral("select BName as 帐簿名称,BDate as 创建日期,"
                                            "Remark as 备注 from SBook order by ID DESC"))
                             .exec();
        const QSqlRecord record = list.record();
        QStringList headers;
        for (int i = 0; i < record.count(); ++i)
            headers << record.fieldName(i);
        m_model->setHorizontalHeaderLabels(headers);
        while (list.next()) {
            QList<QStandardItem *> row;
            for (int i = 0; i < record.count(); ++i)
                row << new QStandardItem(list.value(i).toString());
            m_model->appendRow(row);
        }
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    DBGrid1->setColumnWidth(0, 220);
    DBGrid1->setColumnWidth(1, 120);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TfrmB_Manage::currentRowChanged, Qt::UniqueConnection);
    moveTo(0);
}

void TfrmB_Manage::moveTo(int row)
{
    const int rows = m_model->rowCount();
    if (rows > 0)
        DBGrid1->setCurrentIndex(m_model->index(qBound(0, row, rows - 1), 0));
    currentRowChanged();
}

void TfrmB_Manage::currentRowChanged()
{
    const int row = DBGrid1->currentIndex().row();
    const int rows = m_model->rowCount();
    DBEdit1->setText(row >= 0 ? m_model->item(row, 0)->text() : QString());
    m_first->setEnabled(row > 0);
    m_prior->setEnabled(row > 0);
    m_next->setEnabled(row >= 0 && row < rows - 1);
    m_last->setEnabled(row >= 0 && row < rows - 1);
}

void TfrmB_Manage::ButDelClick()
{
    const QString book = DBEdit1->text();
    if (book.isEmpty())
        return;
    // Book names are told apart without regard to the case of ASCII letters.
    if (book.compare(TfrmDM::instance()->currentBook(), Qt::CaseInsensitive) == 0) {
        Msg::plain(this, QStringLiteral("不能删除当前打开帐簿！"));
        return;
    }
    if (!Msg::confirmDelete(this))
        return;
    const int row = DBGrid1->currentIndex().row();
    try {
        BookStore::deleteBook(book);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    Ref();
    moveTo(row);
}
