#pragma once

#include "widgets/MaintenanceWindow.h"

#include <vector>

class QDialog;

namespace Entry {

// Which way a saved entry moves an account's balance.
enum class Direction
{
    Raises,
    Lowers
};

// One balance movement of an entry: its amount moves the named account's balance.
// Both are list columns, named by alias.
struct Leg
{
    QString amountAlias{};
    QString accountAlias{};
    Direction direction = Direction::Raises;
};

// Makes the quick-filter dialog of an entry window, owned by that window.
using FilterMaker = QDialog *(*)(FilterTarget *target, QWidget *parent);

template <typename Dialog> QDialog *makeFilter(FilterTarget *target, QWidget *parent)
{
    return new Dialog(target, parent);
}

// The kinds of field entry windows are made of. The date is DBEdit1 with the
// picker DateTimePicker1; a list shows as `name` and is chosen in `input`.
Maintenance::Field dateField(const QString &label, const QString &alias);
Maintenance::Field listField(const QString &name, const QString &label, const QString &alias,
                             const QString &input, Maintenance::Feeder feeder,
                             bool required = true);
Maintenance::Field amountField(const QString &name, const QString &label, const QString &alias);
Maintenance::Field memberField(const QString &name, const QString &input, bool required = false);
Maintenance::Field remarkField(const QString &name);

// Everything that tells one entry window from another.
struct Descriptor
{
    QString className{};
    QString caption{};
    QString panelTitle{};
    QString table{};
    QString dateColumn{}; // the list shows the latest date first
    // Of the list, after the hidden book column; the date column among them.
    std::vector<Maintenance::Column> columns{};
    std::vector<Maintenance::Field> fields{}; // of the edit panel; checks run in this order
    // Applied in this order on save. An edit first undoes the stored row's legs, in
    // the same order, then applies the new ones; a delete undoes the stored legs.
    std::vector<Leg> legs{};
    FilterMaker filter = nullptr; // the dialog that 查询（&Q） opens
};

// The maintenance window an entry window is: the current book's rows, latest
// date first, no name rules, a 查询 button, the summary panel refreshed on close.
Maintenance::Descriptor maintenance(const Descriptor &d);

} // namespace Entry

// The entry window family: a maintenance window whose rows move account
// balances. Every save, edit and delete runs its balance movements in the same
// transaction as the row, so that balances always hold the effect of every
// stored entry exactly once. A named window passes its descriptor and calls
// FormCreate() at the end of its constructor.
class EntryWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit EntryWindow(const Entry::Descriptor &descriptor, QWidget *parent = nullptr);

protected:
    void writeAlongside(Mode mode) override;
    void deleteAlongside() override;
    // Opens a fresh quick-filter dialog, modal, that filters this window.
    void ButQueryClick() override;

private:
    struct Movement
    {
        Money amount;
        QString account;
        Entry::Direction direction;
    };
    using Movements = std::vector<Movement>;

    // What the values being entered will move.
    Movements enteredMovements() const;
    // What the current row moved when it was stored, read by its key: the
    // database's values, even when another window changed the row since.
    Movements storedMovements() const;
    static void apply(const Movements &movements);
    static void undo(const Movements &movements);

    std::vector<Entry::Leg> m_legs;
    Entry::FilterMaker m_filter;
};
