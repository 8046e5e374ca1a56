#include "widgets/EditKeys.h"

#include "widgets/MaintenanceWindow.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>

EditKeys::EditKeys(MaintenanceWindow *window)
    : QObject(window), m_window(window), m_grid(window->grid())
{
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    // Focusing the window focuses its grid, where the browsing keys work.
    window->setFocusProxy(m_grid);
    for (const Maintenance::Field &f : window->descriptor().fields)
        for (const QString &name : {f.name, f.input})
            if (!name.isEmpty())
                window->control(name)->installEventFilter(this);

    const auto shortcut = [window](const QKeySequence &keys) {
        auto *s = new QShortcut(keys, window);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        return s;
    };
    connect(shortcut(QKeySequence(Qt::CTRL | Qt::Key_S)), &QShortcut::activated, this,
            &EditKeys::save);
    connect(shortcut(QKeySequence(Qt::Key_Escape)), &QShortcut::activated, this,
            [this] { press(Button::Cancel); });
    // Connected after the window's own handlers, so this runs once they are done.
    for (const Button b : {Button::Save, Button::SaveEdit, Button::Cancel})
        connect(window->button(b), &QPushButton::clicked, this, &EditKeys::focusGridWhenBrowsing);
}

bool EditKeys::press(Button which)
{
    QPushButton *button = m_window->button(which);
    if (!button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

void EditKeys::save()
{
    if (!press(Button::Save))
        press(Button::SaveEdit);
}

void EditKeys::focusGridWhenBrowsing()
{
    if (m_window->mode() == MaintenanceWindow::Mode::Browse)
        m_grid->setFocus();
}

QWidget *EditKeys::activeControl(int field) const
{
    const Maintenance::Field &f = m_window->descriptor().fields.at(field);
    QWidget *input = f.input.isEmpty() ? nullptr : m_window->control(f.input);
    return input && input->isVisible() ? input : m_window->control(f.name);
}

bool EditKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (m_window->mode() == MaintenanceWindow::Mode::Browse &&
        (watched == m_grid || watched == m_grid->viewport()))
        return gridEvent(event);
    return fieldEvent(watched, event);
}

bool EditKeys::gridEvent(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        return press(Button::Edit);
    if (event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_F2:
        return press(Button::Edit);
    case Qt::Key_Delete:
        return press(Button::Delete);
    default:
        return false;
    }
}

bool EditKeys::fieldEvent(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || m_window->mode() == MaintenanceWindow::Mode::Browse)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    const int count = int(m_window->descriptor().fields.size());
    for (int i = 0; i < count; ++i) {
        if (activeControl(i) != watched)
            continue;
        if (i == count - 1)
            save();
        else
            activeControl(i + 1)->setFocus(Qt::TabFocusReason);
        return true;
    }
    return false;
}
