#include "sync/SyncSetupDialog.h"

#include "core/ledger/Workspace.h"
#include "core/sync/ChangeFiles.h"
#include "core/sync/Exchange.h"
#include "core/sync/SyncStatus.h"
#include "data/Sql.h"
#include "sync/SyncRunner.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {

const QString SetupCaption = QStringLiteral("家庭同步");

QLabel *syncFieldCaption(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(buddy);
    return label;
}

QLineEdit *syncLineEdit(const char *name, bool masked = false)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    if (masked)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QLabel *syncHint(const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(QStringLiteral("LabHint"));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #5a6a58;"));
    return label;
}

QStringList allBookNames()
{
    QStringList books;
    for (QSqlQuery q = Sql(QStringLiteral("select BName from SBook order by ID")).exec(); q.next();)
        books << q.value(0).toString();
    return books;
}

bool hasBookNamed(const QString &book)
{
    return Sql(QStringLiteral("select 1 from SBook where BName=?"), {book}).hasRows();
}

} // namespace

SyncSetupDialog::SyncSetupDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TfrmSyncSetup"));
    setWindowTitle(SetupCaption);
    bool setUp = false;
    try {
        setUp = Sync::isSetUp();
    } catch (const DbError &) {
        // No data file: the form shows, and 确定 says why it cannot be used.
    }
    auto *layout = new QVBoxLayout(this);
    m_books = new QListWidget;
    m_books->setObjectName(QStringLiteral("ListBooks"));
    m_books->setMinimumHeight(110);
    setUp ? buildShown() : buildSetUp();

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (const auto &[name, text, clicked] :
         {std::tuple{"ButOK", QStringLiteral("确定（&O）"),
                     std::function<void()>([this] { confirm(); })},
          std::tuple{"ButExit", QStringLiteral("退出（&X）"),
                     std::function<void()>([this] { reject(); })}}) {
        auto *button = new QPushButton(text);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        button->setDefault(QLatin1String(name) == QLatin1String("ButOK"));
        connect(button, &QPushButton::clicked, this, clicked);
        row->addWidget(button);
    }
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SyncSetupDialog::buildSetUp()
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    auto *way = new QGroupBox(QStringLiteral("本机是"));
    way->setObjectName(QStringLiteral("GroupWay"));
    auto *wayRow = new QHBoxLayout(way);
    m_first = new QRadioButton(QStringLiteral("第一台电脑：建立家庭同步（&F）"));
    m_first->setObjectName(QStringLiteral("RadioFirst"));
    m_join = new QRadioButton(QStringLiteral("另一台电脑：加入已建立的家庭同步（&J）"));
    m_join->setObjectName(QStringLiteral("RadioJoin"));
    m_first->setChecked(true);
    wayRow->addWidget(m_first);
    wayRow->addWidget(m_join);
    layout->addWidget(way);
    connect(m_first, &QRadioButton::toggled, this, &SyncSetupDialog::showWay);

    auto *grid = new QGridLayout;
    m_folder = syncLineEdit("EditFolder");
    m_folder->setMinimumWidth(320);
    auto *browse = new QPushButton(QStringLiteral("选择（&B）…"));
    browse->setObjectName(QStringLiteral("ButBrowse"));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &SyncSetupDialog::chooseFolder);
    m_computer = syncLineEdit("EditComputer");
    m_computer->setText(QSysInfo::machineHostName().left(Sync::Folder::MaxComputerNameLength));
    m_computer->setPlaceholderText(QStringLiteral("例如：客厅台式机"));
    m_password = syncLineEdit("EditPass", true);
    m_confirm = syncLineEdit("EditPass2", true);
    m_confirmLabel = syncFieldCaption(QStringLiteral("确认密码："), m_confirm);
    m_booksLabel = syncFieldCaption(QStringLiteral("共享的帐簿："), m_books);
    m_booksLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(syncFieldCaption(QStringLiteral("同步文件夹："), m_folder), 0, 0);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(syncFieldCaption(QStringLiteral("本机名称："), m_computer), 1, 0);
    grid->addWidget(m_computer, 1, 1, 1, 2);
    grid->addWidget(syncFieldCaption(QStringLiteral("家庭同步密码："), m_password), 2, 0);
    grid->addWidget(m_password, 2, 1, 1, 2);
    grid->addWidget(m_confirmLabel, 3, 0);
    grid->addWidget(m_confirm, 3, 1, 1, 2);
    grid->addWidget(m_booksLabel, 4, 0);
    grid->addWidget(m_books, 4, 1, 1, 2);
    layout->addLayout(grid);
    layout->addWidget(
        syncHint(QStringLiteral("同步文件夹是 坚果云、Syncthing、Nextcloud、OneDrive 或 NAS "
                                "共享保持一致的文件夹。本程序只在其中写入加密的改动文件，"
                                "数据文件留在本机。")));
    m_unticked = syncHint(QStringLiteral("没有勾选的帐簿只留在本机。"));
    layout->addWidget(m_unticked);
    try {
        for (const QString &book : allBookNames()) {
            auto *item = new QListWidgetItem(book, m_books);
            item->setCheckState(Qt::Unchecked);
        }
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void SyncSetupDialog::buildShown()
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    auto *grid = new QGridLayout;
    const auto shown = [grid](const QString &caption, const QString &text, const char *name) {
        auto *value = new QLabel(text);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int row = grid->rowCount();
        grid->addWidget(syncFieldCaption(caption, value), row, 0);
        grid->addWidget(value, row, 1);
    };
    QStringList shared;
    try {
        shown(QStringLiteral("本机名称："), Sync::computerName(), "LabComputer");
        shown(QStringLiteral("同步文件夹："), QDir::toNativeSeparators(Sync::folderPath()),
              "LabFolder");
        shared = Sync::sharedBooks();
        for (const QString &book : allBookNames()) {
            const bool isShared = shared.contains(book);
            auto *item =
                new QListWidgetItem(isShared ? book + QStringLiteral("（已共享）") : book, m_books);
            item->setData(Qt::UserRole, book);
            item->setCheckState(isShared ? Qt::Checked : Qt::Unchecked);
            if (isShared)
                item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        }
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    m_booksLabel = syncFieldCaption(QStringLiteral("帐簿："), m_books);
    m_booksLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    const int row = grid->rowCount();
    grid->addWidget(m_booksLabel, row, 0);
    grid->addWidget(m_books, row, 1);
    m_books->setMinimumWidth(320);
    layout->addLayout(grid);
    layout->addWidget(syncHint(QStringLiteral("本机已加入家庭同步。勾选要再共享的帐簿，按 确定；"
                                              "其他电脑下次同步时得到它。")));
}

void SyncSetupDialog::showWay()
{
    const bool first = m_first->isChecked();
    m_confirm->setVisible(first);
    m_confirmLabel->setVisible(first);
    m_books->setVisible(first);
    m_booksLabel->setVisible(first);
    m_unticked->setVisible(first);
}

void SyncSetupDialog::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("选择同步文件夹"),
        m_folder->text().isEmpty() ? QDir::homePath() : m_folder->text());
    if (!folder.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(folder));
}

QStringList SyncSetupDialog::tickedBooks() const
{
    QStringList books;
    for (int i = 0; i < m_books->count(); ++i) {
        const QListWidgetItem *item = m_books->item(i);
        if (item->checkState() == Qt::Checked && (item->flags() & Qt::ItemIsEnabled))
            books << (item->data(Qt::UserRole).isValid() ? item->data(Qt::UserRole).toString()
                                                         : item->text());
    }
    return books;
}

bool SyncSetupDialog::checkFields()
{
    const auto refuse = [this](QWidget *field, const QString &message) {
        Msg::plain(this, message);
        field->setFocus();
        return false;
    };
    if (m_folder->text().trimmed().isEmpty())
        return refuse(m_folder, QStringLiteral("请选择同步文件夹。"));
    if (m_computer->text().trimmed().isEmpty())
        return refuse(m_computer, QStringLiteral("请输入本机名称，例如“客厅台式机”。"));
    if (m_password->text().isEmpty())
        return refuse(m_password, QStringLiteral("请输入家庭同步密码。"));
    if (m_join->isChecked())
        return true;
    if (m_password->text() != m_confirm->text())
        return refuse(m_confirm, QStringLiteral("两次输入的家庭同步密码不一致。"));
    if (tickedBooks().isEmpty())
        return refuse(m_books, QStringLiteral("请至少勾选一个要共享的帐簿。"));
    return true;
}

void SyncSetupDialog::confirm()
{
    if (!m_first) { // set up already: the books ticked besides
        const QStringList books = tickedBooks();
        if (books.isEmpty()) {
            accept();
            return;
        }
        if (!run([books] {
                for (const QString &book : books)
                    Sync::share(book);
            }))
            return;
        Msg::plain(this, QStringLiteral("已共享帐簿：%1。其他电脑下次同步时得到它。")
                             .arg(books.join(QStringLiteral("、"))));
        started();
        return;
    }
    if (!checkFields() || !(m_first->isChecked() ? setUpFirst() : join()))
        return;
    Msg::plain(this, QStringLiteral("本机“%1”已加入家庭同步，共享的帐簿：%2。")
                         .arg(m_computer->text().trimmed(),
                              Sync::sharedBooks().join(QStringLiteral("、"))));
    started();
}

bool SyncSetupDialog::setUpFirst()
{
    const QString folder = QDir::fromNativeSeparators(m_folder->text().trimmed());
    const QString password = m_password->text(), computer = m_computer->text().trimmed();
    const QStringList books = tickedBooks();
    return run([=] { Sync::setUpFirst(folder, password, computer, books); });
}

bool SyncSetupDialog::join()
{
    const QString folder = QDir::fromNativeSeparators(m_folder->text().trimmed());
    const QString password = m_password->text(), computer = m_computer->text().trimmed();
    QMap<QString, QString> renames;
    while (true) {
        const QString failure = failureOf([=] { Sync::join(folder, password, computer, renames); });
        if (failure.isEmpty())
            return true;
        // A shared book whose name is taken here joins under a name the user gives.
        const QStringList taken = takenNames(renames);
        if (taken.isEmpty()) {
            Msg::warning(this, SetupCaption, failure);
            return false;
        }
        if (!askNewNames(taken, renames))
            return false;
    }
}

QStringList SyncSetupDialog::takenNames(const QMap<QString, QString> &renames) const
{
    QStringList taken;
    try {
        for (const QString &book : Sync::sharedBooksIn(
                 QDir::fromNativeSeparators(m_folder->text().trimmed()), m_password->text()))
            if (hasBookNamed(renames.value(book, book)))
                taken << book;
    } catch (const Sync::SyncError &) {
        // The folder or the password refused: the join's own message says so.
    }
    return taken;
}

bool SyncSetupDialog::askNewNames(const QStringList &taken, QMap<QString, QString> &renames)
{
    for (const QString &book : taken) {
        const QString name = renames.value(book, book);
        QInputDialog dialog(this);
        dialog.setObjectName(QStringLiteral("NewBookName"));
        dialog.setWindowTitle(SetupCaption);
        dialog.setLabelText(
            QStringLiteral("本机已有帐簿“%1”。\n为共享的帐簿“%2”另取一个名字：").arg(name, book));
        dialog.setTextValue(book + QStringLiteral("（共享）"));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const QString given = dialog.textValue().trimmed();
        if (given.isEmpty()) {
            Msg::plain(this, QStringLiteral("帐簿名称不能为空！"));
            return false;
        }
        renames[book] = given;
    }
    return true;
}

QString SyncSetupDialog::failureOf(const std::function<void()> &work)
{
    // On the screen's thread: joining rebuilds the kept totals on its connection.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    try {
        work();
    } catch (const Sync::SyncError &e) {
        failure = e.message();
    } catch (const DbError &e) {
        failure = e.message();
    }
    QApplication::restoreOverrideCursor();
    return failure;
}

bool SyncSetupDialog::run(const std::function<void()> &work)
{
    const QString failure = failureOf(work);
    if (!failure.isEmpty())
        Msg::warning(this, SetupCaption, failure);
    return failure.isEmpty();
}

void SyncSetupDialog::started()
{
    // Books taken from the folder: balances and lists are read again.
    Workspace::instance()->notifyBalancesChanged();
    if (SyncRunner *runner = SyncRunner::instance())
        runner->start();
    accept();
}
