#include "widgets/ListWindow.h"

#include "core/ledger/Changes.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "widgets/FilterStatus.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"
#include "widgets/TotalsRow.h"
#include "widgets/WindowFrame.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

ListWindow::ListWindow(List::Descriptor descriptor, QWidget *parent)
    : QWidget(parent), m_list(std::move(descriptor)), m_book(Workspace::instance()->currentBook())
{
    setObjectName(m_list.className);
    setWindowTitle(m_list.caption);
    m_layout = new QVBoxLayout(this);
    buildGrid();
    m_layout->addWidget(m_centre, 1);
    buildButtonRow();
    // Every committed action of the window's book (of any book, for a list of all
    // books) is followed, wherever the window is shown.
    connect(ChangeFeed::instance(), &ChangeFeed::committed, this, [this](const Change &change) {
        if (!m_list.perBook || change.book == m_book)
            followChange();
    });
}

namespace {

// The grid's row numbers. Qt sizes a header from the contents of up to two
// hundred of its sections whenever rows come or go, which costs more than reading
// a page; the numbers are as wide as the last one, so that one is measured.
class RowNumbers : public QHeaderView
{
public:
    explicit RowNumbers(QWidget *parent) : QHeaderView(Qt::Vertical, parent) {}

    QSize sizeHint() const override
    {
        if (count() == 0)
            return QHeaderView::sizeHint();
        return sectionSizeFromContents(count() - 1).expandedTo(sectionSizeFromContents(0));
    }
};

// The border between a grid and what shares its place, drawn as a ridge with a
// grip in its middle, so that it is seen to be movable.
class GripHandle : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const bool across = orientation() == Qt::Horizontal; // a vertical ridge
        const QPoint centre = rect().center();
        painter.setPen(palette().mid().color());
        if (across)
            painter.drawLine(centre.x(), 4, centre.x(), height() - 4);
        else
            painter.drawLine(4, centre.y(), width() - 4, centre.y());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().dark());
        for (int i = -2; i <= 2; ++i) {
            const QPoint dot = across ? QPoint(centre.x(), centre.y() + 6 * i)
                                      : QPoint(centre.x() + 6 * i, centre.y());
            painter.drawEllipse(dot, 2, 2);
        }
    }
};

class GripSplitter : public QSplitter
{
public:
    GripSplitter(Qt::Orientation orientation, QWidget *parent) : QSplitter(orientation, parent)
    {
        setHandleWidth(9);
        setChildrenCollapsible(false);
    }

protected:
    QSplitterHandle *createHandle() override { return new GripHandle(orientation(), this); }
};

// A note in the top middle of an empty grid.
QLabel *gridNote(QTableView *grid, const char *name, const QString &text)
{
    auto *note = new QLabel(text, grid->viewport());
    note->setObjectName(QLatin1String(name));
    note->setMargin(12);
    note->setForegroundRole(QPalette::PlaceholderText);
    note->hide();
    static_cast<QVBoxLayout *>(grid->viewport()->layout())
        ->addWidget(note, 0, Qt::AlignHCenter | Qt::AlignTop);
    return note;
}

// Room a grid leaves around a cell's text, and the limits of a fitted column.
constexpr int CellPadding = 16, MinWidth = 48, MaxTextWidth = 260, CountWidth = 56;

// The width that fits the column's title and its texts in the first rows shown.
int fittedWidth(const QTableView *grid, const ListModel *model, int column)
{
    const QFontMetrics metrics(grid->font());
    int width = grid->horizontalHeader()->sectionSizeHint(column);
    const QString alias = model->titles().at(column);
    const int rows = std::min(model->rowCount(), ListModel::PageSize / 2);
    for (int row = 0; row < rows; ++row)
        width = std::max(width, metrics.horizontalAdvance(model->text(row, alias)) + CellPadding);
    switch (model->kind(column)) {
    case List::Kind::Money:
        return std::max(width, List::MoneyWidth);
    case List::Kind::Count:
    case List::Kind::Ratio:
        return std::max(width, CountWidth);
    case List::Kind::Text:
    case List::Kind::Hidden:
        break;
    }
    return std::clamp(width, MinWidth, MaxTextWidth);
}

} // namespace

namespace List {

QTableView *makeGrid(QWidget *parent, ListModel *model, int columnWidth, const QString &name)
{
    auto *grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    grid->setAlternatingRowColors(true);
    grid->setVerticalHeader(new RowNumbers(grid));
    // Rows of one height: the grid then never measures rows it does not show.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(24);
    grid->horizontalHeader()->setDefaultSectionSize(columnWidth);
    grid->horizontalHeader()->setStretchLastSection(true);
    // An empty grid says why: it is being sorted aside, or nothing matched.
    new QVBoxLayout(grid->viewport());
    QLabel *sorting = gridNote(grid, "SortingNote", QStringLiteral("正在读取并排序，请稍候……"));
    QLabel *empty = gridNote(grid, "EmptyNote", QStringLiteral("没有符合条件的记录"));
    const auto update = [model, sorting, empty] {
        sorting->setVisible(model->isSorting());
        empty->setVisible(model->hasList() && !model->isSorting() && model->rowCount() == 0);
    };
    QObject::connect(model, &ListModel::sortingChanged, sorting, update);
    QObject::connect(model, &ListModel::listed, empty, update);
    QObject::connect(model, &ListModel::rowsInserted, empty, update);
    QObject::connect(model, &ListModel::rowsRemoved, empty, update);
    QObject::connect(model, &ListModel::modelReset, empty, update);
    return grid;
}

Pane makePane(QWidget *parent, int columnWidth, const QString &gridName, const QString &title,
              const QString &panelName, const QString &countUnit, bool amounts)
{
    auto *model = new ListModel(parent);
    QTableView *grid = makeGrid(parent, model, columnWidth, gridName);
    // The totals row pinned under the grid, shown while the list has amounts.
    auto *holder = new QWidget(parent);
    auto *column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(grid, 1);
    auto *totals = new TotalsRow(grid, model, countUnit, holder);
    totals->setObjectName(gridName + QStringLiteral("Totals"));
    column->addWidget(totals);
    const auto showTotals = [model, totals, amounts] {
        bool money = amounts;
        for (int c = 0; c < model->columnCount(); ++c)
            money |= model->isMoney(c);
        totals->setVisible(money);
    };
    showTotals();
    QObject::connect(model, &ListModel::listed, totals, showTotals);
    if (title.isEmpty())
        return {model, grid, totals, holder};
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(panelName);
    auto *layout = new QVBoxLayout(group);
    layout->addWidget(holder);
    return {model, grid, totals, group};
}

void showColumns(QTableView *grid, const ListModel *model, const std::vector<Column> &columns)
{
    QHash<int, int> declared;
    for (const Column &c : columns) {
        const int column = model->column(c.alias);
        grid->setColumnHidden(column, c.kind == Kind::Hidden);
        if (c.width > 0)
            declared.insert(column, c.width);
    }
    // Fitted again until rows were seen under these columns; then the user's widths stay.
    const QStringList fittedTo = grid->property("fittedTitles").toStringList();
    if (fittedTo != model->titles() || !grid->property("fittedRows").toBool()) {
        for (int c = 0; c < model->columnCount(); ++c)
            if (!grid->isColumnHidden(c))
                grid->setColumnWidth(c, declared.value(c, fittedWidth(grid, model, c)));
        grid->setProperty("fittedTitles", model->titles());
        grid->setProperty("fittedRows", model->rowCount() > 0);
    }
    // A last column of text (备注) takes the room left; figures stay beside their neighbours.
    int last = model->columnCount() - 1;
    while (last > 0 && grid->isColumnHidden(last))
        --last;
    grid->horizontalHeader()->setStretchLastSection(last >= 0 && !model->isNumber(last));
    // The sums shown under the grid stay in sight.
    if (auto *totals =
            grid->parentWidget()->findChild<TotalsRow *>(QString(), Qt::FindDirectChildrenOnly))
        totals->fitFigures();
}

bool hasMoney(const std::vector<Column> &columns)
{
    return std::any_of(columns.begin(), columns.end(),
                       [](const Column &c) { return c.kind == Kind::Money; });
}

} // namespace List

void ListWindow::buildGrid()
{
    const List::Pane pane =
        List::makePane(this, m_list.columnWidth, QStringLiteral("DBGrid1"), m_list.gridTitle,
                       m_list.gridPanel, countUnit(), List::hasMoney(m_list.columns));
    m_model = pane.model;
    m_grid = pane.grid;
    m_totals = pane.totals;
    m_gridPanel = pane.panel;
    m_centre = pane.panel;
    m_totals->setShortcut([this] { return keptTotals(); });
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        currentRowChanged();
        updateNavigator();
    });
    // A list sorted aside shows its first row when its rows come, as a list read at once does.
    connect(m_model, &ListModel::sortingChanged, this, [this](bool sorting) {
        if (!sorting && currentRow() < 0)
            goToRow(0);
    });
}

void ListWindow::buildButtonRow()
{
    m_buttonRow = new QHBoxLayout;
    auto *navigator = new QWidget(this);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    auto *navRow = new QHBoxLayout(navigator);
    navRow->setContentsMargins(0, 0, 0, 0);
    navRow->setSpacing(0);
    const struct
    {
        const char *name;
        QString hint;
        QStyle::StandardPixmap icon;
    } moves[] = {
        {"NavFirst", QStringLiteral("第一条"), QStyle::SP_MediaSkipBackward},
        {"NavPrior", QStringLiteral("上一条"), QStyle::SP_MediaSeekBackward},
        {"NavNext", QStringLiteral("下一条"), QStyle::SP_MediaSeekForward},
        {"NavLast", QStringLiteral("最后一条"), QStyle::SP_MediaSkipForward},
    };
    for (const auto &move : moves) {
        auto *button = new QToolButton(navigator);
        button->setObjectName(QLatin1String(move.name));
        button->setToolTip(move.hint);
        button->setIcon(style()->standardIcon(move.icon));
        button->setFixedSize(30, 28);
        navRow->addWidget(button);
        m_navigator << button;
    }
    connect(m_navigator[0], &QToolButton::clicked, this, [this] { goToRow(0); });
    connect(m_navigator[1], &QToolButton::clicked, this, [this] { goToRow(currentRow() - 1); });
    connect(m_navigator[2], &QToolButton::clicked, this, [this] { goToRow(currentRow() + 1); });
    connect(m_navigator[3], &QToolButton::clicked, this, &ListWindow::goToLastRow);
    m_buttonRow->addWidget(navigator);
    m_buttonRow->addSpacing(12);
    m_butExi = new QPushButton(QStringLiteral("退出（&X）"), this);
    m_butExi->setObjectName(QLatin1String(m_list.exitName));
    m_butExi->setMinimumWidth(96);
    connect(m_butExi, &QPushButton::clicked, this, &ListWindow::exitWindow);
    m_buttonRow->addWidget(m_butExi);
    m_buttonRow->addStretch(1);
    m_layout->addLayout(m_buttonRow);
}

QPushButton *ListWindow::addButton(const char *name, const QString &caption,
                                   std::function<void()> clicked)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setMinimumWidth(96);
    connect(button, &QPushButton::clicked, this, std::move(clicked));
    m_buttonRow->insertWidget(m_buttonRow->indexOf(m_butExi), button);
    return button;
}

void ListWindow::addBelowGrid(QWidget *widget)
{
    m_layout->insertWidget(m_layout->indexOf(m_centre) + 1, widget);
}

void ListWindow::addAboveGrid(QWidget *widget)
{
    m_layout->insertWidget(m_layout->indexOf(m_centre), widget);
}

void ListWindow::addBesideGrid(QWidget *widget, Qt::Orientation orientation,
                               const QList<int> &shares)
{
    auto *splitter = qobject_cast<QSplitter *>(m_centre);
    if (!splitter) {
        splitter = new GripSplitter(orientation, this);
        delete m_layout->replaceWidget(m_centre, splitter);
        splitter->addWidget(m_centre);
        m_centre = splitter;
    }
    splitter->addWidget(widget);
    // Proportions: the splitter scales them to its size when it is laid out.
    splitter->setSizes(shares);
}

List::Pane ListWindow::addList(const QString &gridName, Qt::Orientation orientation,
                               const QList<int> &shares, const QString &title, bool amounts)
{
    const List::Pane pane =
        List::makePane(this, m_list.columnWidth, gridName, title, {}, countUnit(), amounts);
    addBesideGrid(pane.panel, orientation, shares);
    return pane;
}

void ListWindow::load()
{
    reload();
}

List::Query ListWindow::query() const
{
    std::vector<List::Column> columns = m_list.columns;
    if (m_list.keyColumn)
        columns.push_back({List::KeyAlias, List::KeyAlias, List::Kind::Hidden});
    List::Query list = List::listing(columns, m_list.table);
    if (m_list.perBook)
        list.select.add(QStringLiteral(" where BName=?"), {m_book});
    else if (!m_labWhere.isEmpty())
        list.select.add(QStringLiteral(" where 1=1"));
    list.select += m_labWhere;
    list.select.add(m_list.groupBy);
    list.order = m_list.orderBy.isEmpty() && m_list.keyColumn ? List::KeyAlias : m_list.orderBy;
    return list;
}

QString ListWindow::countUnit() const
{
    if (!m_list.countUnit.isEmpty())
        return m_list.countUnit;
    for (const Ledger::EntryKind *kind : Ledger::entryKinds())
        if (m_list.table == QLatin1String(kind->table) ||
            (kind->followUps && m_list.table == QLatin1String(kind->followUps->table)))
            return QStringLiteral("笔");
    return QStringLiteral("条");
}

std::optional<Sql> ListWindow::keptTotals() const
{
    if (!m_list.perBook || !m_labWhere.isEmpty() || !m_list.groupBy.isEmpty())
        return std::nullopt;
    // Only the list of every row of the book: a window's own statement may say otherwise.
    const Sql listed = query().select, whole = ListWindow::query().select;
    if (listed.text() != whole.text() || listed.values() != whole.values())
        return std::nullopt;
    QStringList amounts;
    for (int c : m_model->summedColumns())
        for (const List::Column &declared : m_list.columns)
            if (declared.alias == m_model->titles().at(c))
                amounts << declared.name;
    if (amounts.size() != 1 || m_model->summedColumns().size() != 1)
        return std::nullopt;
    for (const Ledger::EntryKind *kind : Ledger::entryKinds())
        if (m_list.table == QLatin1String(kind->table) &&
            amounts.front() == QLatin1String(kind->legs.front().amount))
            return Sql(QStringLiteral("select coalesce(sum(Cnt),0),sum(Amount) from "
                                      "MonthNameTotal where BName=? and Kind=?"),
                       {m_book, m_list.table});
    return std::nullopt;
}

bool ListWindow::readList()
{
    bool read = true;
    try {
        if (m_list.table.isEmpty())
            m_model->showColumnsOnly(m_list.columns);
        else
            m_model->setQuery(query());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        read = false;
    }
    List::showColumns(m_grid, m_model, m_list.columns);
    if (m_list.keyColumn)
        m_grid->setColumnHidden(m_model->column(List::KeyAlias), true);
    return read;
}

bool ListWindow::reload()
{
    const bool read = readList();
    goToRow(0);
    return read;
}

void ListWindow::followChange()
{
    if (m_list.table.isEmpty() || isPending() || m_ownWrites > 0)
        return;
    const int row = currentRow();
    reload();
    goToNearestRow(row);
}

void ListWindow::showRows(const QList<QVariantList> &rows)
{
    m_model->setRows(m_list.columns, rows);
    List::showColumns(m_grid, m_model, m_list.columns);
    goToRow(0);
}

void ListWindow::applyFilter(const Condition &filter)
{
    setFilterCondition(filter);
    reload();
}

void ListWindow::showFilter(const QString &description)
{
    if (!m_filterStatus) {
        m_filterStatus = new FilterStatus(this, this);
        m_layout->addWidget(m_filterStatus);
    }
    m_filterStatus->showConditions(description);
}

int ListWindow::currentRow() const
{
    return m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
}

QVariant ListWindow::currentKey() const
{
    return m_model->value(currentRow(), List::KeyAlias);
}

void ListWindow::goToLastRow()
{
    goToRow(m_model->totalRows() - 1);
}

void ListWindow::goToNearestRow(int row)
{
    if (row >= m_model->rowCount())
        row = std::min(row, m_model->totalRows() - 1);
    goToRow(row);
}

void ListWindow::goToRow(int row)
{
    // A row beyond those shown of a list not counted yet: the list is counted.
    if (row >= m_model->rowCount() && m_model->canFetchMore(QModelIndex()))
        m_model->fetchMore(QModelIndex());
    if (row >= 0 && row < m_model->rowCount()) {
        int column = 0;
        while (column < m_model->columnCount() - 1 && m_grid->isColumnHidden(column))
            ++column;
        m_grid->setCurrentIndex(m_model->index(row, column));
    }
    currentRowChanged();
    updateNavigator();
}

void ListWindow::updateNavigator()
{
    const bool movable = canMove();
    const int row = currentRow();
    const int last = m_model->rowCount() - 1 + int(m_model->canFetchMore(QModelIndex()));
    m_navigator[0]->setEnabled(movable && row > 0);
    m_navigator[1]->setEnabled(movable && row > 0);
    m_navigator[2]->setEnabled(movable && row < last);
    m_navigator[3]->setEnabled(movable && row < last);
}

bool ListWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (!canMove() && (watched == m_grid || watched == m_grid->viewport())) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            return true;
        case QEvent::KeyPress: {
            // Tab still leaves the grid; every other key would move its cursor.
            const int key = static_cast<QKeyEvent *>(event)->key();
            return key != Qt::Key_Tab && key != Qt::Key_Backtab;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ListWindow::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !m_grid->hasFocus())
        for (QPushButton *button : findChildren<QPushButton *>())
            if (button->isDefault() && button->isEnabled()) {
                button->click();
                return;
            }
    QWidget::keyPressEvent(event);
}

void ListWindow::exitWindow()
{
    closeWindow(this);
}
