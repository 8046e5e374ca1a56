#pragma once

#include "core/ledger/Ledger.h"
#include "widgets/MaintenanceWindow.h"

#include <vector>

class QDialog;
class QPushButton;

namespace FollowUp {
struct Descriptor;
}

namespace Entry {

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
Maintenance::Field amountField(const QString &name, const QString &label, const QString &alias,
                               const QString &emptyText = {});
Maintenance::Field memberField(const QString &name, const QString &input, bool required = false);
Maintenance::Field remarkField(const QString &name);

// An item of the list's pop-up menu that acts on the current row: its
// objectName, its text, and what it does (given the window, its table and the
// row's key).
struct RowAction
{
    const char *name;
    QString text;
    void (*act)(QWidget *window, const QString &table, const QVariant &key);
};

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
    // What its rows move: saves, edits and deletes go through the ledger.
    const Ledger::EntryKind *kind = nullptr;
    FilterMaker filter = nullptr; // the dialog that 查询（&Q） opens
    // Records that follow an entry (repayments...), opened from the list's pop-up menu.
    const FollowUp::Descriptor *followUp = nullptr;
    std::vector<RowAction> rowActions{}; // further pop-up menu items
};

// The maintenance window an entry window is: the current book's rows, latest
// date first, no name rules, a 查询 button, the summary panel refreshed on close.
Maintenance::Descriptor maintenance(const Descriptor &d);

} // namespace Entry

// The entry window family: a maintenance window whose rows move account
// balances. Every save, edit and delete is one action of the ledger, which
// writes the row and what it moves together, so that balances always hold the
// effect of every stored entry exactly once. A named window passes its descriptor and calls
// load() at the end of its constructor.
class EntryWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit EntryWindow(const Entry::Descriptor &descriptor, QWidget *parent = nullptr);

    // The pop-up menu of an entry with follow-ups: record one ("还债 &R"), list
    // them ("还债记录 &V"). Neither acts while a row is pending.
    void recordFollowUp();
    void listFollowUps();

protected:
    // Today's date, and the choices of the row saved last (none before the
    // first save): never those of an edit that was cancelled.
    void prepareNewRow() override;
    QVariant storeRow(Mode mode, const QVariantMap &row) override;
    void removeRow(const QVariant &key) override;
    // A negative amount or a date more than a year ahead is saved once confirmed.
    bool extraChecks(Mode mode) override;
    // An entry with follow-ups is deleted only once they are.
    bool mayDelete() override;
    void rowActionsChanged(bool onRow) override;
    // Opens a fresh quick-filter dialog, modal, that filters this window.
    void openFilter() override;

private:
    void buildPopupMenu(const std::vector<Entry::RowAction> &actions);
    void buildFollowUpButtons();

    const Ledger::EntryKind &m_kind;
    QMap<QString, QString> m_savedChoices; // list objectName -> the name chosen
    Entry::FilterMaker m_filter;
    const FollowUp::Descriptor *m_followUp;
    QPushButton *m_butRecord = nullptr;
    QPushButton *m_butRecords = nullptr;
};
