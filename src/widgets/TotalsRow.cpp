#include "widgets/TotalsRow.h"

#include "core/ledger/Figures.h"
#include "data/Background.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTableView>

namespace {

// Room around a figure in its cell, as the grid leaves around its texts.
constexpr int CellPadding = 6;

QVariantList firstRow(QSqlQuery query, int figures)
{
    QVariantList values;
    query.next();
    for (int i = 0; i < figures; ++i)
        values << query.value(i);
    return values;
}

} // namespace

TotalsRow::TotalsRow(QTableView *grid, ListModel *model, const QString &unit, QWidget *parent)
    : QWidget(parent), m_grid(grid), m_model(model), m_unit(unit)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(model, &ListModel::listed, this, &TotalsRow::follow);
    // The cells follow the grid's columns as they are sized, moved and scrolled.
    const auto repaint = [this] { update(); };
    QHeaderView *header = grid->horizontalHeader();
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(header, &QHeaderView::geometriesChanged, this, repaint);
    connect(grid->verticalHeader(), &QHeaderView::geometriesChanged, this, repaint);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
}

QFont TotalsRow::figureFont() const
{
    QFont bold = m_grid->font();
    bold.setBold(true);
    return bold;
}

QSize TotalsRow::sizeHint() const
{
    return {100, m_grid->verticalHeader()->defaultSectionSize() + 2};
}

void TotalsRow::follow()
{
    if (m_job)
        m_job->cancel();
    m_job = nullptr;
    if (!m_model->hasList()) {
        clearTotals({});
        return;
    }
    if (const std::optional<QVariantList> computed = m_model->computedTotals()) {
        showTotals(*computed);
        return;
    }
    const int figures = 1 + int(m_model->summedColumns().size());
    try {
        if (const std::optional<Sql> kept = m_shortcut ? m_shortcut() : std::nullopt) {
            showTotals(firstRow(kept->exec(), figures));
            return;
        }
    } catch (const DbError &e) {
        // The list's own statement gives the same figures.
        qWarning("kept totals not read: %s", qPrintable(e.message()));
    }
    const std::optional<Sql> statement = m_model->totalsStatement();
    if (!statement) {
        clearTotals({});
        return;
    }
    clearTotals(QStringLiteral("计算中……"));
    m_calculating = true;
    m_job = Background::run(
        this,
        [sql = *statement, figures](Background::Context &work) {
            return firstRow(sql.exec(work.database()), figures);
        },
        [this](const QVariantList &values) { showTotals(values); },
        [this](const QString &message) {
            clearTotals({});
            Msg::error(window(), message);
        });
}

void TotalsRow::clearTotals(const QString &caption)
{
    m_caption = caption;
    m_figures.clear();
    m_negative.clear();
    m_calculating = false;
    update();
}

void TotalsRow::showTotals(const QVariantList &values)
{
    m_rows = values.value(0).toLongLong();
    clearTotals(QStringLiteral("合计 %1 %2").arg(Figures::count(m_rows), m_unit));
    const QList<int> summed = m_model->summedColumns();
    for (int i = 0; i < summed.size(); ++i)
        setFigure(m_model->titles().at(summed[i]), values.value(i + 1));
    fitFigures();
    emit totalsShown(m_rows);
}

void TotalsRow::setFigure(const QString &alias, const QVariant &value)
{
    const int column = m_model->column(alias);
    if (column < 0)
        return;
    const List::Kind kind = m_model->kind(column);
    m_figures[column] = Figures::text(kind, value);
    m_negative[column] = Figures::isNegative(kind, value);
    fitFigures();
    update();
}

QString TotalsRow::text(const QString &alias) const
{
    return m_figures.value(m_model->column(alias));
}

void TotalsRow::fitFigures()
{
    const QFontMetrics metrics(figureFont());
    for (auto figure = m_figures.cbegin(); figure != m_figures.cend(); ++figure) {
        const int needed = metrics.horizontalAdvance(figure.value()) + 2 * CellPadding + 2;
        if (!m_grid->isColumnHidden(figure.key()) && m_grid->columnWidth(figure.key()) < needed)
            m_grid->setColumnWidth(figure.key(), needed);
    }
    // The caption fits before the first figure: the first column shown widens.
    const QHeaderView *header = m_grid->horizontalHeader();
    int first = -1, captionRoom = 0;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (m_grid->isColumnHidden(column))
            continue;
        if (m_figures.contains(column))
            break;
        if (first < 0)
            first = column;
        captionRoom += m_grid->columnWidth(column);
    }
    const int needed =
        metrics.horizontalAdvance(m_caption) + 2 * CellPadding + m_grid->frameWidth() - gridLeft();
    if (first >= 0 && captionRoom < needed && m_figures.size() > 0)
        m_grid->setColumnWidth(first, m_grid->columnWidth(first) + needed - captionRoom);
}

int TotalsRow::gridLeft() const
{
    return m_grid->frameWidth() +
           (m_grid->verticalHeader()->isVisible() ? m_grid->verticalHeader()->width() : 0);
}

void TotalsRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().alternateBase());
    painter.setPen(palette().mid().color());
    painter.drawLine(0, 0, width(), 0);
    painter.setFont(figureFont());
    // Cells lie where the grid's columns lie in its viewport.
    const int left = gridLeft();
    const int right = left + m_grid->viewport()->width();
    const QHeaderView *header = m_grid->horizontalHeader();
    // The caption starts under the row numbers and runs on up to the first figure.
    int captionRight = right;
    painter.save();
    painter.setClipRect(QRect(left, 0, right - left, height()));
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (m_grid->isColumnHidden(column) || !m_figures.contains(column))
            continue;
        const int x = left + m_grid->columnViewportPosition(column);
        captionRight = std::min(captionRight, x);
        const QRect cell(x + CellPadding, 1, m_grid->columnWidth(column) - 2 * CellPadding,
                         height() - 1);
        painter.setPen(m_negative.value(column) ? Figures::negativeColor()
                                                : palette().text().color());
        const Qt::Alignment align =
            m_model->isNumber(column) ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft;
        painter.drawText(cell, int(align), m_figures[column]);
    }
    painter.restore();
    if (!m_caption.isEmpty()) {
        const int captionLeft = m_grid->frameWidth() + CellPadding;
        painter.setPen(palette().text().color());
        painter.drawText(QRect(captionLeft, 1, captionRight - captionLeft, height() - 1),
                         Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    }
}
