#include "widgets/ColumnMemory.h"

#include <QEvent>
#include <QHeaderView>
#include <QSettings>
#include <QTableView>

namespace {

QString settingsKey(const QString &window, const QString &grid)
{
    return QStringLiteral("columns/%1/%2").arg(window, grid);
}

} // namespace

void ColumnMemory::install(QWidget *window)
{
    for (QTableView *grid : window->findChildren<QTableView *>())
        if (!grid->objectName().isEmpty())
            new ColumnMemory(grid, settingsKey(window->objectName(), grid->objectName()));
}

ColumnMemory::ColumnMemory(QTableView *grid, const QString &key)
    : QObject(grid), m_header(grid->horizontalHeader()), m_key(key)
{
    const QVariantMap stored = QSettings().value(m_key).toMap();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        m_widths[it.key()] = it.value().toInt();
    m_header->viewport()->installEventFilter(this);
    connect(m_header, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { resized(column, newSize); });
    // A list read anew is sized by its window first; the widths kept then win.
    connect(m_header, &QHeaderView::sectionCountChanged, this, &ColumnMemory::applyAll);
    if (QAbstractItemModel *model = grid->model())
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnMemory::applyAll);
    applyAll();
}

bool ColumnMemory::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_byHand = true;
        break;
    case QEvent::MouseButtonRelease:
        m_byHand = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QString ColumnMemory::title(int column) const
{
    return m_header->model() ? m_header->model()->headerData(column, Qt::Horizontal).toString()
                             : QString();
}

bool ColumnMemory::isLastShown(int column) const
{
    for (int later = column + 1; later < m_header->count(); ++later)
        if (!m_header->isSectionHidden(later))
            return false;
    return true;
}

void ColumnMemory::resized(int column, int newSize)
{
    if (m_applying || newSize <= 0 || m_header->isSectionHidden(column) || isLastShown(column))
        return;
    const QString name = title(column);
    if (name.isEmpty())
        return;
    if (m_byHand) {
        m_widths[name] = newSize;
        save();
        return;
    }
    // Sized by the window: a width the user chose stands.
    const auto kept = m_widths.constFind(name);
    if (kept != m_widths.constEnd() && *kept != newSize) {
        m_applying = true;
        m_header->resizeSection(column, *kept);
        m_applying = false;
    }
}

void ColumnMemory::applyAll()
{
    m_applying = true;
    for (int column = 0; column < m_header->count(); ++column) {
        const auto kept = m_widths.constFind(title(column));
        if (kept != m_widths.constEnd() && !m_header->isSectionHidden(column) &&
            !isLastShown(column))
            m_header->resizeSection(column, *kept);
    }
    m_applying = false;
}

void ColumnMemory::save() const
{
    QVariantMap stored;
    for (auto it = m_widths.begin(); it != m_widths.end(); ++it)
        stored[it.key()] = it.value();
    QSettings().setValue(m_key, stored);
}
