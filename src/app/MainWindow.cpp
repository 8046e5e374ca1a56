#include "app/MainWindow.h"

#include "app/BookChores.h"
#include "app/FileDrops.h"
#include "app/MainMenus.h"
#include "app/SummaryPanel.h"
#include "app/UndoRedo.h"
#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Changes.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "sync/SyncRunner.h"
#include "widgets/ColumnMemory.h"
#include "widgets/MessageBox.h"
#include "widgets/Resources.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTextBrowser>
#include <QUrl>

namespace {

MainWindow *g_mainWindow = nullptr;

bool g_startupDialog = true;

// The main window's place and size, kept in the settings between runs.
const QString GeometryKey = QStringLiteral("mainWindow/geometry");

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), m_printer(std::make_unique<QPrinter>())
{
    g_mainWindow = this;
    initBundledPages();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/qinghebu.png")));
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowTitle(QStringLiteral("青禾簿"));
    resize(1024, 620);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // Where the user left it last time, and as large.
    restoreGeometry(QSettings().value(GeometryKey).toByteArray());

    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_mdiArea = new QMdiArea(central);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    // The home page: light, behind the child windows.
    m_mdiArea->setBackground(QColor(0xf3, 0xf6, 0xf2));
    m_summary = new SummaryPanel(m_mdiArea->viewport());
    connect(m_summary, &SummaryPanel::dueRequested, this,
            [this] { openWindow(QStringLiteral("TfrmDue")); });
    // The side bar left of the area.
    m_menus = new MainMenus(this, central, m_mdiArea);
    row->addWidget(m_mdiArea, 1);
    setCentralWidget(central);
    m_undoRedo =
        new UndoRedo(this, m_menus->editMenu(), m_menus->undoAction(), m_menus->redoAction());
    m_chores = new BookChores(this);
    new FileDrops(this); // bill files dropped here are imported

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    auto *statusText = new QLabel(QStringLiteral("青禾簿 家庭日记帐管理"), status);
    statusText->setObjectName(QStringLiteral("StatusPanel"));
    status->addWidget(statusText, 1);
    // A message takes the status text's place. QStatusBar hides the text itself only
    // when it is already visible, so a message given before the window is shown (the
    // automatic backup's failure at start) would be drawn over it.
    connect(status, &QStatusBar::messageChanged, statusText,
            [statusText](const QString &message) { statusText->setVisible(message.isEmpty()); });
    setStatusBar(status);
    // The household sync runs by itself once set up; its last exchange stays shown.
    m_syncStatus = new QLabel(status);
    m_syncStatus->setObjectName(QStringLiteral("SyncStatus"));
    m_syncStatus->hide();
    status->addPermanentWidget(m_syncStatus);
    m_sync = new SyncRunner(this);
    connect(m_sync, &SyncRunner::ran, m_syncStatus, [this](bool ok, const QString &line) {
        m_syncStatus->setText(line);
        m_syncStatus->setStyleSheet(ok ? QString() : QStringLiteral("color: #b03a2e;"));
        m_syncStatus->show();
    });

    Workspace *workspace = Workspace::instance();
    listenTo(workspace);
    m_menus->updateActions(!workspace->currentBook().isEmpty());
    startUp();
}

MainWindow::~MainWindow()
{
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

MainWindow *MainWindow::instance()
{
    return g_mainWindow;
}

void MainWindow::setStartupDialog(bool enabled)
{
    g_startupDialog = enabled;
}

void MainWindow::listenTo(Workspace *workspace)
{
    connect(workspace, &Workspace::bookOpened, this, [this](const QString &book) {
        showBook(book);
        m_chores->atBookOpening(book);
    });
    connect(workspace, &Workspace::bookClosed, this, [this] { showBook(QString()); });
    connect(ChangeFeed::instance(), &ChangeFeed::committed, this, &MainWindow::bookChanged);
    // Balances replaced as a whole (a restore, kept totals rebuilt).
    connect(workspace, &Workspace::balancesChanged, this, &MainWindow::refreshSummary);
    // Every window belongs to the book that was open when it opened.
    connect(workspace, &Workspace::bookWindowsClosing, this, [this](bool *refused) {
        if (!closeAllChildren())
            *refused = true;
    });
}

void MainWindow::startUp()
{
    m_startDate = today();
    Workspace *dm = Workspace::instance();
    dm->setStartDate(m_startDate);
    showBookMenus(false);

    if (!dm->isOpen()) {
        // The main window still comes up, with no book and the book menus hidden.
        Msg::error(this, dm->openError());
        return;
    }
    bool anyBook = false;
    try {
        anyBook = Sql(QStringLiteral("Select * from SBook")).hasRows();
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    m_chores->atStart();
    m_sync->start();
    if (g_startupDialog)
        startupDialogs(anyBook);
    m_menus->sideBarPage()->setSource(QUrl(QStringLiteral("qrc:/pages/sidebar.html")));
}

void MainWindow::bookChanged(const Change &change)
{
    if (change.book != Workspace::instance()->currentBook())
        return;
    refreshSummary();
    // An action that takes a budget past 80 % or past all of it says so, once.
    if (change.spending.empty())
        return;
    try {
        for (const QString &note : Budget::warnings(change.book, change.spending))
            showNote(note, NoteTimeout);
    } catch (const DbError &) {
        // The action itself succeeded; a budget that cannot be read says nothing.
    }
}

void MainWindow::startupDialogs(bool anyBook)
{
    if (anyBook) {
        openWindow(QStringLiteral("TfrmOpenBook"));
        return;
    }
    openWindow(QStringLiteral("TfrmNewBook"));
    // The first book made, opening it follows at once: only its password is asked.
    try {
        if (BookStore::bookCount() > 0)
            openWindow(QStringLiteral("TfrmOpenBook"));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void MainWindow::showBook(const QString &book)
{
    setWindowTitle(book.isEmpty() ? Msg::programTitle() : book);
    showBookMenus(!book.isEmpty());
    refreshSummary();
    m_menus->updateActions(!book.isEmpty());
}

void MainWindow::showBookMenus(bool show)
{
    m_menus->showBookMenus(show);
}

QWidget *MainWindow::openWindow(const QString &className)
{
    const WindowCatalog::Entry *entry = WindowCatalog::find(className);
    if (!entry)
        return nullptr;
    if (entry->kind == WindowCatalog::Kind::Modal) {
        std::unique_ptr<QWidget> dialog(entry->create(this));
        dialog->setWindowModality(Qt::ApplicationModal);
        if (auto *d = qobject_cast<QDialog *>(dialog.get()))
            d->exec();
        return nullptr;
    }
    if (entry->kind == WindowCatalog::Kind::SingleChild)
        for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
            if (sub->widget() && sub->widget()->objectName() == className) {
                m_mdiArea->setActiveSubWindow(sub);
                return sub->widget();
            }
    QWidget *child = entry->create(nullptr);
    child->setAttribute(Qt::WA_DeleteOnClose);
    ColumnMemory::install(child);
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A window closed by itself takes its frame along.
    connect(child, &QObject::destroyed, sub, &QObject::deleteLater);
    sub->showMaximized();
    // The keyboard goes to the new window (its grid), however it was opened.
    child->setFocus();
    return child;
}

bool MainWindow::closeAllChildren()
{
    m_mdiArea->closeAllSubWindows();
    // Closed children free themselves later; free them now, so that nothing of
    // theirs still reads the database.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return m_mdiArea->subWindowList().isEmpty();
}

void MainWindow::refreshSummary()
{
    try {
        m_summary->show(SummaryPanel::read(QDate::currentDate()));
        m_summary->showBudget(SummaryPanel::readBudget());
        m_summary->showDue(SummaryPanel::readDue());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void MainWindow::closeBook()
{
    Workspace::instance()->closeBook();
}

void MainWindow::setUpPages()
{
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.exec();
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::showNote(const QString &note, int timeout)
{
    // One line; a notice shown without a time limit stays readable before the note.
    const QString line = note.simplified();
    const QString shown = statusBar()->currentMessage();
    if (shown.isEmpty() || m_noteTimeout > 0) {
        statusBar()->showMessage(line, timeout);
        m_noteTimeout = timeout;
        return;
    }
    statusBar()->showMessage(shown + QStringLiteral("　　") + line);
    m_noteTimeout = 0;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        refreshSummary();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_exitConfirmed && !Msg::ask(this, QStringLiteral("确认退出"),
                                      QStringLiteral("确认要退出 青禾簿 吗？ ^_^ "))) {
        event->ignore();
        return;
    }
    // The children close first, so that one holding unsaved input can ask; if
    // the user keeps it, the program keeps running.
    if (!closeAllChildren()) {
        event->ignore();
        return;
    }
    m_exitConfirmed = true;
    QSettings().setValue(GeometryKey, saveGeometry());
    event->accept();
    QCoreApplication::quit();
}
