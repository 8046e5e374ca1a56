#include "widgets/LookupSearch.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QToolTip>

namespace {

constexpr int VisibleRows = 20;
constexpr int PauseMs = 1500;      // a longer pause between keys starts a new search
constexpr int ShownCharacters = 8; // the width a list asks for, whatever its names

bool endsSearch(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab ||
           key == Qt::Key_Backtab || key == Qt::Key_Escape;
}

bool isSearchText(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!c.isPrint() || c.isSpace())
            return false;
    return true;
}

} // namespace

void makeSearchable(QComboBox *box)
{
    box->setMaxVisibleItems(VisibleRows);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(ShownCharacters);
    // Chinese typed through an input method reaches the list too.
    box->setAttribute(Qt::WA_InputMethodEnabled);
    new LookupSearch(box);
}

void fillLookup(QComboBox *box, Workspace::Feeder feeder)
{
    const Lookups names = (Workspace::instance()->*feeder)();
    box->clear();
    for (const LookupItem &item : names)
        box->addItem(item.name, item.initials);
    box->setCurrentIndex(-1);
}

int findByNameOrInitials(const QComboBox *box, const QString &typed)
{
    if (typed.isEmpty())
        return -1;
    const QString initials = typed.toUpper();
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i).startsWith(typed, Qt::CaseInsensitive) ||
            box->itemData(i).toString().startsWith(initials))
            return i;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i).contains(typed, Qt::CaseInsensitive))
            return i;
    return -1;
}

LookupSearch::LookupSearch(QComboBox *box) : QObject(box), m_box(box)
{
    box->installEventFilter(this);
    box->view()->installEventFilter(this);
}

bool LookupSearch::eventFilter(QObject *watched, QEvent *event)
{
    const bool inOpenList = watched == m_box->view();
    // Leaving the list ends the search, so that what is typed next, however soon,
    // starts a new one.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        m_typed.clear();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (endsSearch(key->key())) {
            m_typed.clear();
            return false;
        }
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        if (key->key() == Qt::Key_Backspace && !m_typed.isEmpty()) {
            m_typed.chop(1);
            search(inOpenList);
            return true;
        }
        if (!isSearchText(key->text()))
            return false;
        type(key->text(), inOpenList);
        return true;
    }
    if (event->type() == QEvent::InputMethod) {
        auto *input = static_cast<QInputMethodEvent *>(event);
        if (input->commitString().isEmpty())
            return false;
        type(input->commitString(), inOpenList);
        input->accept();
        return true;
    }
    return false;
}

void LookupSearch::type(const QString &text, bool inOpenList)
{
    if (!m_sinceLastKey.isValid() || m_sinceLastKey.elapsed() > PauseMs)
        m_typed.clear();
    m_sinceLastKey.start();
    m_typed += text;
    search(inOpenList);
}

void LookupSearch::search(bool inOpenList)
{
    const int found = findByNameOrInitials(m_box, m_typed);
    QToolTip::showText(m_box->mapToGlobal(QPoint(0, m_box->height())),
                       found < 0 ? QStringLiteral("查找：%1（没有找到）").arg(m_typed)
                                 : QStringLiteral("查找：%1").arg(m_typed),
                       m_box);
    if (found < 0) {
        // Nothing found is no choice, never the choice that was there before.
        if (!inOpenList && m_box->currentIndex() != -1)
            m_box->setCurrentIndex(-1);
        return;
    }
    if (inOpenList) {
        m_box->view()->setCurrentIndex(m_box->model()->index(found, m_box->modelColumn()));
        return;
    }
    // As choosing with the mouse: whoever listens for a choice hears it.
    m_box->setCurrentIndex(found);
    emit m_box->activated(found);
}
