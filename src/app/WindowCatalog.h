#pragma once

#include <QString>
#include <functional>
#include <vector>

class QWidget;

// The windows the main window can open, by class name: how each is made and
// whether it is an MDI child or a modal dialog. A menu item whose window is
// not listed here is shown disabled.
namespace WindowCatalog {

enum class Kind
{
    MdiChild,
    // An MDI child of which one is open at most: opening it again brings the
    // open one forward (a second list of the same accounts would only disagree).
    SingleChild,
    Modal
};

struct Entry
{
    const char *className;
    Kind kind;
    std::function<QWidget *(QWidget *parent)> create;
};

const Entry *find(const QString &className);
const std::vector<Entry> &all();

template <typename Window> QWidget *make(QWidget *parent)
{
    return new Window(parent);
}

} // namespace WindowCatalog
