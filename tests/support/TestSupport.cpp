#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/books/Password.h"
#include "core/ledger/Changes.h"
#include "core/ledger/Workspace.h"
#include "data/FileDatabase.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"
#include "widgets/TotalsRow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

TestEnvironment::TestEnvironment()
{
    qputenv("QINGHEBU_DATA_DIR", m_dir.path().toUtf8());
    // Settings (the book last opened) go to the test's folder, not the user's.
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, m_dir.path());
    // Stored hashes carry their own iteration count; a low one keeps tests fast.
    Password::setIterations(1000);
    MainWindow::setStartupDialog(false);
    m_dm = std::make_unique<Workspace>();
    if (!m_dm->isOpen())
        qFatal("test database did not open: %s", qPrintable(m_dm->openError()));
}

TestEnvironment::~TestEnvironment()
{
    m_dm.reset();
    MainWindow::setStartupDialog(true);
    qunsetenv("QINGHEBU_DATA_DIR");
}

QString TestEnvironment::replaceDataFile(const QString &name)
{
    m_dm->closeDatabase();
    const QString file = dataDir() + QStringLiteral("/db.db");
    QFile::remove(file);
    if (!QFile::copy(QStringLiteral(QINGHEBU_FIXTURES "/") + name, file))
        qFatal("no fixture %s", qPrintable(name));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    return file;
}

void TestEnvironment::withStartupDialog()
{
    MainWindow::setStartupDialog(true);
}

namespace {

// Sets or clears the immutable flag, which even root cannot write through; false
// where the file system or the process's rights do not allow it.
bool setImmutable(const QString &path, bool on)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
#else
    Q_UNUSED(path);
    Q_UNUSED(on);
    return false;
#endif
}

constexpr QFile::Permissions Writable =
    QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;

} // namespace

WriteProtected::WriteProtected(const QString &path) : m_path(path)
{
    QFile::setPermissions(path, QFile::permissions(path) & ~Writable);
    if (QFileInfo(path).isWritable())
        m_immutable = setImmutable(path, true);
}

WriteProtected::~WriteProtected()
{
    if (m_immutable)
        setImmutable(m_path, false);
    QFile::setPermissions(m_path, QFile::permissions(m_path) | QFile::WriteOwner);
}

bool WriteProtected::isActive() const
{
    return !QFileInfo(m_path).isWritable();
}

MessageRecorder::MessageRecorder()
{
    Msg::setAnswerer([this](QMessageBox &box) {
        QMessageBox::StandardButton def = QMessageBox::NoButton;
        if (QAbstractButton *b = box.defaultButton())
            def = box.standardButton(b);
        messages.append({box.text(), box.windowTitle(), box.icon(), box.standardButtons(), def});
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return def != QMessageBox::NoButton ? def : QMessageBox::Ok;
    });
}

MessageRecorder::~MessageRecorder()
{
    Msg::setAnswerer({});
}

QStringList MessageRecorder::texts() const
{
    QStringList out;
    for (const ShownMessage &m : messages)
        out << m.text;
    return out;
}

namespace Drive {

QWidget *widget(QWidget *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    auto *w = root->findChild<QWidget *>(name);
    if (!w)
        qFatal("no control named %s in %s", qPrintable(name), qPrintable(root->objectName()));
    return w;
}

void setText(QWidget *root, const QString &name, const QString &text)
{
    QWidget *w = widget(root, name);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->setFocus();
        edit->selectAll();
        edit->del();
        // Typed as a person would, so that a validator sees every keystroke;
        // QTest only types ASCII, so other characters are inserted as typed text.
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(edit, c.toLatin1());
            else
                edit->insert(QString(c));
        }
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
        plain->setPlainText(text);
    } else if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->isEditable()) {
        combo->setEditText(text);
    } else {
        qFatal("control %s takes no text", qPrintable(name));
    }
}

QString text(QWidget *root, const QString &name)
{
    QWidget *w = widget(root, name);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        return plain->toPlainText();
    qFatal("control %s shows no text", qPrintable(name));
}

void choose(QWidget *root, const QString &name, const QString &item)
{
    auto *combo = find<QComboBox>(root, name);
    const int index = combo->findText(item);
    if (index < 0)
        qFatal("%s has no item %s", qPrintable(name), qPrintable(item));
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void setDate(QWidget *root, const QString &name, const QDate &date)
{
    find<QDateEdit>(root, name)->setDate(date);
}

void click(QWidget *root, const QString &name)
{
    auto *button = find<QAbstractButton>(root, name);
    if (!button->isEnabled() || button->isHidden())
        qWarning("clicking %s, which is %s", qPrintable(name),
                 button->isEnabled() ? "hidden" : "disabled");
    QTest::mouseClick(button, Qt::LeftButton);
}

QWidget *focused()
{
    QWidget *w = QApplication::focusWidget();
    if (!w)
        qFatal("no widget has the keyboard focus");
    return w;
}

QString focusedName()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

void key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(focused(), Qt::Key(key), modifiers);
}

void alt(int key)
{
    Drive::key(key, Qt::AltModifier);
    // A button's mnemonic clicks it as animateClick() does: released 100 ms later.
    QTest::qWait(150);
}

void keys(const QString &text)
{
    QTest::keyClicks(focused(), text);
}

void stopFollowingChanges(QWidget *window)
{
    QObject::disconnect(ChangeFeed::instance(), nullptr, window, nullptr);
}

void showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qFatal("%s did not become active", qPrintable(window->objectName()));
}

void whenModal(std::function<void(QWidget *dialog)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

bool withModal(const std::function<void()> &act,
               const std::function<void(QWidget *dialog)> &onDialog)
{
    bool shown = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer.stop();
        shown = true;
        if (onDialog)
            onDialog(dialog);
        if (dialog->isVisible())
            dialog->close();
    });
    timer.start();
    act();
    timer.stop();
    return shown;
}

void trigger(QWidget *root, const QString &name)
{
    auto *action = root->findChild<QAction *>(name);
    if (!action)
        qFatal("action %s not found", qPrintable(name));
    action->trigger();
}

void openBook(QWidget *main, const QString &book, const QString &password)
{
    whenModal([=](QWidget *dialog) {
        choose(dialog, "DBLookupComboBox1", book);
        setText(dialog, "Edit1", password);
        click(dialog, "ButOpen");
        if (dialog->isVisible())
            dialog->close();
    });
    main->findChild<QAction *>("N3")->trigger();
}

QList<QWidget *> children(QWidget *main)
{
    QList<QWidget *> out;
    for (QMdiSubWindow *sub : main->findChild<QMdiArea *>()->subWindowList())
        out << sub->widget();
    return out;
}

namespace {
int columnTitled(QTableView *view, const QString &title)
{
    QAbstractItemModel *model = view->model();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == title)
            return c;
    qFatal("%s has no column %s", qPrintable(view->objectName()), qPrintable(title));
}
} // namespace

QStringList titles(QWidget *root, const QString &grid)
{
    auto *view = find<QTableView>(root, grid);
    QStringList out;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (!view->isColumnHidden(c))
            out << view->model()->headerData(c, Qt::Horizontal).toString();
    return out;
}

QStringList column(QWidget *root, const QString &grid, const QString &title)
{
    auto *view = find<QTableView>(root, grid);
    const int c = columnTitled(view, title);
    // As a user who scrolls to the end: a long list shows all its rows.
    while (view->model()->canFetchMore(QModelIndex()))
        view->model()->fetchMore(QModelIndex());
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, c).data().toString();
    return out;
}

int currentRow(QWidget *root, const QString &grid)
{
    const QModelIndex index = find<QTableView>(root, grid)->currentIndex();
    return index.isValid() ? index.row() : -1;
}

void clickRow(QWidget *root, const QString &grid, int row)
{
    auto *view = find<QTableView>(root, grid);
    int c = 0;
    while (view->isColumnHidden(c))
        ++c;
    const QRect cell = view->visualRect(view->model()->index(row, c));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

QString totals(QWidget *root, const QString &grid, const QString &title)
{
    auto *row = find<TotalsRow>(root, grid + QStringLiteral("Totals"));
    return title.isEmpty() ? row->caption() : row->text(title);
}

} // namespace Drive

namespace Db {

void exec(const QString &sql, const QVariantList &values)
{
    Sql(sql, values).exec();
}

QVariant value(const QString &sql, const QVariantList &values)
{
    return Sql(sql, values).scalar();
}

int count(const QString &sql, const QVariantList &values)
{
    return value(sql, values).toInt();
}

void insertBook(const QString &book, const QString &password)
{
    exec(QStringLiteral("insert into SBook (BName, BPass, BDate, Remark) values (?, ?, ?, '')"),
         {book, Password::hash(password),
          QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))});
}

Money balance(const QString &book, const QString &account)
{
    return Money::fromVariant(value(
        QStringLiteral("select AMoney from SAccount where BName=? and AName=?"), {book, account}));
}

void refuseWrites(const QString &table, const QString &message)
{
    for (const char *event : {"insert", "update", "delete"})
        exec(QStringLiteral("create trigger refuse_%1_%2 before %2 on %1 "
                            "begin select raise(abort, '%3'); end")
                 .arg(table, QLatin1String(event), message));
}

void allowWrites(const QString &table)
{
    for (const char *event : {"insert", "update", "delete"})
        exec(QStringLiteral("drop trigger refuse_%1_%2").arg(table, QLatin1String(event)));
}

namespace {
QStringList dumpOf(const QSqlDatabase &db)
{
    QStringList rows;
    for (const Schema::Table &t : Schema::tables()) {
        // A file of an earlier layout lacks the later tables.
        if (!Sql(QStringLiteral("select 1 from sqlite_master where type='table' and name=?"),
                 {QLatin1String(t.name)})
                 .exec(db)
                 .next())
            continue;
        QSqlQuery query =
            Sql(QStringLiteral("select * from %1 order by ID").arg(QLatin1String(t.name))).exec(db);
        while (query.next()) {
            QStringList fields{QLatin1String(t.name)};
            for (int i = 0; i < query.record().count(); ++i)
                fields << (query.isNull(i) ? QStringLiteral("<null>") : query.value(i).toString());
            rows << fields.join(QLatin1Char('|'));
        }
    }
    return rows;
}
} // namespace

QStringList dump()
{
    return dumpOf(Workspace::instance()->database());
}

QStringList dumpFile(const QString &path)
{
    FileDatabase file(path);
    if (!file.isOpen())
        qFatal("cannot open %s", qPrintable(path));
    return dumpOf(file.database());
}

void makeForeignDatabase(const QString &path, const QStringList &statements)
{
    FileDatabase file(path, FileDatabase::ReadWrite);
    if (!file.isOpen())
        qFatal("cannot make %s", qPrintable(path));
    for (const QString &statement : statements)
        Sql(statement).exec(file.database());
}

} // namespace Db
